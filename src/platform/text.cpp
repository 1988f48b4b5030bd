#include "executor/platform/text.h"

#include <cstdarg>
#include <cstdio>

namespace utils {

std::string format(const char* fmt, ...) {
    std::string out;
    if (!fmt) return out;
    va_list args;
    va_start(args, fmt);
    va_list probe;
    va_copy(probe, args);
    int needed = std::vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    if (needed > 0) {
        // One extra byte for the terminator vsnprintf always writes.
        out.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(&out[0], out.size(), fmt, args);
        out.resize(static_cast<size_t>(needed));
    }
    va_end(args);
    return out;
}

int sscanf(const char* text, const char* fmt, ...) {
    if (!text || !fmt) return EOF;
    va_list args;
    va_start(args, fmt);
    int assigned = std::vsscanf(text, fmt, args);
    va_end(args);
    return assigned;
}

}  // namespace utils
