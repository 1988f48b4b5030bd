#pragma once

#include <cstdint>

#include "core/identity_opcodes.h"

// Opcodes of protocol 7 boards, with the total length of each list packet.
namespace op7 {

struct ListOp {
    uint16_t opcode;
    uint16_t length;  // header included
};

// List commands (queued and sent in frames).
constexpr ListOp kHardwareBlock{0x0202, 12};
constexpr ListOp kStartFlyMark{0x0203, 6};
constexpr ListOp kCountOnce{0x0205, 4};
constexpr ListOp kBoundaryLength{0x0206, 8};
constexpr ListOp kLightOnDelay{0x0208, 8};
constexpr ListOp kMOSignal{0x0210, 8};
constexpr ListOp kAPSignal{0x0211, 6};
constexpr ListOp kRedSignal{0x0212, 6};
constexpr ListOp kPRRSignal{0x0213, 12};
constexpr ListOp kFiberPower{0x0214, 10};
constexpr ListOp kMOPALaser{0x0216, 8};
constexpr ListOp kPWM2Signal{0x0217, 30};
constexpr ListOp kPWMSignal{0x0218, 30};
constexpr ListOp kDA2Signal{0x0219, 20};
constexpr ListOp kDASignal{0x021A, 20};
constexpr ListOp kPreionFPS{0x021B, 12};
constexpr ListOp kLaserEffectTime{0x0220, 6};
constexpr ListOp kLenPara{0x0221, 12};
constexpr ListOp kEncoderParam{0x0222, 16};
constexpr ListOp kTriggerParam{0x0223, 16};
constexpr ListOp kGalvoBoxParam{0x0224, 24};
constexpr ListOp kOutPortState{0x0228, 12};
constexpr ListOp kGpoPar{0x0229, 16};
constexpr ListOp kDelayDistanceClear{0x022A, 6};
constexpr ListOp kDelayDistanceWait{0x022B, 12};
constexpr ListOp kDelayTimeClear{0x022C, 6};
constexpr ListOp kDelayTimeWait{0x022D, 8};
constexpr ListOp kBitmapMode{0x022E, 6};
constexpr ListOp kBitmapLight{0x022F, 14};
constexpr ListOp kMoveToAbs{0x0241, 18};
constexpr ListOp kMoveToRel{0x0242, 18};
constexpr ListOp kLineToAbs{0x0245, 18};
constexpr ListOp kLineToRel{0x0246, 18};
constexpr ListOp kDA1SISD{0x0250, 12};
constexpr ListOp kDA2SISD{0x0251, 12};
constexpr ListOp kPWM1SISD{0x0252, 18};
constexpr ListOp kPWM2SISD{0x0253, 18};
constexpr ListOp kPowerSISD{0x0254, 12};
constexpr ListOp kOfflineParam{0x0260, 20};  // 0x0260 to 0x0263
constexpr uint16_t kOfflineParamLast = 0x0263;
constexpr ListOp kMarkInport{0x0290, 16};
constexpr ListOp kOfflineBlock{0x0291, 12};
constexpr ListOp kSramBack{0x0292, 8};
constexpr ListOp kOfflineStopIo{0x0293, 12};
constexpr ListOp kOfflineWarnIo{0x0294, 20};
constexpr ListOp kEquiScaleX{0x02A0, 14};
constexpr ListOp kEquiScaleY{0x02A1, 14};
constexpr ListOp kMotionAxisSetPar{0x0300, 20};
constexpr ListOp kMotionAxisJoinMove{0x0301, 20};
constexpr ListOp kMotionAxisAloneMove{0x0302, 20};
constexpr ListOp kMotionAxisRcvFlag{0x0310, 6};
constexpr ListOp kMotionAxisJoinEnergy{0x0313, 18};
constexpr ListOp kMotionAxisRunFlag{0x0340, 6};
constexpr ListOp kAxisMove{0x03A0, 28};
constexpr ListOp kAxis03B1{0x03B1, 18};
constexpr ListOp kAxisLinkageXYZR{0x0401, 22};
constexpr ListOp kAxisLinkageABCD{0x0402, 22};
constexpr ListOp kAxisLinkageParam{0x0403, 14};
constexpr ListOp kEnableAxis{0x0404, 8};
constexpr ListOp kAxisLinkageXYZRToZero{0x040A, 22};
constexpr ListOp kAxisLinkageABCDToZero{0x040B, 22};
constexpr ListOp kAxisLinkageToZeroTime{0x040C, 8};
constexpr ListOp kDelayTime{0x0A00, 8};

// Immediate commands (12-byte requests unless noted).
constexpr uint16_t kProbe = identity::kProbe;
constexpr uint16_t kHeartbeat = 0xAA01;
constexpr uint16_t kDevState = 0xAA05;
constexpr uint16_t kDevExtState = 0xAA07;
constexpr uint16_t kAxisStatesEx = 0xAA08;
constexpr uint16_t kRunState = 0xAA10;
constexpr uint16_t kClearCache = 0xAA18;
constexpr uint16_t kGpiFilter = 0xAA20;
constexpr uint16_t kOutPortStateAll = 0xAA22;
constexpr uint16_t kGpoParNow = 0xAA23;  // 16 bytes
constexpr uint16_t kWatchDog = 0xAA24;
constexpr uint16_t kPauseResume = 0xAA2C;
constexpr uint16_t kRedSignalNow = 0xAA2E;
constexpr uint16_t kSoftTrigger = 0xAA30;
constexpr uint16_t kResetCount = 0xAA34;
constexpr uint16_t kClearAxisPulse = 0xAA46;
constexpr uint16_t kAxisLinkageStopParam = 0xAA47;  // 22 bytes
constexpr uint16_t kAxisLinkageStop = 0xAA48;
constexpr uint16_t kAxisConfig = 0xAA49;
constexpr uint16_t kEnableAxisNow = 0xAA4A;
constexpr uint16_t kHandwheelParam = 0xAA50;
constexpr uint16_t kOfflineWritePage = 0xAAA0;
constexpr uint16_t kOfflineRamSize = 0xAAA2;
constexpr uint16_t kOfflineClearFile = 0xAAA4;
constexpr uint16_t kOnlineOffline = 0xAAA6;
constexpr uint16_t kSweepChannel = 0xAAB8;
constexpr uint16_t kDataTransmit = 0xAAC0;  // list form, exchanged at once
constexpr uint16_t kLedStatus = 0xAAC5;
constexpr uint16_t kEepromPreRead = 0xAAD1;
constexpr uint16_t kEepromRead = 0xAAD2;
constexpr uint16_t kEepromWrite = 0xAAD3;  // 40 bytes
constexpr uint16_t kDevType = 0xF0F0;
constexpr uint16_t kBoardMode = 0xFFF1;
constexpr uint16_t kBootMode = 0xFFF2;
constexpr uint16_t kAppMode = 0xFFF3;

// Values of the run-state word of kRunState.
constexpr uint16_t kRunStateReset = 1;
constexpr uint16_t kRunStateReady = 2;
constexpr uint16_t kRunStateRun = 3;

}  // namespace op7

