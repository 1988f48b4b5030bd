#include <cmath>
#include <cstdint>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

constexpr uint8_t kMaxBitmapDots = 80;  // the 10-byte mask

// The 6-byte packets: one switch byte, or nothing at all for the counter clears.
void queueSwitch(Executor& executor, const op7::ListOp& op, bool on) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd).u8(4, on ? 1 : 0);
    enqueue(executor, std::move(cmd));
}

// A trigger value: a time in thousandths when the mode is 2, else a distance in device units.
// The time is scaled and rounded in single precision: 0.0025f gives 3, not 2.
uint32_t triggerValue(int32_t mode, float distance, float time, double scale) {
    if (mode == 0) return 0;
    if (mode == 2) {
        const float scaled = time * 1000.0f;
        return counts::count32(std::roundf(scaled));
    }
    return counts::count32(distance * scale);
}

}  // namespace

void Executor7::sendStartFlyMark(bool on) { queueSwitch(*this, op7::kStartFlyMark, on); }

void Executor7::sendBitmapMode(bool on) { queueSwitch(*this, op7::kBitmapMode, on); }

void Executor7::sendDelayDistanceClear() { queueSwitch(*this, op7::kDelayDistanceClear, false); }

void Executor7::sendDelayTimeClear() { queueSwitch(*this, op7::kDelayTimeClear, false); }

void Executor7::sendBoundaryLength(uint32_t length) {
    auto cmd = makeListPacket(op7::kBoundaryLength);
    PacketWriter(*cmd).be24(4, length);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendEncoderParam(const FlyParam& fly) {
    // Anything but encoder 1 falls back to encoder 0.
    const uint32_t s = static_cast<uint32_t>(fly.encoderSelect) <= 1 ? static_cast<uint32_t>(fly.encoderSelect) : 0;
    // Device units per encoder pulse in 16.16 fixed point; the step is in micrometres.
    const double unitsPerPulse = fly.encoderStep[s] / 1000.0 * m_distScale * 65536.0;
    const double speedWord = fly.flySpeed * m_distScale * 32768.0 * 1000.0 / 120000000.0;

    auto cmd = makeListPacket(op7::kEncoderParam);
    PacketWriter(*cmd)
        .be32(4, counts::count32(unitsPerPulse))
        .u8(8, static_cast<uint8_t>(s + 1))
        .bit(10, 0, fly.encoderEnable != 0)
        .bit(10, 1, fly.encoderOption1[s] != 0)
        .bit(10, 2, fly.encoderOption2[s] != 0)
        .be32(11, counts::count32(speedWord));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendTriggerParam(const FlyParam& fly) {
    const uint32_t a = triggerValue(fly.triggerAMode, fly.triggerADistance, fly.triggerATime, m_distScale);
    const uint32_t b = triggerValue(fly.triggerBMode, fly.triggerBDistance, fly.triggerBTime, m_distScale);

    auto cmd = makeListPacket(op7::kTriggerParam);
    PacketWriter(*cmd)
        .bit(4, 0, fly.triggerAMode != 0)
        .bit(4, 1, fly.triggerAMode == 2)
        .bit(4, 2, fly.triggerBMode != 0)
        .bit(4, 3, fly.triggerBMode == 2)
        .bit(4, 4, fly.triggerFlag != 0)
        .be24(5, a)
        .be32(8, b)
        .be32(12, counts::count32(fly.triggerDistance * m_distScale));
    enqueue(*this, std::move(cmd));
}

bool Executor7::setWatchDog(bool on, uint16_t time) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kWatchDog);
    PacketWriter(*cmd).u8(4, on ? 1 : 0).be16(6, time);
    // The board's answer carries nothing to judge.
    return exchange(m_transfer, *cmd, reply);
}

void Executor7::sendDelayDistanceWait(float distance1, float distance2) {
    auto cmd = makeListPacket(op7::kDelayDistanceWait);
    PacketWriter(*cmd)
        .be32(4, counts::count32(distance1 * m_distScale))
        .be32(8, counts::count32(distance2 * m_distScale));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendDelayTimeWait(uint32_t time) {
    auto cmd = makeListPacket(op7::kDelayTimeWait);
    PacketWriter(*cmd).be32(4, time * 1000u);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendBitmapLight(const uint8_t* dots, uint8_t count) {
    if (count > kMaxBitmapDots || (dots == nullptr && count > 0)) return;
    auto cmd = makeListPacket(op7::kBitmapLight);
    PacketWriter writer(*cmd);
    for (uint8_t i = 0; i < count; ++i) writer.bit(4 + i / 8, static_cast<uint8_t>(i % 8), dots[i] != 0);
    enqueue(*this, std::move(cmd));
}
