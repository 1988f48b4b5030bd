#include "import/import_error.h"

#include <fstream>
#include <sstream>

namespace importer {

planner::Job importFile(const std::string& path, const std::function<planner::Job(const std::string&)>& import) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ImportError(path + ": cannot open the file");
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw ImportError(path + ": cannot read the file");
    try {
        return import(content.str());
    } catch (const ImportError& error) {
        throw ImportError(path + ": " + error.what());
    }
}

}  // namespace importer
