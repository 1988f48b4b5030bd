#include "core/log.h"
#include "executor/core/executor.h"

// Placeholder until power and pen parameters land.

void Executor::sendMarkPara(const TarnParam& /*lens*/, bool /*redOn*/, MarkType /*markType*/) {
    logUnavailable("Executor::sendMarkPara");
}

void Executor::setPower(const LaserParam& /*laser*/, const PenParam& /*pen*/, int16_t /*power*/, uint16_t /*word*/) {
    logUnavailable("Executor::setPower");
}

void Executor::sendPenPara(const LaserParam& /*laser*/, const PenParam& /*pen*/) {
    logUnavailable("Executor::sendPenPara");
}
