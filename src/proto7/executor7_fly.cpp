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
void Executor7::sendStartFlyMark(bool) { unavailable("Executor7::sendStartFlyMark"); }
void Executor7::sendBoundaryLength(uint32_t) { unavailable("Executor7::sendBoundaryLength"); }
void Executor7::sendEncoderParam(const FlyParam&) { unavailable("Executor7::sendEncoderParam"); }
void Executor7::sendTriggerParam(const FlyParam&) { unavailable("Executor7::sendTriggerParam"); }
bool Executor7::setWatchDog(bool, uint16_t) { return unavailable("Executor7::setWatchDog"); }
void Executor7::sendDelayDistanceClear() { unavailable("Executor7::sendDelayDistanceClear"); }
void Executor7::sendDelayDistanceWait(float, float) { unavailable("Executor7::sendDelayDistanceWait"); }
void Executor7::sendDelayTimeClear() { unavailable("Executor7::sendDelayTimeClear"); }
void Executor7::sendDelayTimeWait(uint32_t) { unavailable("Executor7::sendDelayTimeWait"); }
void Executor7::sendBitmapMode(bool) { unavailable("Executor7::sendBitmapMode"); }
void Executor7::sendBitmapLight(const uint8_t*, uint8_t) { unavailable("Executor7::sendBitmapLight"); }
// clang-format on
