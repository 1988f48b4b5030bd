#include "files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli_error.h"

namespace cli {

void writeOutputFile(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw CliError(kExitOutput, about(path, std::string("cannot write: ") + std::strerror(errno)));
        out << content;
        if (!out.flush()) {
            std::remove(temporary.c_str());
            throw CliError(kExitOutput, about(path, "cannot write"));
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        throw CliError(kExitOutput, about(path, "cannot write: " + reason));
    }
}

void requireInputFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) throw CliError(kExitBadInput, about(path, "no such file"));
    if (!S_ISREG(info.st_mode)) throw CliError(kExitBadInput, about(path, "not a regular file"));
}

std::string readInputFile(const std::string& path) {
    requireInputFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(kExitBadInput, about(path, std::string("cannot open: ") + std::strerror(errno)));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw CliError(kExitBadInput, about(path, "cannot read"));
    return content.str();
}

}  // namespace cli
