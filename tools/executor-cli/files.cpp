#include "files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "cli_error.h"
#include "common/output_file.h"

namespace cli {

void writeOutputFile(const std::string& path, const std::string& content) {
    const std::string failure = tools::writeWhole(path, content);
    if (!failure.empty()) throw CliError(kExitOutput, about(path, "cannot write: " + failure));
}

void requireOutputFile(const std::string& path) {
    const std::string refused = tools::checkTarget(path);
    if (!refused.empty()) throw CliError(kExitOutput, about(path, "cannot write: " + refused));
}

void requireInputFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) throw CliError(kExitBadInput, about(path, "no such file"));
    if (!S_ISREG(info.st_mode)) throw CliError(kExitBadInput, about(path, "not a regular file"));
}

std::string readInputFile(const std::string& path, std::size_t limit) {
    requireInputFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(kExitBadInput, about(path, std::string("cannot open: ") + std::strerror(errno)));
    std::string content;
    char buffer[65536];
    while (content.size() < limit &&
           in.read(buffer, static_cast<std::streamsize>(std::min(sizeof buffer, limit - content.size()))).gcount() > 0)
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) throw CliError(kExitBadInput, about(path, "cannot read"));
    return content;
}

}  // namespace cli
