#include <cstdint>
#include <mutex>
#include <utility>

#include "cmd/packet_writer.h"
#include "core/axis_slots.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "core/log.h"
#include "executor/platform/logger.h"
#include "proto5/executor5.h"
#include "proto5/opcodes5.h"

namespace {

// Refusal word of the commands that answer with a 16-bit word.
constexpr uint16_t kRefused = 0xFFFF;
using axis_slots::kPositionOrigin;
constexpr uint32_t kCounterWrap = 65536;

// One 12-byte command judged by the transport alone, as protocol 5 boards answer.
bool command(Transfer* transfer, uint16_t opcode, uint8_t byte2 = 0, uint8_t byte3 = 0) {
    Reply reply;
    auto cmd = makeImmediatePacket(opcode);
    PacketWriter(*cmd).u8(2, byte2).u8(3, byte3);
    return exchange(transfer, *cmd, reply);
}

std::unique_ptr<KestCmd> listPacket(uint16_t opcode) { return makeImmediatePacket(opcode, op5::kPacketLen); }

struct Capabilities {
    BOARD_TYPE_SUB subType;
    bool reMark;
    bool offline;
    bool wide;
};

// Board variant and capabilities from the FPGA version a.b.c.d; false leaves the sub type
// as the caller had it.
bool classify(int a, int b, int c, int d, Capabilities& out) {
    auto is = [&out](BOARD_TYPE_SUB sub, bool reMark = false, bool offline = false, bool wide = false) {
        out = Capabilities{sub, reMark, offline, wide};
        return true;
    };
    if (a == 5) {
        switch (b) {
            case 5:
                if (d == 1) return c >= 90 && c <= 100 ? is(13, true) : is(2);
                if (d == 12) {
                    if (c >= 73) return is(3, false, true);
                    if (c >= 70) return is(3);
                    if (c >= 33) return is(4, false, true);
                    return is(4);
                }
                if (d == 13) return c >= 119 ? is(5, false, false, true) : is(4, false, true, true);
                return is(2);
            case 6:
                return d == 14 ? is(6, false, true, true) : is(6);
            case 7:
                return c >= 1 && c <= 99 ? is(14, true) : false;
            case 8:
                if (d == 16) return is(7, false, true);
                if (d == 17) return is(8, false, true, true);
                return false;
            case 9:
                return d == 19 ? is(16) : is(12, true);
            case 10:
                return d == 1 ? is(17) : false;
            case 11:
                return d == 1 ? is(9, false, true, true) : false;
            case 16:
                return is(12, true, false, true);
            case 17:
                return is(10);
            case 18:
                return is(13, true, false, true);
            case 2:
                return is(1);
            case 0:
                return c >= 20 ? is(1) : is(0);
            default:
                return is(0);
        }
    }
    if (a == 7) return b == 5 && c <= 9 ? is(11) : false;
    if (a == 8) return is(18);
    return false;
}

}  // namespace

bool Executor5::getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) {
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kDevType);
    if (!exchange(m_transfer, *cmd, reply)) return false;
    info.verHigh = 0;
    info.verLow = 0;
    const int a = reply.at(2), b = reply.at(3), c = reply.at(4), d = reply.at(5);
    for (uint32_t i = 0; i < 4; ++i) info.fpgaVersion[i] = reply.at(2 + i);
    Logger(Logger::kInfo, kLogTag).printf("Executor5::getDevType FPGA version %d.%d.%d.%d", a, b, c, d);
    type = BOARD_TYPE_PROTOCOL5;
    Capabilities caps{};
    if (classify(a, b, c, d, caps)) {
        subType = caps.subType;
        info.reMarkSupport = info.reMarkSupport || caps.reMark;
        info.offlineSupport = info.offlineSupport || caps.offline;
        info.wideOfflineCmd = info.wideOfflineCmd || caps.wide;
    }
    return true;
}

BoardMode Executor5::getBoardMode() {
    if (isVirtual()) return BOARD_MODE_APPLICATION;
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kBoardMode);
    cmd->setParam5(0x0001);
    if (!exchange(m_transfer, *cmd, reply)) return BOARD_MODE_NO_ANSWER;
    switch (reply.be16(10)) {
        case 0x55AA:
            return BOARD_MODE_FACTORY;
        case 0xAA55:
            return BOARD_MODE_APPLICATION;
        default:
            return (reply.at(2) & 0x01) != 0 ? BOARD_MODE_APPLICATION : BOARD_MODE_FACTORY;
    }
}

bool Executor5::setBootMode() { return command(m_transfer, op5::kBootAppMode, 0x55, 0xD5); }

// The board takes the same request both ways.
bool Executor5::setAppMode() { return command(m_transfer, op5::kBootAppMode, 0x55, 0xD5); }

