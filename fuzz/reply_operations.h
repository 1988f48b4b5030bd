#pragma once
// The operations of the reply decoder target, shared with the seed generator so that seeds
// are real board conversations. Arguments come as eight bytes; see run() for their use.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "executor/executor.h"
#include "proto5/executor5.h"

namespace fuzz {

// Opens the protected operations that decode replies.
struct Fuzz7 : Executor7 {
    using Executor7::getDevType;
    using Executor7::setEepromDataSize;
};
struct Fuzz5 : Executor5 {
    using Executor5::getDevType;
    using Executor5::setEepromDataSize;
};

enum Operation : uint8_t {
    kDevState,
    kDevExtState,
    kDevType,
    kBoardMode,
    kHeartbeat,
    kAxisStates,
    kEepromRead,
    kEepromWrite,
    kUserDataRead,
    kUserDataWrite,
    kDataTransmit,
    kOfflineRamSize,
    kCachedStatus,
    kRunControl,
    kConnect,
    kProbe,
    kStreamJob,
    kOperationCount
};

struct Args {
    uint8_t b[8];
    uint16_t u16(int i) const { return static_cast<uint16_t>(b[i] << 8 | b[i + 1]); }
};

inline std::vector<AxisSetting> axisSettings(const Args& a) {
    std::vector<AxisSetting> settings(a.b[0] % 5);
    for (size_t i = 0; i < settings.size(); ++i) {
        // Mostly real axes, sometimes any number at all.
        settings[i].axisNo = (a.b[1] & 0x80) != 0 ? static_cast<int8_t>(a.b[2 + i]) : a.b[2 + i] % 4;
        settings[i].dirInvert = static_cast<uint8_t>((a.b[6] >> i) & 1);
    }
    return settings;
}

inline void streamJob(Executor& e, const Args& a) {
    e.setRun();
    for (int i = 0; i < a.b[0] % 64; ++i) e.sendLineToAbs({i * 100, -i * 100}, 10, 0);
    e.exeCurCmd((a.b[1] & 1) != 0);
    if ((a.b[1] & 2) != 0) {
        e.setOfflineMode(true);
        e.sendMoveToAbs({1, 2}, 3, 4);
        e.setOfflineDocIndex(0);
        SdkError err = SDK_OK;
        e.OfflineDownload(err);
        e.setOfflineMode(false);
    }
}

template <typename E>
inline void run(E& e, Operation op, const Args& a, Transfer& link) {
    switch (op) {
        case kDevState: {
            DevBaseState s;
            e.getDevState(s, true);
            break;
        }
        case kDevExtState: {
            DevExtState s;
            e.getDevExtState(s, true);
            break;
        }
        case kDevType: {
            BOARD_TYPE type = BOARD_TYPE_UNKNOWN;
            BOARD_TYPE_SUB sub = BOARD_TYPE_SUB_UNKNOWN;
            DevSysInfo info;
            e.getDevType(type, sub, info);
            DevInfo devInfo;
            e.getDevInfo(devInfo);
            break;
        }
        case kBoardMode:
            e.getBoardMode();
            break;
        case kHeartbeat: {
            uint16_t counter = a.u16(0);
            bool alive = false;
            e.getDevHeartState(counter, alive);
            break;
        }
        case kAxisStates: {
            std::vector<AxisState> states;
            if constexpr (std::is_same_v<E, Fuzz7>) {
                if ((a.b[7] & 2) != 0) {
                    e.getAxisStatesEx(axisSettings(a), states, (a.b[7] & 1) != 0);
                    break;
                }
            }
            e.getAxisStates(axisSettings(a), states, (a.b[7] & 1) != 0);
            break;
        }
        case kEepromRead: {
            const uint16_t size = a.u16(2);
            std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
            e.getEepromData(a.u16(0), data.get(), size);
            break;
        }
        case kEepromWrite: {
            const uint16_t size = a.u16(2);
            std::vector<uint8_t> data(size, 0x5A);
            e.setEepromData(a.u16(0), data.data(), size);
            break;
        }
        case kUserDataRead: {
            // Up to 128 KiB: sizes the 16-bit transfers cannot carry must be refused.
            const uint32_t size = static_cast<uint32_t>(a.b[0] & 1) << 16 | a.u16(1);
            uint32_t addr = 0;
            uint32_t eepromSize = 0;
            uint32_t stored = 0;
            e.getUserRamInfo(addr, eepromSize);
            e.getUserDataSize(stored);
            std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
            e.readUserData(data.get(), size);
            break;
        }
        case kUserDataWrite: {
            const uint32_t size = static_cast<uint32_t>(a.b[0] & 1) << 16 | a.u16(1);
            uint32_t addr = 0;
            uint32_t eepromSize = 0;
            if ((a.b[3] & 1) != 0) e.getUserRamInfo(addr, eepromSize);
            std::vector<uint8_t> data(size, 0xA5);
            e.writeUserData(data.data(), size);
            e.setEepromDataSize(size, a.u16(4));
            break;
        }
        case kDataTransmit:
            if constexpr (std::is_same_v<E, Fuzz7>) {
                const uint16_t length = a.u16(0) % 1600;
                const uint16_t capacity = a.u16(2) % 1600;
                std::vector<uint8_t> data(length, 0x33);
                std::unique_ptr<uint8_t[]> reply(new uint8_t[capacity]);
                e.setDataTransmit(data.data(), length, (a.b[4] & 1) != 0, reply.get(), capacity);
            } else {
                std::vector<uint8_t> data(a.b[0]);
                int32_t len = static_cast<int32_t>(data.size());
                e.readUPort(data.data(), len);
            }
            break;
        case kOfflineRamSize: {
            uint32_t size = 0;
            e.getOfflineRamSize(size);
            break;
        }
        case kCachedStatus: {
            uint32_t value = 0;
            uint8_t laser = 0;
            e.getMarkCount(true, value);
            e.getLaserState(laser);
            e.getInPortState(value, true);
            e.getOutPortState(value, true);
            e.getDevOfflineState(true);
            e.getDevFlashState(true);
            break;
        }
        case kRunControl:
            e.setResetCount();
            e.setReady();
            e.setClearCache();
            e.setSoftTiggerMark();
            e.setPauseMark();
            e.setStopMark();
            break;
        case kConnect:
            e.init(DevPar(), (a.b[0] & 1) != 0, (a.b[0] & 2) != 0);
            e.unInit();
            break;
        case kProbe: {
            BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7;
            Executor::getProtocol(&link, protocol);
            break;
        }
        case kStreamJob:
            streamJob(e, a);
            break;
        default:
            break;
    }
}

// Link bits of input byte 0.
constexpr uint8_t kLinkProto7 = 1;
constexpr uint8_t kLinkNetwork = 2;
constexpr uint8_t kLinkVirtual = 4;

// One operation on a fresh executor of the protocol the link byte names.
inline void runOperation(uint8_t link, Operation op, const Args& args, Transfer& transfer) {
    if ((link & kLinkProto7) != 0) {
        Fuzz7 e;
        e.setTransfer(&transfer);
        run(e, op, args, transfer);
    } else {
        Fuzz5 e;
        e.setTransfer(&transfer);
        run(e, op, args, transfer);
    }
}

}  // namespace fuzz
