#pragma once

#include <cstdint>
#include <string>

#include "executor/types.h"

// Connection parameters and network identity of one board. Fields marked carried are kept
// and handed back by getDevInfo but have no meaning to the library.
struct DevPar {
    uint32_t m_index = 0;  // carried
    std::string m_ip = "0.0.0.0";
    std::string m_mask = "255.255.255.0";
    std::string m_gateway = "0.0.0.0";
    std::string m_mac = "00-00-00-00-00-00";
    std::string m_bindIp = "0.0.0.0";
    std::string m_localIp = "0.0.0.0";
    uint16_t m_param1 = 2000;   // carried
    uint16_t m_param2 = 32767;  // carried
    bool m_bound = false;
    uint16_t m_param3 = 0xFFFF;  // carried
    std::string m_text1;         // carried
    uint32_t m_param4 = 1;       // carried
    std::string m_text2;         // carried
};

// Base status of a board, decoded from its status reply.
struct DevBaseState {
    uint32_t workState = 1;
    bool offline = false;
    bool flashState = false;
    bool statusBit2 = true;
    bool statusBit3 = true;
    bool statusBit4 = false;
    bool statusBit5 = true;
    bool statusBit6 = true;
    uint8_t status6 = 0;
    uint16_t status8 = 0;
    bool finished = true;
    bool status12Bit1 = false;
    uint32_t freeCacheKb = 4095;  // free list memory in units of 1024 bytes
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    uint16_t status24 = 0;
    uint16_t status26 = 0;
    uint32_t markCount = 0;
    uint16_t status30 = 0;
    bool valid = false;  // set by the library: the last refresh succeeded
};

// Extended status: axis positions and states, laser state.
struct DevExtState {
    uint32_t ext0 = 0;
    uint32_t ext1 = 0;
    uint32_t groupA[4] = {};
    uint32_t groupB[4] = {};
    uint8_t axisState[4] = {};
    uint8_t laserState = 0;
    uint8_t laserState2 = 0;
    uint8_t ext46 = 0;
    uint8_t ext47 = 0;
};

// Identity, versions and capabilities of a board.
struct DevSysInfo {
    uint8_t verHigh = 0;
    uint8_t verLow = 0;
    std::string devId;
    std::string devName;
    uint16_t versionA[4] = {};
    uint16_t fpgaVersion[4] = {};
    uint16_t info88 = 0;
    uint16_t info90 = 0;
    uint16_t info92 = 0;
    uint16_t info94 = 0;
    uint16_t axisCount = 2;
    bool reMarkSupport = false;
    bool offlineSupport = false;
    bool wideOfflineCmd = false;

    // Firmware version word of a protocol 7 board.
    uint16_t firmwareVersion() const { return static_cast<uint16_t>(verHigh << 8 | verLow); }
};

// Everything the executor knows about its board.
struct DevInfo {
    DevPar devPar;
    DevSysInfo sysInfo;
    BOARD_TYPE boardType = BOARD_TYPE_UNKNOWN;
    BOARD_TYPE_SUB boardTypeSub = BOARD_TYPE_SUB_UNKNOWN;
};