bool Executor5::getDevState(DevBaseState& state, bool refresh) {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    if (isVirtual()) {
        m_devState.valid = true;
        state = m_devState;
        return true;
    }
    if (!refresh) {
        state = m_devState;
        return true;
    }
    // The transport orders the exchanges; the lock only covers the records.
    lock.unlock();
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kDevState);
    const bool ok = exchange(m_transfer, *cmd, reply);
    lock.lock();
    if (!ok) {
        m_devState.valid = false;
        state = m_devState;
        return false;
    }
    DevBaseState& s = m_devState;
    const uint8_t bits = reply.at(2);
    s.valid = true;
    s.offline = (bits & 0x80) != 0;
    s.flashState = (bits & 0x40) != 0;
    s.finished = (bits & 0x20) != 0;
    s.statusBit2 = (bits & 0x02) != 0;
    s.workState = (bits & 0x18) == 0 ? 0 : (s.finished ? 1 : 3);
    s.inputs = reply.at(5);
    s.freeCacheKb = reply.at(6) * 4u;
    s.status24 = reply.at(7);
    const uint8_t axes = reply.at(8);
    m_devExtState.axisState[0] = (axes >> 1) & 3;
    m_devExtState.axisState[1] = static_cast<uint8_t>(((axes >> 2) & 2) | (axes & 1));

    // The board counts marks in 16 bits; the running count follows its steps, across wraps.
    const uint32_t counter = reply.be16(9);
    if (counter != m_markCountBase) {
        s.markCount += counter > m_markCountBase ? counter - m_markCountBase : counter + kCounterWrap - m_markCountBase;
        m_markCountBase = counter;
    }
    state = s;
    return true;
}

bool Executor5::getDevExtState(DevExtState& state, bool refresh) {
    const bool fetch = refresh && isEnable();
    bool ok = true;
    Reply reply;
    if (fetch) {
        auto cmd = makeImmediatePacket(op5::kDevExtState);
        ok = exchange(m_transfer, *cmd, reply);
    }
    std::lock_guard<std::mutex> lock(m_stateMutex);
    if (fetch && ok) {
        m_devExtState.laserState = reply.at(2) & 0x0F;
        m_devExtState.groupB[1] = reply.be32(4);
        m_devExtState.groupB[3] = reply.be32(8);
    }
    state = m_devExtState;
    return ok;
}

bool Executor5::getDevHeartState(uint16_t& /*counter*/, bool& alive) {
    const bool ok = getDevState(m_devState, true);
    alive = m_devState.valid;
    return ok;
}

void Executor5::setResetCount() {
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kResetCount);
    const bool ok = exchange(m_transfer, *cmd, reply) && reply.be16(2) != kRefused;
    // Without the board's reset the running count must keep counting from where it stood.
    m_markCountBase = ok ? 0 : m_devState.markCount;
    m_devState.markCount = 0;
}

bool Executor5::setClearCache() {
    if (m_offlineMode || m_reMark) return true;
    return command(m_transfer, op5::kClearCache);
}

bool Executor5::setReset() {
    if (!command(m_transfer, op5::kReset)) return false;
    m_stopRun = true;
    return true;
}

bool Executor5::setReady() {
    if (!command(m_transfer, op5::kReady)) return false;
    m_stopRun = false;
    return true;
}

bool Executor5::setRun() {
    if (!command(m_transfer, op5::kRun)) return false;
    m_stopRun = false;
    return true;
}

bool Executor5::setPauseMark() { return command(m_transfer, op5::kPauseResume, 0x55); }

bool Executor5::setResumeMark() { return command(m_transfer, op5::kPauseResume); }

bool Executor5::setDevOffline() { return command(m_transfer, op5::kOnlineOffline, 0x01); }

bool Executor5::setDevOnline() { return command(m_transfer, op5::kOnlineOffline); }

bool Executor5::setSoftTiggerMark() {
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kSoftTrigger);
    return exchangeAccepted(m_transfer, *cmd, reply);
}

void Executor5::sendCountOnce() { enqueue(*this, listPacket(op5::kCountOnce)); }

void Executor5::sendHardwareBlock(uint32_t /*port*/, bool /*on*/) { enqueue(*this, listPacket(op5::kHardwareBlock)); }

bool Executor5::setOutPortState(uint32_t port, bool level, uint32_t time) {
    if (time != 0) return false;  // timed outputs exist only as list commands on these boards
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kOutPortStateNow);
    PacketWriter(*cmd).u8(2, static_cast<uint8_t>(port)).u8(5, level ? 1 : 0);
    return exchange(m_transfer, *cmd, reply);
}

