#pragma once

#include <string>

#include "executor/export.h"

namespace utils {
namespace codec {

// UTF-8 to the platform's narrow code page. On the platforms this library targets the narrow
// code page is UTF-8 itself, so the text is returned unchanged.
EXECUTOR_API std::string utf82ANSI(const std::string& text);

}  // namespace codec
}  // namespace utils
