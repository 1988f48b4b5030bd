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
bool Executor5::getDevType(BOARD_TYPE&, BOARD_TYPE_SUB&, DevSysInfo&) { return unavailable("Executor5::getDevType"); }
BoardMode Executor5::getBoardMode() { unavailable("Executor5::getBoardMode"); return BOARD_MODE_NO_ANSWER; }
bool Executor5::setBootMode() { return unavailable("Executor5::setBootMode"); }
bool Executor5::setAppMode() { return unavailable("Executor5::setAppMode"); }
bool Executor5::getDevHeartState(uint16_t&, bool&) { return unavailable("Executor5::getDevHeartState"); }
bool Executor5::getDevState(DevBaseState&, bool) { return unavailable("Executor5::getDevState"); }
bool Executor5::getDevExtState(DevExtState&, bool) { return unavailable("Executor5::getDevExtState"); }
bool Executor5::getAxisStates(const std::vector<AxisSetting>&, std::vector<AxisState>&, bool) { return unavailable("Executor5::getAxisStates"); }
void Executor5::setResetCount() { unavailable("Executor5::setResetCount"); }
void Executor5::sendCountOnce() { unavailable("Executor5::sendCountOnce"); }
bool Executor5::setClearCache() { return unavailable("Executor5::setClearCache"); }
bool Executor5::setReset() { return unavailable("Executor5::setReset"); }
bool Executor5::setReady() { return unavailable("Executor5::setReady"); }
bool Executor5::setRun() { return unavailable("Executor5::setRun"); }
bool Executor5::setPauseMark() { return unavailable("Executor5::setPauseMark"); }
bool Executor5::setResumeMark() { return unavailable("Executor5::setResumeMark"); }
bool Executor5::setDevOffline() { return unavailable("Executor5::setDevOffline"); }
bool Executor5::setDevOnline() { return unavailable("Executor5::setDevOnline"); }
bool Executor5::sendReMarkStart() { return unavailable("Executor5::sendReMarkStart"); }
bool Executor5::sendReMarkEnd() { return unavailable("Executor5::sendReMarkEnd"); }
void Executor5::sendMarkInport(uint32_t, uint32_t, uint16_t, bool) { unavailable("Executor5::sendMarkInport"); }
bool Executor5::getOutPortState(uint32_t&, bool) { return unavailable("Executor5::getOutPortState"); }
bool Executor5::setOutPortStateAll(uint32_t, uint32_t) { return unavailable("Executor5::setOutPortStateAll"); }
void Executor5::sendOutPortStateAll(uint32_t, uint32_t) { unavailable("Executor5::sendOutPortStateAll"); }
bool Executor5::setOutPortState(uint32_t, bool, uint32_t) { return unavailable("Executor5::setOutPortState"); }
void Executor5::sendOutPortState(uint32_t, bool, uint32_t) { unavailable("Executor5::sendOutPortState"); }
void Executor5::sendHardwareBlock(uint32_t, bool) { unavailable("Executor5::sendHardwareBlock"); }
bool Executor5::setSoftTiggerMark() { return unavailable("Executor5::setSoftTiggerMark"); }
bool Executor5::getUserRamInfo(uint32_t&, uint32_t&) { return unavailable("Executor5::getUserRamInfo"); }
bool Executor5::writeUserData(const uint8_t*, uint32_t) { return unavailable("Executor5::writeUserData"); }
bool Executor5::getUserDataSize(uint32_t&) { return unavailable("Executor5::getUserDataSize"); }
bool Executor5::readUserData(uint8_t*, uint32_t) { return unavailable("Executor5::readUserData"); }
bool Executor5::setEepromData(uint16_t, const uint8_t*, uint16_t) { return unavailable("Executor5::setEepromData"); }
bool Executor5::getEepromData(uint16_t, uint8_t*, uint16_t) { return unavailable("Executor5::getEepromData"); }
bool Executor5::setEepromDataSize(uint32_t, uint32_t) { return unavailable("Executor5::setEepromDataSize"); }
bool Executor5::getOfflineRamSize(uint32_t&) { return unavailable("Executor5::getOfflineRamSize"); }
void Executor5::sendOfflineParam(std::vector<OfflineParam>) { unavailable("Executor5::sendOfflineParam"); }
void Executor5::sendOfflineBlock(uint16_t, uint32_t, bool) { unavailable("Executor5::sendOfflineBlock"); }
void Executor5::sendSramBack() { unavailable("Executor5::sendSramBack"); }
bool Executor5::setOfflineClearFile(uint32_t) { return unavailable("Executor5::setOfflineClearFile"); }
void Executor5::modifyOfflineAddr(KestCmd*, std::vector<uint32_t>) { unavailable("Executor5::modifyOfflineAddr"); }
bool Executor5::setOfflineWriteOnePage(uint16_t, uint16_t, uint32_t, const uint8_t*, uint16_t) { return unavailable("Executor5::setOfflineWriteOnePage"); }
bool Executor5::getOfflineCmdSize(uint32_t&) { return unavailable("Executor5::getOfflineCmdSize"); }
// clang-format on
