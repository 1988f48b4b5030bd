#pragma once
// The one error the importers throw: a message a user can act on, naming the file and place.

#include <stdexcept>
#include <string>

namespace importer {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace importer
