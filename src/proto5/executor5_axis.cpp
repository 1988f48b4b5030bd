#include <algorithm>
#include <cstdint>
#include <memory>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/axis_slots.h"
#include "core/list_queue.h"
#include "core/log.h"
#include "proto5/executor5.h"
#include "proto5/opcodes5.h"

namespace {

constexpr uint32_t kAxes = 4;

std::unique_ptr<KestCmd> packet(uint16_t opcode) { return makeImmediatePacket(opcode, op5::kPacketLen); }

void logHomeDisabled() { logError(L"零点没有使能，无法回零"); }
void logUnsupportedAxis() { logError(L"轴ID必须小于4, 因为协议层不支持"); }

// Negative numbers fail too rather than index outside the slots.
bool isAxis(int32_t axisNo) { return static_cast<uint32_t>(axisNo) < kAxes; }

uint16_t trunc16(double value) { return static_cast<uint16_t>(counts::truncInt32(value)); }

// This board takes the homing travel computed wholly in single precision.
uint32_t homingCount(const ExtAxisPar& axis) {
    const float travel = static_cast<float>(axis.homeTravelFactor) * axis.homeSpeed;
    const float pulses = travel * static_cast<float>(axis_slots::ratio(axis));
    return static_cast<uint32_t>(counts::truncInt32(pulses));
}

// The ramp length comes from the speeds as stored, before the speeds packet raises the run
// speed to the start speed or caps it; it wraps instead of saturating.
uint16_t rampLength(const ExtAxisPar& axis) {
    const float rampSeconds = (axis.runSpeed - axis.startSpeed) / axis.acceleration;
    return trunc16(axis_slots::ratio(axis) * ((axis.startSpeed + axis.runSpeed) * rampSeconds * 0.5));
}

std::unique_ptr<KestCmd> countsPacket(uint16_t opcode, const ExtAxisPar* slots, const double* counts,
                                      const bool* directions, bool homing) {
    auto cmd = packet(opcode);
    PacketWriter w(*cmd);
    for (int i = 0; i < axis_slots::kSlots; ++i) {
        const ExtAxisPar& axis = slots[i];
        const auto bit = static_cast<uint8_t>(i);
        const bool invert = axis.dirInvert != 0;
        if (!homing) {
            w.be32(2 + 4 * i, counts::count32(counts[i])).bit(10, bit, directions[i] != invert);
            continue;
        }
        const bool slotHoming = axis.moveMode == 1;
        if (slotHoming) w.be32(2 + 4 * i, homingCount(axis));
        w.bit(10, bit, (axis.homeDirection != 0) != invert)
            .bit(11, bit, slotHoming)
            .bit(11, static_cast<uint8_t>(2 + i), axis.homeLevel == 1);
    }
    return cmd;
}

std::unique_ptr<KestCmd> speedsPacket(uint16_t opcode, const ExtAxisPar* slots, bool homing) {
    auto cmd = packet(opcode);
    PacketWriter w(*cmd);
    for (int i = 0; i < axis_slots::kSlots; ++i) {
        const double ratio = axis_slots::ratio(slots[i]);
        const axis_slots::Profile p = axis_slots::profile(slots[i], homing);
        const int at = 2 + 5 * i;
        w.be16(at, axis_slots::cap16(p.lo * ratio))
            .be16(at + 2, axis_slots::cap16(p.hi * ratio))
            .u8(at + 4, p.rampByte);
    }
    return cmd;
}

}  // namespace

bool Executor5::sendAxisCounts(const ExtAxisPar* slots, const double* counts, const bool* directions, bool homing) {
    return enqueue(*this, countsPacket(op5::kAxisCounts, slots, counts, directions, homing));
}

bool Executor5::sendAxisSpeeds(const ExtAxisPar* slots, bool homing) {
    return enqueue(*this, speedsPacket(op5::kAxisSpeeds, slots, homing));
}

bool Executor5::sendAxisRampLengths(const ExtAxisPar* slots, bool homing) {
    auto cmd = packet(op5::kAxisRamps);
    if (!homing) PacketWriter(*cmd).be16(2, rampLength(slots[0])).be16(4, rampLength(slots[1]));
    return enqueue(*this, std::move(cmd));
}

bool Executor5::sendAxisStart() { return enqueue(*this, packet(op5::kAxisStart)); }

bool Executor5::sendAxisCounts2(const ExtAxisPar* slots, const double* counts, const bool* directions, bool homing) {
    return enqueue(*this, countsPacket(op5::kAxisCounts2, slots, counts, directions, homing));
}

bool Executor5::sendAxisSpeeds2(const ExtAxisPar* slots, bool homing) {
    return enqueue(*this, speedsPacket(op5::kAxisSpeeds2, slots, homing));
}

bool Executor5::sendAxisPairSelect(bool select) {
    auto cmd = packet(op5::kAxisPairSelect);
    PacketWriter(*cmd).u8(2, select ? 1 : 0);
    return enqueue(*this, std::move(cmd));
}

