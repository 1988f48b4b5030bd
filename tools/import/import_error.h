#pragma once
// The one error the importers throw: a message a user can act on, naming the file and place.

#include <functional>
#include <stdexcept>
#include <string>

#include "executor/planner/job.h"

namespace importer {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest drawing or job file read (64 MiB): far above real drawings, and bounds what parsing takes.
constexpr std::size_t kMaxInputBytes = 64u << 20;

// Reads the whole file and imports its text; errors, the file's own included, name the path.
planner::Job importFile(const std::string& path, const std::function<planner::Job(const std::string&)>& import);

}  // namespace importer
