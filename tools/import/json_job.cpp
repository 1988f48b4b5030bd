#include "import/json_job.h"

#include "import/import_error.h"

namespace importer {

planner::Job importJsonFile(const std::string& path) { throw ImportError(path + ": JSON import is not available yet"); }

planner::Job importJsonText(const std::string&) { throw ImportError("JSON import is not available yet"); }

}  // namespace importer