namespace op7 {

// Every list command with the operations that build it. Operations that share an entry
// differ in their payload only.
struct CatalogueEntry {
    ListOp op;
    const char* methods;
};

constexpr CatalogueEntry kListCatalogue[] = {
    {kHardwareBlock, "sendHardwareBlock"},
    {kStartFlyMark, "sendStartFlyMark"},
    {kCountOnce, "sendCountOnce"},
    {kBoundaryLength, "sendBoundaryLength"},
    {kLightOnDelay, "sendLightOnDelay"},
    {kMOSignal, "sendMOSignal"},
    {kAPSignal, "sendAPSignal"},
    {kRedSignal, "sendRedSignal"},
    {kPRRSignal, "sendPRRSignal"},
    {kFiberPower, "sendFiberPower"},
    {kMOPALaser, "sendMOPALaser"},
    {kPWM2Signal, "sendPWM2Signal"},
    {kPWMSignal, "sendPWMSignal"},
    {kDA2Signal, "sendDA2Signal"},
    {kDASignal, "sendDASignal"},
    {kPreionFPS, "sendPreionFPS"},
    {kLaserEffectTime, "sendLaserEffectTime"},
    {kLenPara, "sendLenPara"},
    {kEncoderParam, "sendEncoderParam"},
    {kTriggerParam, "sendTriggerParam"},
    {kGalvoBoxParam, "sendGalvoBoxParam"},
    {kOutPortState, "sendOutPortStateAll sendOutPortState"},
    {kGpoPar, "sendGpoPar"},
    {kDelayDistanceClear, "sendDelayDistanceClear"},
    {kDelayDistanceWait, "sendDelayDistanceWait"},
    {kDelayTimeClear, "sendDelayTimeClear"},
    {kDelayTimeWait, "sendDelayTimeWait"},
    {kBitmapMode, "sendBitmapMode"},
    {kBitmapLight, "sendBitmapLight"},
    {kMoveToAbs, "sendMoveToAbs"},
    {kMoveToRel, "sendMoveToRel"},
    {kLineToAbs, "sendLineToAbs"},
    {kLineToRel, "sendLineToRel"},
    {kDA1SISD, "sendDA1SISD"},
    {kDA2SISD, "sendDA2SISD"},
    {kPWM1SISD, "sendPWM1SISD"},
    {kPWM2SISD, "sendPWM2SISD"},
    {kPowerSISD, "sendPowerSISD"},
    {{0x0260, 20}, "sendOfflineParam"},
    {{0x0261, 20}, "sendOfflineParam"},
    {{0x0262, 20}, "sendOfflineParam"},
    {{0x0263, 20}, "sendOfflineParam"},
    {kMarkInport, "sendMarkInport"},
    {kOfflineBlock, "sendOfflineBlock"},
    {kSramBack, "sendSramBack"},
    {kOfflineStopIo, "sendOfflineStopIo"},
    {kOfflineWarnIo, "sendOfflineWarnIo"},
    {kEquiScaleX, "sendGalvoEquiScaleParam"},
    {kEquiScaleY, "sendGalvoEquiScaleParam"},
    {kMotionAxisSetPar, "sendMotionAxisSetPar"},
    {kMotionAxisJoinMove, "sendMotionAxisJoinMove"},
    {kMotionAxisAloneMove, "sendMotionAxisAloneMove"},
    {kMotionAxisRcvFlag, "sendMotionAxisRcvFlag"},
    {kMotionAxisJoinEnergy, "sendMotionAxisJoinEnergy"},
    {kMotionAxisRunFlag, "sendMotionAxisRunFlag"},
    {kAxisMove, "sendMovePulse sendAxis_03A0"},
    {kAxis03B1, "sendAxis_03B1"},
    {kAxisLinkageXYZR, "sendAxisLinkageXYZR"},
    {kAxisLinkageABCD, "sendAxisLinkageABCD"},
    {kAxisLinkageParam, "sendAxisLinkageParam"},
    {kEnableAxis, "sendEnableAxis"},
    {kAxisLinkageXYZRToZero, "sendAxisLinkageXYZRToZero"},
    {kAxisLinkageABCDToZero, "sendAxisLinkageABCDToZero"},
    {kAxisLinkageToZeroTime, "sendAxisLinkageToZeroTime"},
    {kDelayTime, "sendDelayTime"},
};

// Immediate commands with the operations that send them.
struct ImmediateEntry {
    uint16_t opcode;
    const char* methods;
};

constexpr ImmediateEntry kImmediateCatalogue[] = {
    {kProbe, "getProtocol"},
    {kHeartbeat, "getDevHeartState"},
    {kDevState, "getDevState"},
    {kDevExtState, "getDevExtState"},
    {kAxisStatesEx, "getAxisStatesEx"},
    {kRunState, "setReset setReady setRun"},
    {kClearCache, "setClearCache"},
    {kGpiFilter, "setGpiFilter"},
    {kOutPortStateAll, "setOutPortStateAll"},
    {kGpoParNow, "setGpoPar"},
    {kWatchDog, "setWatchDog"},
    {kPauseResume, "setPauseMark setResumeMark"},
    {kRedSignalNow, "setRedSignal"},
    {kSoftTrigger, "setSoftTiggerMark"},
    {kResetCount, "setResetCount"},
    {kClearAxisPulse, "setClearAxisPulse"},
    {kAxisLinkageStopParam, "setAxisLinkageStopParam"},
    {kAxisLinkageStop, "setAxisLinkageStop"},
    {kAxisConfig, "setAxisConfig"},
    {kEnableAxisNow, "setEnableAxis"},
    {kHandwheelParam, "setHandwheelParam"},
    {kOfflineWritePage, "setOfflineWriteOnePage"},
    {kOfflineRamSize, "getOfflineRamSize"},
    {kOfflineClearFile, "setOfflineClearFile"},
    {kOnlineOffline, "setDevOffline setDevOnline"},
    {kSweepChannel, "setSwitchSweepChannel"},
    {kDataTransmit, "setDataTransmit"},
    {kLedStatus, "setLedStatus"},
    {kEepromPreRead, "getEepromData"},
    {kEepromRead, "getEepromData"},
    {kEepromWrite, "setEepromData"},
    {kDevType, "getDevType"},
    {kBoardMode, "getBoardMode"},
    {kBootMode, "setBootMode"},
    {kAppMode, "setAppMode"},
};

}  // namespace op7