void Executor5::sendOutPortState(uint32_t port, bool level, uint32_t time) {
    auto cmd = listPacket(op5::kOutPortState);
    PacketWriter(*cmd)
        .u8(2, static_cast<uint8_t>(port))
        .u8(3, time != 0 ? 1 : 0)
        .bit(4, 0, level)
        .be32(5, time * 2000u);
    enqueue(*this, std::move(cmd));
    if (time != 0) enqueue(*this, listPacket(op5::kOutPortPulse));
}

// These boards switch outputs one port at a time, and only the first eight.
bool Executor5::setOutPortStateAll(uint32_t mask, uint32_t value) {
    for (uint32_t port = 0; port < 8; ++port)
        if ((mask >> port) & 1) setOutPortState(port, ((value >> port) & 1) != 0, 0);
    return true;
}

void Executor5::sendOutPortStateAll(uint32_t mask, uint32_t value) {
    for (uint32_t port = 0; port < 8; ++port)
        if ((mask >> port) & 1) sendOutPortState(port, ((value >> port) & 1) != 0, 0);
}

bool Executor5::getOutPortState(uint32_t& state, bool refresh) {
    if (refresh) {
        Reply reply;
        auto cmd = makeImmediatePacket(op5::kOutPortRead);
        if (!exchange(m_transfer, *cmd, reply) || reply.be16(2) == kRefused) return false;
        m_devState.outputs = reply.be16(2);
    }
    state = m_devState.outputs;
    return true;
}

void Executor5::sendMarkInport(uint32_t mask, uint32_t level, uint16_t time, bool flag) {
    auto cmd = listPacket(op5::kMarkInport);
    PacketWriter(*cmd)
        .be16(2, static_cast<uint16_t>(mask))
        .be16(4, static_cast<uint16_t>(level))
        .be16(6, time)
        .u8(8, flag ? 1 : 0);
    enqueue(*this, std::move(cmd));
}

bool Executor5::sendReMarkStart() {
    if (!m_sysInfo.reMarkSupport) return true;
    enqueue(*this, listPacket(op5::kMarkInport));
    exeCurCmd(true);
    m_reMark = true;
    return true;
}

bool Executor5::sendReMarkEnd() {
    if (!m_sysInfo.reMarkSupport) return true;
    enqueue(*this, listPacket(op5::kSramBack));
    exeCurCmd(true);
    m_reMark = false;
    return true;
}

namespace {

// One axis state from a pair query: status bits of the first or second axis of the pair.
AxisState pairState(const AxisSetting& setting, uint8_t status, bool second, bool withPos, uint32_t raw) {
    auto clear = [status](int bit) { return static_cast<uint8_t>((status >> bit) & 1 ? 0 : 1); };
    const bool reversed = setting.dirInvert != 0;
    AxisState s;
    s.axisNo = setting.axisNo;
    s.flag0 = clear(second ? 1 : 0);
    s.flag1 = clear(second ? 3 : 2);
    uint8_t limitA = clear(second ? 6 : 4);
    uint8_t limitB = clear(second ? 7 : 5);
    if (reversed) std::swap(limitA, limitB);
    s.flag2 = limitA;
    s.flag3 = limitB;
    s.flag4 = 1;
    s.flag5 = 0;
    s.rawPosition = withPos ? raw : kPositionOrigin;
    // Distances wrap in 32 bits like the counter itself; negating a signed value could overflow.
    const uint32_t distance = withPos ? (reversed ? raw - kPositionOrigin : kPositionOrigin - raw) : 0;
    s.position = static_cast<int32_t>(distance);
    return s;
}

}  // namespace

bool Executor5::getAxisStates(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states, bool withPos) {
    const int32_t axisCount = m_sysInfo.axisCount;
    bool wantA = false;
    bool wantB = false;
    for (const AxisSetting& s : settings) {
        if (s.axisNo >= 0 && s.axisNo < axisCount && s.axisNo < 2) wantA = true;
        if (s.axisNo >= 2 && s.axisNo < axisCount) wantB = true;
    }
    m_axisStates.clear();
    if (!wantA && !wantB) {
        states = m_axisStates;
        return false;
    }

    bool anyAnswered = false;
    auto query = [&](uint16_t opcode, int32_t firstAxis) {
        Reply reply;
        auto cmd = makeImmediatePacket(opcode);
        if (!exchangeAccepted(m_transfer, *cmd, reply)) return;
        anyAnswered = true;
        for (const AxisSetting& s : settings) {
            if (s.axisNo != firstAxis && s.axisNo != firstAxis + 1) continue;
            const bool second = s.axisNo == firstAxis + 1;
            m_axisStates.push_back(pairState(s, reply.at(3), second, withPos, reply.be32(second ? 8 : 4)));
        }
    };
    if (wantA) query(op5::kAxisStatesA, 0);
    if (wantB) query(op5::kAxisStatesB, 2);
    states = m_axisStates;
    return anyAnswered;
}
