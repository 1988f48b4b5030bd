#pragma once
// SVG drawings to marking jobs: every stroked or filled outline becomes polylines in millimetres.

#include <string>

#include "executor/planner/job.h"

namespace importer {

struct SvgOptions {
    double tolerance = 0.01;  // mm, largest distance of a flattened curve from the true one
};

// Throws ImportError for an unreadable file or a document that is not SVG.
planner::Job importSvgFile(const std::string& path, const SvgOptions& options = {});
planner::Job importSvgText(const std::string& text, const SvgOptions& options = {});

}  // namespace importer
