#include "core/log.h"
#include "executor/proto7/executor7.h"

// Protocol 7 operations whose implementation has not landed yet: each reports it and fails
// (false, 0 or -1) without touching the board.

namespace {

bool unavailable(const char* operation) {
    logUnavailable(operation);
    return false;
}

}  // namespace

// clang-format off
void Executor7::sendGalvoBoxParam(GalvoParam) { unavailable("Executor7::sendGalvoBoxParam"); }
void Executor7::sendGalvoEquiScaleParam(GalvoParam) { unavailable("Executor7::sendGalvoEquiScaleParam"); }
// clang-format on
