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
void Executor7::sendPreionFPS(const LaserParam&) { unavailable("Executor7::sendPreionFPS"); }
void Executor7::sendMOSignal(bool, uint16_t) { unavailable("Executor7::sendMOSignal"); }
void Executor7::sendAPSignal(bool) { unavailable("Executor7::sendAPSignal"); }
void Executor7::sendPRRSignal(LaserType, float, double) { unavailable("Executor7::sendPRRSignal"); }
void Executor7::sendFiberPower(LaserType, double, double, uint16_t, uint16_t) { unavailable("Executor7::sendFiberPower"); }
void Executor7::sendPWMSignal(const LaserParam&, double, double, bool, bool) { unavailable("Executor7::sendPWMSignal"); }
void Executor7::sendPWM2Signal(const LaserParam&, double, double, bool, bool) { unavailable("Executor7::sendPWM2Signal"); }
void Executor7::sendDASignal(uint16_t, bool, bool) { unavailable("Executor7::sendDASignal"); }
void Executor7::sendDA2Signal(uint16_t, bool, bool) { unavailable("Executor7::sendDA2Signal"); }
void Executor7::sendMOPALaser(LaserType, uint16_t) { unavailable("Executor7::sendMOPALaser"); }
void Executor7::sendLaserEffectTime(uint16_t) { unavailable("Executor7::sendLaserEffectTime"); }
void Executor7::sendMovePulse(AxisID, bool, bool, uint32_t, bool, float, float, uint16_t) { unavailable("Executor7::sendMovePulse"); }
bool Executor7::sendAxisMovePulse(const ExtAxisPar&, int, bool) { return unavailable("Executor7::sendAxisMovePulse"); }
bool Executor7::sendAxisMovePulse(const ExtAxisParArray&, std::vector<int>, std::vector<bool>) { return unavailable("Executor7::sendAxisMovePulse"); }
bool Executor7::getAxisStates(const std::vector<AxisSetting>&, std::vector<AxisState>&, bool) { return unavailable("Executor7::getAxisStates"); }
void Executor7::sendMarkInport(uint32_t, uint32_t, uint16_t, bool) { unavailable("Executor7::sendMarkInport"); }
bool Executor7::setGpoPar(GpoPar) { return unavailable("Executor7::setGpoPar"); }
void Executor7::sendGpoPar(GpoPar) { unavailable("Executor7::sendGpoPar"); }
bool Executor7::setOutPortStateAll(uint32_t, uint32_t) { return unavailable("Executor7::setOutPortStateAll"); }
void Executor7::sendOutPortStateAll(uint32_t, uint32_t) { unavailable("Executor7::sendOutPortStateAll"); }
bool Executor7::setOutPortState(uint32_t, bool, uint32_t) { return unavailable("Executor7::setOutPortState"); }
void Executor7::sendOutPortState(uint32_t, bool, uint32_t) { unavailable("Executor7::sendOutPortState"); }
void Executor7::sendHardwareBlock(uint32_t, bool) { unavailable("Executor7::sendHardwareBlock"); }
bool Executor7::getUserRamInfo(uint32_t&, uint32_t&) { return unavailable("Executor7::getUserRamInfo"); }
bool Executor7::writeUserData(const uint8_t*, uint32_t) { return unavailable("Executor7::writeUserData"); }
bool Executor7::getUserDataSize(uint32_t&) { return unavailable("Executor7::getUserDataSize"); }
bool Executor7::readUserData(uint8_t*, uint32_t) { return unavailable("Executor7::readUserData"); }
bool Executor7::setEepromData(uint16_t, const uint8_t*, uint16_t) { return unavailable("Executor7::setEepromData"); }
bool Executor7::getEepromData(uint16_t, uint8_t*, uint16_t) { return unavailable("Executor7::getEepromData"); }
bool Executor7::setEepromDataSize(uint32_t, uint32_t) { return unavailable("Executor7::setEepromDataSize"); }
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
void Executor7::sendDA1SISD(DASISDPara) { unavailable("Executor7::sendDA1SISD"); }
void Executor7::sendDA2SISD(DASISDPara) { unavailable("Executor7::sendDA2SISD"); }
void Executor7::sendPWM1SISD(PWMSISDPara) { unavailable("Executor7::sendPWM1SISD"); }
void Executor7::sendPWM2SISD(PWMSISDPara) { unavailable("Executor7::sendPWM2SISD"); }
void Executor7::sendPowerSISD(PowerSISDPara) { unavailable("Executor7::sendPowerSISD"); }
void Executor7::sendStartFlyMark(bool) { unavailable("Executor7::sendStartFlyMark"); }
void Executor7::sendBoundaryLength(uint32_t) { unavailable("Executor7::sendBoundaryLength"); }
void Executor7::sendEncoderParam(const FlyParam&) { unavailable("Executor7::sendEncoderParam"); }
void Executor7::sendTriggerParam(const FlyParam&) { unavailable("Executor7::sendTriggerParam"); }
bool Executor7::setWatchDog(bool, uint16_t) { return unavailable("Executor7::setWatchDog"); }
void Executor7::sendGalvoBoxParam(GalvoParam) { unavailable("Executor7::sendGalvoBoxParam"); }
void Executor7::sendGalvoEquiScaleParam(GalvoParam) { unavailable("Executor7::sendGalvoEquiScaleParam"); }
void Executor7::sendDelayDistanceClear() { unavailable("Executor7::sendDelayDistanceClear"); }
void Executor7::sendDelayDistanceWait(float, float) { unavailable("Executor7::sendDelayDistanceWait"); }
void Executor7::sendDelayTimeClear() { unavailable("Executor7::sendDelayTimeClear"); }
void Executor7::sendDelayTimeWait(uint32_t) { unavailable("Executor7::sendDelayTimeWait"); }
void Executor7::sendBitmapMode(bool) { unavailable("Executor7::sendBitmapMode"); }
void Executor7::sendBitmapLight(const uint8_t*, uint8_t) { unavailable("Executor7::sendBitmapLight"); }
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
bool Executor7::setSwitchSweepChannel(bool) { return unavailable("Executor7::setSwitchSweepChannel"); }
int Executor7::setDataTransmit(uint8_t*, uint16_t, bool, uint8_t*, uint16_t) { unavailable("Executor7::setDataTransmit"); return -1; }
bool Executor7::sendAxis_03A0(const ExtAxisPar*, const double*, const bool*) { return unavailable("Executor7::sendAxis_03A0"); }
void Executor7::sendAxis_03B1(int, uint32_t, bool, bool, bool, Point2dConcept<int>, uint32_t) { unavailable("Executor7::sendAxis_03B1"); }
bool Executor7::setGpiFilter(uint32_t, uint32_t) { return unavailable("Executor7::setGpiFilter"); }
// clang-format on
