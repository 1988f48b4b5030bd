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
void Executor7::sendMarkInport(uint32_t, uint32_t, uint16_t, bool) { unavailable("Executor7::sendMarkInport"); }
bool Executor7::setGpoPar(GpoPar) { return unavailable("Executor7::setGpoPar"); }
void Executor7::sendGpoPar(GpoPar) { unavailable("Executor7::sendGpoPar"); }
bool Executor7::setOutPortStateAll(uint32_t, uint32_t) { return unavailable("Executor7::setOutPortStateAll"); }
void Executor7::sendOutPortStateAll(uint32_t, uint32_t) { unavailable("Executor7::sendOutPortStateAll"); }
bool Executor7::setOutPortState(uint32_t, bool, uint32_t) { return unavailable("Executor7::setOutPortState"); }
void Executor7::sendOutPortState(uint32_t, bool, uint32_t) { unavailable("Executor7::sendOutPortState"); }
void Executor7::sendHardwareBlock(uint32_t, bool) { unavailable("Executor7::sendHardwareBlock"); }
bool Executor7::setSwitchSweepChannel(bool) { return unavailable("Executor7::setSwitchSweepChannel"); }
int Executor7::setDataTransmit(uint8_t*, uint16_t, bool, uint8_t*, uint16_t) { unavailable("Executor7::setDataTransmit"); return -1; }
bool Executor7::setGpiFilter(uint32_t, uint32_t) { return unavailable("Executor7::setGpiFilter"); }
// clang-format on
