#include "executor/platform/text.h"

#include <cstdarg>
#include <cstdio>

namespace utils {

void vformatAppend(std::string& out, const char* fmt, va_list args) {
    if (!fmt) return;
    va_list probe;
    va_copy(probe, args);
    const int needed = std::vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    if (needed <= 0) return;
    // One extra byte for the terminator vsnprintf always writes.
    const size_t old = out.size();
    out.resize(old + static_cast<size_t>(needed) + 1);
    std::vsnprintf(&out[old], static_cast<size_t>(needed) + 1, fmt, args);
    out.resize(old + static_cast<size_t>(needed));
}

std::string format(const char* fmt, ...) {
    std::string out;
    va_list args;
    va_start(args, fmt);
    vformatAppend(out, fmt, args);
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
