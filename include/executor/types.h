#pragma once

#include <cstdint>

// Shared scalar types, result codes and board enumerations.

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef int16_t i16;
typedef int32_t i32;

// Result codes of init and OfflineDownload.
enum SdkError : int32_t {
    SDK_OK = 0,
    SDK_NOT_ENABLED = 1,
    SDK_NOT_OFFLINE = 0x500000,
    SDK_BIND_FAIL = 0x500001,
    SDK_NOT_BIND_BY_ME = 0x500002,
    SDK_OFFLINE_TOO_BIG = 0x500003,
    SDK_OFFLINE_NO_DATA = 0x500004,
    SDK_TRANSFER_NULL = 0x500005,
    SDK_OPEN_FAIL = 0x500006,
};

// Which wire protocol a board speaks, as found by Executor::getProtocol.
typedef int32_t BOARD_PROTOCOL;
enum BoardProtocolValue : int32_t {
    BOARD_PROTOCOL_5 = 0,
    BOARD_PROTOCOL_7 = 1,
};

// Board family reported by getDevType.
typedef int32_t BOARD_TYPE;
enum BoardTypeValue : int32_t {
    BOARD_TYPE_UNKNOWN = -1,
    BOARD_TYPE_PROTOCOL7 = 1000,
    BOARD_TYPE_PROTOCOL5 = 2000,
};

// Board variant of a protocol 5 board (0 to 18), derived from its FPGA version.
typedef int32_t BOARD_TYPE_SUB;
enum BoardTypeSubValue : int32_t {
    BOARD_TYPE_SUB_UNKNOWN = -1,
};

// Firmware mode answered by getBoardMode.
enum BoardMode : int32_t {
    BOARD_MODE_NO_ANSWER = 0,
    BOARD_MODE_FACTORY = 1,
    BOARD_MODE_APPLICATION = 2,
};

// Selects the coordinate mapping: 2 linear, 100..199 fly marking, anything else calibrated.
typedef int32_t MarkType;
enum MarkTypeValue : int32_t {
    MARK_TYPE_LINEAR = 2,
    MARK_TYPE_FLY_FIRST = 100,
    MARK_TYPE_FLY_LAST = 199,
};

// Laser source kind, 0 to 6.
typedef int32_t LaserType;
enum LaserTypeValue : int32_t {
    LASER_TYPE_0 = 0,
    LASER_TYPE_1 = 1,
    LASER_TYPE_2 = 2,
    LASER_TYPE_3 = 3,
    LASER_TYPE_4 = 4,
    LASER_TYPE_5 = 5,
    LASER_TYPE_6 = 6,
};

// Extension axis slot.
typedef int32_t AxisID;
enum AxisIdValue : int32_t {
    AXIS_ID_0 = 0,
    AXIS_ID_1 = 1,
};

// A 2-D point: double millimetres for logical points, int device units for galvo points.
template <typename T>
struct Point2dConcept {
    T x{};
    T y{};
    Point2dConcept() = default;
    Point2dConcept(T px, T py) : x(px), y(py) {}
};
