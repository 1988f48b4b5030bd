#include "import/svg_import.h"

#include "import/import_error.h"

namespace importer {

planner::Job importSvgFile(const std::string& path, const SvgOptions&) {
    throw ImportError(path + ": SVG import is not available yet");
}

planner::Job importSvgText(const std::string&, const SvgOptions&) {
    throw ImportError("SVG import is not available yet");
}

}  // namespace importer
