#include "common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tools {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, const std::string& content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// What a file created by this process gets by default, as open(2) would give it.
mode_t defaultMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Why path cannot be replaced, or ""; mode receives what the new file gets.
std::string inspect(const std::string& path, mode_t& mode) {
    if (path.empty() || path.back() == '/') return "not a file name";
    struct stat target {};
    mode = defaultMode();
    if (::lstat(path.c_str(), &target) == 0) {
        if (!S_ISREG(target.st_mode)) return "not a regular file";
        // Checked on the bits too: access() lets root write anything.
        if ((target.st_mode & 0222) == 0) return "read-only file";
        if (::access(path.c_str(), W_OK) != 0) return std::strerror(errno);
        mode = target.st_mode & 07777;
    } else if (errno != ENOENT) {
        return std::strerror(errno);
    }
    if (::access(folderOf(path).c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return "";
}

}  // namespace

std::string checkTarget(const std::string& path) {
    mode_t mode = 0;
    return inspect(path, mode);
}

std::string writeWhole(const std::string& path, const std::string& content) {
    mode_t mode = 0;
    const std::string refused = inspect(path, mode);
    if (!refused.empty()) return refused;

    std::string name = folderOf(path) + "/." + baseOf(path) + ".XXXXXX";
    std::vector<char> temporary(name.begin(), name.end());
    temporary.push_back('\0');
    const int fd = ::mkstemp(temporary.data());  // O_CREAT | O_EXCL: never an existing file or link
    if (fd < 0) return std::strerror(errno);
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, content);
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.data(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok) return "";
    ::unlink(temporary.data());
    return error != 0 ? std::strerror(error) : "cannot write";
}

}  // namespace tools
