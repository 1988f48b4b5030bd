#include "executor/platform/codec.h"

namespace utils {
namespace codec {

std::string utf82ANSI(const std::string& text) { return text; }

}  // namespace codec
}  // namespace utils
