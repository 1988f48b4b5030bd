#pragma once

#include <cstdint>

// Opcodes of protocol 5 boards. Every packet is 12 bytes (the immediate form), list commands
// included; the EEPROM write alone is 38.
namespace op5 {

constexpr uint16_t kPacketLen = 12;

// List commands (queued and sent in frames).
constexpr uint16_t kHardwareBlock = 0x0202;
constexpr uint16_t kCountOnce = 0x0205;
constexpr uint16_t kMOPALaser = 0x0206;
constexpr uint16_t kDASignal = 0x0207;
constexpr uint16_t kLightOnDelay = 0x0208;
constexpr uint16_t kFiberPower = 0x0210;
constexpr uint16_t kLenPara = 0x0211;
constexpr uint16_t kLenRange = 0x0212;
constexpr uint16_t kPortPara = 0x0213;
constexpr uint16_t kCO2PreionFPS = 0x0217;
constexpr uint16_t kPreionFPS = 0x0218;
constexpr uint16_t kAxisCounts = 0x0230;
constexpr uint16_t kAxisSpeeds = 0x0231;
constexpr uint16_t kAxisRamps = 0x0232;
constexpr uint16_t kAxisStart = 0x0233;
constexpr uint16_t kAxisCounts2 = 0x0234;
constexpr uint16_t kAxisSpeeds2 = 0x0235;
constexpr uint16_t kAxisPairSelect = 0x0236;
constexpr uint16_t kMoveToAbs = 0x0241;
constexpr uint16_t kMoveToRel = 0x0242;  // also the delay
constexpr uint16_t kLineToAbs = 0x0243;
constexpr uint16_t kLineToRel = 0x0244;
constexpr uint16_t kOfflineParam = 0x0260;  // 0x0260 to 0x0263
constexpr uint16_t kOfflineParamLast = 0x0263;
constexpr uint16_t kMOSignalOff = 0x0280;
constexpr uint16_t kMOSignalOn = 0x0281;
constexpr uint16_t kSpiPower = 0x02A0;
constexpr uint16_t kOutPortState = 0x2F82;
constexpr uint16_t kOutPortPulse = 0x2F83;
constexpr uint16_t kMarkInport = 0x2F90;  // also the re-mark start
constexpr uint16_t kOfflineBlock = 0x2F91;
constexpr uint16_t kSramBack = 0x2F92;  // also the re-mark end

// Immediate commands.
constexpr uint16_t kDevState = 0x0101;
constexpr uint16_t kDevExtState = 0x0103;
constexpr uint16_t kRun = 0x0104;
constexpr uint16_t kReset = 0x0105;
constexpr uint16_t kClearCache = 0x0106;
constexpr uint16_t kReady = 0x0107;
constexpr uint16_t kResetCount = 0x010D;
constexpr uint16_t kDevType = 0x0110;
constexpr uint16_t kOutPortStateNow = 0x0111;
constexpr uint16_t kOutPortRead = 0x0112;
constexpr uint16_t kOfflineWritePage = 0x0113;
constexpr uint16_t kOfflineClearFile = 0x0115;
constexpr uint16_t kOnlineOffline = 0x0118;
constexpr uint16_t kSoftTrigger = 0x0120;
constexpr uint16_t kPauseResume = 0x0125;
constexpr uint16_t kBoardMode = 0x0140;
constexpr uint16_t kBootAppMode = 0x0141;
constexpr uint16_t kEepromPreRead = 0x0181;
constexpr uint16_t kEepromRead = 0x0182;
constexpr uint16_t kEepromWrite = 0x0183;  // 38 bytes
constexpr uint16_t kSpiText = 0x01A0;
constexpr uint16_t kSpiSend = 0x01A1;
constexpr uint16_t kSpiSelect = 0x01A2;
constexpr uint16_t kAxisStatesA = 0x1667;
constexpr uint16_t kAxisStatesB = 0x1668;

// Every opcode, for walking the catalogue.
constexpr uint16_t kListOpcodes[] = {
    kHardwareBlock, kCountOnce,    kMOPALaser,    kDASignal,       kLightOnDelay, kFiberPower,  kLenPara,
    kLenRange,      kPortPara,     kCO2PreionFPS, kPreionFPS,      kAxisCounts,   kAxisSpeeds,  kAxisRamps,
    kAxisStart,     kAxisCounts2,  kAxisSpeeds2,  kAxisPairSelect, kMoveToAbs,    kMoveToRel,   kLineToAbs,
    kLineToRel,     0x0260,        0x0261,        0x0262,          0x0263,        kMOSignalOff, kMOSignalOn,
    kSpiPower,      kOutPortState, kOutPortPulse, kMarkInport,     kOfflineBlock, kSramBack,
};

constexpr uint16_t kImmediateOpcodes[] = {
    kDevState,      kDevExtState,      kRun,
    kReset,         kClearCache,       kReady,
    kResetCount,    kDevType,          kOutPortStateNow,
    kOutPortRead,   kOfflineWritePage, kOfflineClearFile,
    kOnlineOffline, kSoftTrigger,      kPauseResume,
    kBoardMode,     kBootAppMode,      kEepromPreRead,
    kEepromRead,    kEepromWrite,      kSpiText,
    kSpiSend,       kSpiSelect,        kAxisStatesA,
    kAxisStatesB,
};

}  // namespace op5
