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
bool Executor7::getAxisStates(const std::vector<AxisSetting>&, std::vector<AxisState>&, bool) { return unavailable("Executor7::getAxisStates"); }
bool Executor7::getOfflineRamSize(uint32_t&) { return unavailable("Executor7::getOfflineRamSize"); }
void Executor7::sendOfflineParam(std::vector<OfflineParam>) { unavailable("Executor7::sendOfflineParam"); }
void Executor7::sendOfflineBlock(uint16_t, uint32_t, bool) { unavailable("Executor7::sendOfflineBlock"); }
void Executor7::sendOfflineStopIo(uint32_t, uint32_t) { unavailable("Executor7::sendOfflineStopIo"); }
void Executor7::sendOfflineWarnIo(uint32_t, uint32_t, uint32_t, uint32_t) { unavailable("Executor7::sendOfflineWarnIo"); }
void Executor7::sendSramBack() { unavailable("Executor7::sendSramBack"); }
bool Executor7::setOfflineClearFile(uint32_t) { return unavailable("Executor7::setOfflineClearFile"); }
void Executor7::modifyOfflineAddr(KestCmd*, std::vector<uint32_t>) { unavailable("Executor7::modifyOfflineAddr"); }
bool Executor7::setOfflineWriteOnePage(uint16_t, uint16_t, uint32_t, const uint8_t*, uint16_t) { return unavailable("Executor7::setOfflineWriteOnePage"); }
bool Executor7::getOfflineCmdSize(uint32_t&) { return unavailable("Executor7::getOfflineCmdSize"); }
void Executor7::sendGalvoBoxParam(GalvoParam) { unavailable("Executor7::sendGalvoBoxParam"); }
void Executor7::sendGalvoEquiScaleParam(GalvoParam) { unavailable("Executor7::sendGalvoEquiScaleParam"); }
void Executor7::sendMotionAxisSetPar(const AxisSetting&) { unavailable("Executor7::sendMotionAxisSetPar"); }
void Executor7::sendMotionAxisJoinMove(const AxisSetting&, int32_t, uint32_t, uint32_t, uint32_t, uint32_t, bool) { unavailable("Executor7::sendMotionAxisJoinMove"); }
void Executor7::sendMotionAxisAloneMove(const AxisSetting&, int32_t, uint32_t, uint32_t, uint32_t, uint32_t, bool) { unavailable("Executor7::sendMotionAxisAloneMove"); }
void Executor7::sendMotionAxisRcvFlag(bool) { unavailable("Executor7::sendMotionAxisRcvFlag"); }
void Executor7::sendMotionAxisJoinEnergy(uint32_t, uint32_t, uint32_t, uint8_t, uint32_t) { unavailable("Executor7::sendMotionAxisJoinEnergy"); }
void Executor7::sendMotionAxisRunFlag(bool, bool, uint8_t) { unavailable("Executor7::sendMotionAxisRunFlag"); }
void Executor7::sendAxisLinkageXYZR(AxisMoveParam, AxisMoveParam, AxisMoveParam, AxisMoveParam) { unavailable("Executor7::sendAxisLinkageXYZR"); }
void Executor7::sendAxisLinkageABCD(AxisMoveParam, AxisMoveParam, AxisMoveParam, AxisMoveParam) { unavailable("Executor7::sendAxisLinkageABCD"); }
void Executor7::sendAxisLinkageParam(AxisLinkageParam) { unavailable("Executor7::sendAxisLinkageParam"); }
bool Executor7::getAxisStatesEx(const std::vector<AxisSetting>&, std::vector<AxisState>&, bool) { return unavailable("Executor7::getAxisStatesEx"); }
bool Executor7::setClearAxisPulse(AxisClearParam) { return unavailable("Executor7::setClearAxisPulse"); }
bool Executor7::setHandwheelParam(bool, uint32_t) { return unavailable("Executor7::setHandwheelParam"); }
void Executor7::sendAxisLinkageXYZRToZero(AxisMoveZeroParam, AxisMoveZeroParam, AxisMoveZeroParam, AxisMoveZeroParam) { unavailable("Executor7::sendAxisLinkageXYZRToZero"); }
void Executor7::sendAxisLinkageABCDToZero(AxisMoveZeroParam, AxisMoveZeroParam, AxisMoveZeroParam, AxisMoveZeroParam) { unavailable("Executor7::sendAxisLinkageABCDToZero"); }
void Executor7::sendAxisLinkageToZeroTime(uint32_t) { unavailable("Executor7::sendAxisLinkageToZeroTime"); }
bool Executor7::setAxisLinkageStopParam(AxisStopParam) { return unavailable("Executor7::setAxisLinkageStopParam"); }
bool Executor7::setAxisLinkageStop() { return unavailable("Executor7::setAxisLinkageStop"); }
bool Executor7::setAxisConfig(AxisConfigParam) { return unavailable("Executor7::setAxisConfig"); }
bool Executor7::setEnableAxis(AxisEnableParam) { return unavailable("Executor7::setEnableAxis"); }
void Executor7::sendEnableAxis(AxisEnableParam) { unavailable("Executor7::sendEnableAxis"); }
// clang-format on
