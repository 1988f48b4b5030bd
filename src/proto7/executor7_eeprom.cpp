#include "core/log.h"
#include "executor/proto7/executor7.h"

// Protocol 7 operations being built now (placeholder until they land): each reports it and fails
// (false, 0 or -1) without touching the board.

namespace {

bool unavailable(const char* operation) {
    logUnavailable(operation);
    return false;
}

}  // namespace

// clang-format off
bool Executor7::getUserRamInfo(uint32_t&, uint32_t&) { return unavailable("Executor7::getUserRamInfo"); }
bool Executor7::writeUserData(const uint8_t*, uint32_t) { return unavailable("Executor7::writeUserData"); }
bool Executor7::getUserDataSize(uint32_t&) { return unavailable("Executor7::getUserDataSize"); }
bool Executor7::readUserData(uint8_t*, uint32_t) { return unavailable("Executor7::readUserData"); }
bool Executor7::setEepromData(uint16_t, const uint8_t*, uint16_t) { return unavailable("Executor7::setEepromData"); }
bool Executor7::getEepromData(uint16_t, uint8_t*, uint16_t) { return unavailable("Executor7::getEepromData"); }
bool Executor7::setEepromDataSize(uint32_t, uint32_t) { return unavailable("Executor7::setEepromDataSize"); }
// clang-format on