void Executor5::moveAxisPair(bool secondPair, axis_slots::Slots slots, bool homing, unsigned stageSlots) {
    auto queue = [&](bool h, bool withRamps) {
        if (secondPair) {
            sendAxisCounts2(slots.par, slots.count, slots.direction, h);
        } else {
            sendAxisCounts(slots.par, slots.count, slots.direction, h);
        }
        if (withRamps) sendAxisRampLengths(slots.par, h);
        if (secondPair) {
            sendAxisSpeeds2(slots.par, h);
        } else {
            sendAxisSpeeds(slots.par, h);
        }
        sendAxisStart();
    };

    if (secondPair) sendAxisPairSelect(true);
    queue(homing, true);
    if (stageSlots == 0) return;
    const axis_slots::Slots original = slots;
    auto staged = [stageSlots](int i) { return (stageSlots >> i & 1u) != 0; };
    for (int i = 0; i < axis_slots::kSlots; ++i)
        if (staged(i)) axis_slots::backOff(slots.par[i]);
    queue(true, true);
    for (int i = 0; i < axis_slots::kSlots; ++i)
        if (staged(i)) axis_slots::invertHomeLevel(slots.par[i]);
    queue(true, true);
    for (int i = 0; i < axis_slots::kSlots; ++i)
        if (staged(i)) axis_slots::slowApproach(slots.par[i], original.par[i]);
    queue(true, false);  // homing ramp lengths are 0: the board still holds them
}

bool Executor5::sendAxisMovePulse(const ExtAxisPar& axis, int count, bool direction) {
    const double c = axis_slots::scaledCount(axis, count);
    const bool homing = axis.moveMode == 1;
    if (homing && axis.homeEnable == 0) {
        logHomeDisabled();
        return false;
    }
    if (!isAxis(axis.id())) {
        logUnsupportedAxis();
        return false;
    }
    const int slot = axis.id() % axis_slots::kSlots;
    axis_slots::Slots slots;
    slots.par[slot] = axis;
    slots.count[slot] = c;
    slots.direction[slot] = direction;
    const unsigned stageSlots = homing && axis.twoStageHoming != 0 ? 1u << slot : 0u;
    moveAxisPair(axis.id() >= axis_slots::kSlots, slots, homing, stageSlots);
    return true;
}

bool Executor5::sendAxisMovePulse(const ExtAxisParArray& axes, std::vector<int> counts, std::vector<bool> directions) {
    if (axes.count() != counts.size() || axes.count() != directions.size() || axes.count() > kAxes) return false;
    constexpr int kPairs = 2;
    axis_slots::Slots pairs[kPairs];
    bool present[kPairs] = {false, false};
    bool homing[kPairs] = {false, false};
    bool twoStage[kPairs] = {false, false};
    for (size_t i = 0; i < axes.count(); ++i) {
        const ExtAxisPar& axis = axes[i];
        if (!isAxis(axis.id())) {
            logUnsupportedAxis();
            continue;
        }
        const int pair = axis.id() / axis_slots::kSlots;
        const int slot = axis.id() % axis_slots::kSlots;
        present[pair] = true;
        // The last element of a pair decides whether the pair homes.
        homing[pair] = axis.moveMode == 1;
        if (homing[pair]) {
            twoStage[pair] = axis.twoStageHoming != 0;
            if (axis.homeEnable == 0) {
                logHomeDisabled();
                return false;
            }
        }
        pairs[pair].par[slot] = axis;
        pairs[pair].count[slot] = axis_slots::scaledCount(axis, counts[i]);
        pairs[pair].direction[slot] = directions[i];
    }
    for (int pair = 0; pair < kPairs; ++pair)
        if (present[pair]) moveAxisPair(pair == 1, pairs[pair], homing[pair], twoStage[pair] ? 3u : 0u);
    return true;
}

void Executor5::sendMovePulse(AxisID axis, bool homing, bool homeLevel, uint32_t pulses, bool direction,
                              float startSpeed, float runSpeed, uint16_t rampTime) {
    auto countsCmd = packet(op5::kAxisCounts);
    auto speedsCmd = packet(op5::kAxisSpeeds);
    auto rampsCmd = packet(op5::kAxisRamps);
    if (axis == AXIS_ID_0 || axis == AXIS_ID_1) {
        const auto i = static_cast<uint8_t>(axis);
        PacketWriter(*countsCmd)
            .be32(2 + 4 * i, counts::count32(pulses))
            .bit(10, i, direction)
            .bit(11, i, homing)
            .bit(11, static_cast<uint8_t>(2 + i), homing && homeLevel);
        PacketWriter(*speedsCmd)
            .be16(2 + 5 * i, trunc16(startSpeed))
            .be16(4 + 5 * i, trunc16(runSpeed))
            .u8(6 + 5 * i, static_cast<uint8_t>(std::min<uint16_t>(rampTime, 255)));
        PacketWriter(*rampsCmd).be16(2 + 2 * i, trunc16((startSpeed + runSpeed) * (rampTime / 1000.0) * 0.5));
    }
    enqueue(*this, std::move(countsCmd));
    enqueue(*this, std::move(speedsCmd));
    enqueue(*this, std::move(rampsCmd));
    sendAxisStart();
}
