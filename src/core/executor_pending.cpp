#include "core/log.h"
#include "executor/core/executor.h"

// Shared operations whose implementation has not landed yet: they report it and do nothing.

void Executor::sendMarkPara(const TarnParam& /*lens*/, bool /*redOn*/, MarkType /*markType*/) {
    logUnavailable("Executor::sendMarkPara");
}

void Executor::setPower(const LaserParam& /*laser*/, const PenParam& /*pen*/, int16_t /*power*/, uint16_t /*word*/) {
    logUnavailable("Executor::setPower");
}

void Executor::sendPenPara(const LaserParam& /*laser*/, const PenParam& /*pen*/) {
    logUnavailable("Executor::sendPenPara");
}

uint32_t Executor::gotoPositionAbs(const TarnParam& /*lens*/, Point2dConcept<double> /*target*/, uint16_t /*steps*/,
                                   uint16_t /*delay*/, MarkCtrlData /*ctrl*/) {
    logUnavailable("Executor::gotoPositionAbs");
    return 0;
}

uint32_t Executor::gotoPositionRel(const TarnParam& /*lens*/, Point2dConcept<double> /*offset*/, uint16_t /*steps*/,
                                   uint16_t /*delay*/, MarkCtrlData /*ctrl*/) {
    logUnavailable("Executor::gotoPositionRel");
    return 0;
}

uint32_t Executor::linetoPositionAbs(const TarnParam& /*lens*/, Point2dConcept<double> /*target*/, uint16_t /*steps*/,
                                     uint16_t /*delay*/, MarkCtrlData /*ctrl*/) {
    logUnavailable("Executor::linetoPositionAbs");
    return 0;
}

uint32_t Executor::linetoPositionRel(const TarnParam& /*lens*/, Point2dConcept<double> /*offset*/, uint16_t /*steps*/,
                                     uint16_t /*delay*/, MarkCtrlData /*ctrl*/) {
    logUnavailable("Executor::linetoPositionRel");
    return 0;
}

void Executor::moveAxis(const ExtAxisPar& /*axis*/, int /*count*/, bool /*direction*/, bool /*wait*/) {
    logUnavailable("Executor::moveAxis");
}

void Executor::moveAxis(const ExtAxisParArray& /*axes*/, std::vector<int> /*counts*/, std::vector<bool> /*directions*/,
                        bool /*wait*/) {
    logUnavailable("Executor::moveAxis");
}

bool Executor::setIPAddr(std::string /*ip*/) {
    logUnavailable("Executor::setIPAddr");
    return false;
}

bool Executor::setMacAddr(std::string /*mac*/) {
    logUnavailable("Executor::setMacAddr");
    return false;
}

void Executor::setOfflineDocIndex(uint8_t /*index*/) { logUnavailable("Executor::setOfflineDocIndex"); }

bool Executor::OfflineDownload(SdkError& /*err*/) {
    logUnavailable("Executor::OfflineDownload");
    return false;
}
