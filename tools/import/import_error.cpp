#include "import/import_error.h"

#include <fstream>

namespace importer {

planner::Job importFile(const std::string& path, const std::function<planner::Job(const std::string&)>& import) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ImportError(path + ": cannot open the file");
    // Sized before it is read: a huge file is refused before it takes any memory.
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size > static_cast<std::streamoff>(kMaxInputBytes))
        throw ImportError(path + ": the file has " + std::to_string(size) + " bytes; drawings and jobs may have " +
                          std::to_string(kMaxInputBytes) + " at most");
    file.seekg(0, std::ios::beg);
    std::string content(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (!content.empty()) file.read(&content[0], size);
    if (size < 0 || !file) throw ImportError(path + ": cannot read the file");
    try {
        return import(content);
    } catch (const ImportError& error) {
        throw ImportError(path + ": " + error.what());
    }
}

}  // namespace importer
