#include <algorithm>
#include <cstdint>
#include <cstring>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

// Firmware that reads each 16-bit half of the immediate port words byte-swapped.
constexpr uint16_t kSwappedPortsFirmwareA = 0x1579;
constexpr uint16_t kSwappedPortsFirmwareB = 0x1700;

constexpr uint16_t kGpoParNowLen = 16;
constexpr uint16_t kMaxTransmit = 1460;
constexpr uint32_t kTransmitArea = kMaxTransmit + KestCmd::kHeaderLen;

uint32_t portBit(uint32_t port) { return 1u << (port % 32); }

uint32_t swapHalves(uint32_t v) { return ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu); }

// Mask and value words, least significant byte first.
void queuePortWords(Executor& executor, const op7::ListOp& op, uint32_t mask, uint32_t value) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd).le32(4, mask).le32(8, value);
    enqueue(executor, std::move(cmd));
}

// Bytes 4 to 15 of the output-parameter command, the same in its immediate and list forms.
void writeGpoPayload(KestCmd& cmd, const GpoPar& par, double distScale) {
    const bool timed = par.delayMode == 1;
    const uint32_t delay = timed ? par.delay * 1000u : counts::count32(par.delay * distScale);
    PacketWriter(cmd)
        .bit(4, 0, par.enable)
        .bit(4, 1, timed)
        .bit(4, 2, par.level)
        .u8(6, static_cast<uint8_t>(par.port))
        .be32(8, delay)
        .be32(12, par.pulseTime * 1000u);
}

GpoPar pulse(uint32_t port, bool level, uint32_t time) {
    GpoPar par;
    par.enable = true;
    par.port = port;
    par.level = level;
    par.pulseTime = time;
    par.delayMode = 1;
    par.delay = 0;
    return par;
}

}  // namespace

void Executor7::sendMarkInport(uint32_t mask, uint32_t level, uint16_t time, bool flag) {
    auto cmd = makeListPacket(op7::kMarkInport);
    PacketWriter(*cmd).le32(4, mask).le32(8, level).be16(12, time).u8(14, flag ? 1 : 0);
    enqueue(*this, std::move(cmd));
}

bool Executor7::setGpoPar(GpoPar par) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kGpoParNow, kGpoParNowLen);
    writeGpoPayload(*cmd, par, m_distScale);
    return exchange(m_transfer, *cmd, reply);
}

void Executor7::sendGpoPar(GpoPar par) {
    auto cmd = makeListPacket(op7::kGpoPar);
    writeGpoPayload(*cmd, par, m_distScale);
    enqueue(*this, std::move(cmd));
}

bool Executor7::setOutPortStateAll(uint32_t mask, uint32_t value) {
    const uint16_t firmware = m_sysInfo.firmwareVersion();
    if (firmware == kSwappedPortsFirmwareA || firmware == kSwappedPortsFirmwareB) {
        mask = swapHalves(mask);
        value = swapHalves(value);
    }
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kOutPortStateAll);
    PacketWriter(*cmd).le32(4, mask).le32(8, value);
    return exchange(m_transfer, *cmd, reply);
}

void Executor7::sendOutPortStateAll(uint32_t mask, uint32_t value) {
    queuePortWords(*this, op7::kOutPortState, mask, value);
}

bool Executor7::setOutPortState(uint32_t port, bool level, uint32_t time) {
    if (time == 0) return setOutPortStateAll(portBit(port), level ? portBit(port) : 0);
    return setGpoPar(pulse(port, level, time));
}

void Executor7::sendOutPortState(uint32_t port, bool level, uint32_t time) {
    if (time == 0) {
        queuePortWords(*this, op7::kOutPortState, portBit(port), level ? portBit(port) : 0);
    } else {
        sendGpoPar(pulse(port, level, time));
    }
}

void Executor7::sendHardwareBlock(uint32_t port, bool on) {
    queuePortWords(*this, op7::kHardwareBlock, portBit(port), on ? portBit(port) : 0);
}

bool Executor7::setGpiFilter(uint32_t input, uint32_t filter) {
    if (input >= 32) return false;
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kGpiFilter);
    PacketWriter(*cmd).le32(4, portBit(input)).be32(8, filter);
    return exchangeAccepted(m_transfer, *cmd, reply);
}

bool Executor7::setSwitchSweepChannel(bool on) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kSweepChannel);
    PacketWriter(*cmd).bit(4, 0, on);
    return exchangeAccepted(m_transfer, *cmd, reply);
}

// Returns the number of reply data bytes copied, or -1. A reply too short to hold its 4-byte
// header still came from the board, so it counts as an empty answer (0), not a failure; so does
// a call without a reply area.
int Executor7::setDataTransmit(uint8_t* data, uint16_t length, bool flag, uint8_t* reply, uint16_t replyCapacity) {
    if (length > kMaxTransmit || replyCapacity > kMaxTransmit) return -1;
    if (data == nullptr && length > 0) return -1;

    KestCmd cmd(op7::kDataTransmit, false);
    cmd.m_flag = flag ? 1 : 0;
    cmd.resize(length, true);
    PacketWriter(cmd).bytes(KestCmd::kHeaderLen, data, length);

    ReplyBuffer<kTransmitArea> answer;
    if (!exchange(m_transfer, cmd, answer)) return -1;

    const uint32_t received = answer.length();
    if (received < KestCmd::kHeaderLen || reply == nullptr) return 0;
    const uint32_t n = std::min<uint32_t>(received - KestCmd::kHeaderLen, replyCapacity);
    std::memcpy(reply, answer.data() + KestCmd::kHeaderLen, n);
    return static_cast<int>(n);
}
