#include "core/log.h"
#include "proto5/executor5.h"

// Protocol 5 board support has not landed yet: every operation reports it and fails
// (false, 0 or "no answer") without touching the board.

namespace {

bool unavailable(const char* operation) {
    logUnavailable(operation);
    return false;
}

}  // namespace

// clang-format off
bool Executor5::getUserRamInfo(uint32_t&, uint32_t&) { return unavailable("Executor5::getUserRamInfo"); }
bool Executor5::writeUserData(const uint8_t*, uint32_t) { return unavailable("Executor5::writeUserData"); }
bool Executor5::getUserDataSize(uint32_t&) { return unavailable("Executor5::getUserDataSize"); }
bool Executor5::readUserData(uint8_t*, uint32_t) { return unavailable("Executor5::readUserData"); }
bool Executor5::setEepromData(uint16_t, const uint8_t*, uint16_t) { return unavailable("Executor5::setEepromData"); }
bool Executor5::getEepromData(uint16_t, uint8_t*, uint16_t) { return unavailable("Executor5::getEepromData"); }
bool Executor5::setEepromDataSize(uint32_t, uint32_t) { return unavailable("Executor5::setEepromDataSize"); }
// clang-format on
