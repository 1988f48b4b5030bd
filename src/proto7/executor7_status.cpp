#include <algorithm>
#include <mutex>

#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

// Firmware that sends the output word least significant byte first.
constexpr uint16_t kSwappedOutputsFirmware = 0x1700;

void decodeBaseState(const Reply& r, uint16_t firmware, DevBaseState& s) {
    const uint8_t flags = r.at(5);
    s.workState = r.at(4);
    s.offline = (flags & 0x01) != 0;
    s.flashState = (flags & 0x02) != 0;
    s.statusBit2 = (flags & 0x04) != 0;
    s.statusBit3 = (flags & 0x08) != 0;
    s.statusBit4 = (flags & 0x10) != 0;
    s.statusBit5 = (flags & 0x20) != 0;
    s.statusBit6 = (flags & 0x40) != 0;
    s.status6 = r.at(6);
    s.status8 = r.be16(8);
    s.finished = (r.at(12) & 0x01) != 0;
    s.status12Bit1 = (r.at(12) & 0x02) != 0;
    s.freeCacheKb = r.be24(13);
    s.inputs = r.be32(16);
    s.outputs = r.be32(20);
    if (firmware == kSwappedOutputsFirmware) {
        const uint32_t v = s.outputs;
        s.outputs = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }
    s.status24 = r.be16(24);
    s.status26 = r.be16(26);
    s.markCount = r.be16(28);
    s.status30 = r.be16(30);
}

void decodeExtState(const Reply& r, DevExtState& s) {
    s.ext0 = r.be32(4);
    s.ext1 = r.be32(8);
    for (uint32_t i = 1; i <= 3; ++i) {
        s.groupA[i] = r.be32(12 + 4 * (i - 1));
        s.groupB[i] = r.be32(28 + 4 * (i - 1));
    }
    s.axisState[0] = r.at(40) & 0x0F;
    s.axisState[1] = r.at(40) >> 4;
    s.axisState[2] = r.at(41) & 0x0F;
    s.laserState = r.at(42) & 0x3F;
    s.laserState2 = r.at(42) >> 6;
    s.ext46 = r.at(43);
}

}  // namespace

bool Executor7::getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& /*subType*/, DevSysInfo& info) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kDevType);
    if (!exchangeAccepted(m_transfer, *cmd, reply)) return false;
    info.verHigh = reply.at(4);
    info.verLow = reply.at(5);
    for (uint32_t i = 0; i < 4; ++i) {
        info.versionA[i] = reply.at(38 + i);
        info.fpgaVersion[i] = reply.at(42 + i);
    }
    info.info88 = reply.be16(46);
    info.info90 = reply.be16(48);
    info.info92 = reply.at(50);
    info.info94 = reply.at(51);
    type = BOARD_TYPE_PROTOCOL7;
    return true;
}

BoardMode Executor7::getBoardMode() {
    if (isVirtual()) return BOARD_MODE_APPLICATION;
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kBoardMode);
    if (!exchange(m_transfer, *cmd, reply)) return BOARD_MODE_NO_ANSWER;
    // Byte 2 carries the mode bit here, not a status.
    return (reply.at(2) & 0x04) != 0 ? BOARD_MODE_APPLICATION : BOARD_MODE_FACTORY;
}

bool Executor7::getDevHeartState(uint16_t& counter, bool& alive) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kHeartbeat);
    PacketWriter(*cmd).u8(4, static_cast<uint8_t>(counter)).u8(5, static_cast<uint8_t>(counter >> 8));
    if (!exchangeAccepted(m_transfer, *cmd, reply)) return false;
    const uint16_t answered = reply.le16(4);
    // Compared without 16-bit wrap: a sent 65535 is never answered alive.
    alive = static_cast<uint32_t>(answered) == static_cast<uint32_t>(counter) + 1;
    counter = answered;
    return true;
}

bool Executor7::getDevState(DevBaseState& state, bool refresh) {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    if (isVirtual()) {
        m_devState.valid = true;
        state = m_devState;
        return true;
    }
    if (!refresh || !isEnable()) {
        state = m_devState;
        return true;
    }
    // The transport orders the exchanges; the lock only covers the record.
    lock.unlock();
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kDevState);
    const bool ok = exchangeAccepted(m_transfer, *cmd, reply);
    lock.lock();
    if (!ok) {
        m_devState.valid = false;
        state = m_devState;
        return false;
    }
    decodeBaseState(reply, m_sysInfo.firmwareVersion(), m_devState);
    m_devState.valid = true;
    state = m_devState;
    return true;
}

bool Executor7::getDevExtState(DevExtState& state, bool refresh) {
    const bool fetch = refresh && isEnable();
    bool ok = true;
    Reply reply;
    if (fetch) {
        auto cmd = makeImmediatePacket(op7::kDevExtState);
        ok = exchangeAccepted(m_transfer, *cmd, reply);
    }
    std::lock_guard<std::mutex> lock(m_stateMutex);
    if (fetch && ok) decodeExtState(reply, m_devExtState);
    state = m_devExtState;
    return ok;
}
