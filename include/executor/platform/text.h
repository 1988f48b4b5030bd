#pragma once

#include <cstdarg>
#include <string>

#include "executor/export.h"

namespace utils {

// printf into a std::string.
EXECUTOR_API std::string format(const char* fmt, ...) EXECUTOR_FORMAT(printf, 1, 2);
// The same with a va_list; appends to out.
EXECUTOR_API void vformatAppend(std::string& out, const char* fmt, va_list args) EXECUTOR_FORMAT(printf, 2, 0);
// sscanf on a NUL-terminated string; returns the number of fields assigned (EOF on empty input).
EXECUTOR_API int sscanf(const char* text, const char* fmt, ...) EXECUTOR_FORMAT(scanf, 2, 3);

}  // namespace utils
