#include <cstdint>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/axis_slots.h"
#include "core/list_queue.h"
#include "core/log.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

void logUnsupportedAxis() { logError(L"不支持的轴ID"); }

bool isSlot(int32_t axisNo) { return static_cast<uint32_t>(axisNo) <= 1; }

// Sends the slots again after each stage of two-stage homing; stops at the first failure.
template <typename Send>
bool twoStageHoming(axis_slots::Slots& slots, const bool* stageSlot, Send send) {
    const axis_slots::Slots original = slots;
    for (int i = 0; i < axis_slots::kSlots; ++i)
        if (stageSlot[i]) axis_slots::backOff(slots.par[i]);
    if (!send(slots)) return false;
    for (int i = 0; i < axis_slots::kSlots; ++i)
        if (stageSlot[i]) axis_slots::invertHomeLevel(slots.par[i]);
    if (!send(slots)) return false;
    for (int i = 0; i < axis_slots::kSlots; ++i)
        if (stageSlot[i]) axis_slots::slowApproach(slots.par[i], original.par[i]);
    return send(slots);
}

}  // namespace

bool Executor7::sendAxisMovePulse(const ExtAxisPar& axis, int count, bool direction) {
    axis_slots::Slots slots;
    const double c = axis_slots::scaledCount(axis, count);
    if (!isSlot(axis.id())) {
        logUnsupportedAxis();
        return false;
    }
    const int n = axis.id();
    slots.par[n] = axis;
    slots.count[n] = c;
    slots.direction[n] = direction;
    auto send = [this](const axis_slots::Slots& s) { return sendAxis_03A0(s.par, s.count, s.direction); };
    if (!send(slots)) return false;
    if (axis.twoStageHoming == 0 || axis.moveMode != 1) return true;
    const bool stageSlot[axis_slots::kSlots] = {n == 0, n == 1};
    return twoStageHoming(slots, stageSlot, send);
}

bool Executor7::sendAxisMovePulse(const ExtAxisParArray& axes, std::vector<int> counts, std::vector<bool> directions) {
    if (axes.count() != counts.size() || axes.count() != directions.size() || axes.count() > 2) return false;
    axis_slots::Slots slots;
    bool anyAxis = false;
    bool twoStage = false;
    for (size_t i = 0; i < axes.count(); ++i) {
        const ExtAxisPar& axis = axes[i];
        if (!isSlot(axis.id())) {
            logUnsupportedAxis();
            continue;
        }
        anyAxis = true;
        if (axis.moveMode == 1) {
            if (axis.homeEnable == 0) {
                logError(L"零点没有使能，无法回零");
                return false;
            }
            twoStage = axis.twoStageHoming != 0;
        }
        const int n = axis.id();
        slots.par[n] = axis;
        slots.count[n] = axis_slots::scaledCount(axis, counts[i]);
        slots.direction[n] = directions[i];
    }
    if (!anyAxis) return true;
    auto send = [this](const axis_slots::Slots& s) { return sendAxis_03A0(s.par, s.count, s.direction); };
    if (!send(slots)) return false;
    if (!twoStage) return true;
    const bool bothSlots[axis_slots::kSlots] = {true, true};
    return twoStageHoming(slots, bothSlots, send);
}

bool Executor7::sendAxis_03A0(const ExtAxisPar* slots, const double* counts, const bool* directions) {
    bool homing[axis_slots::kSlots];
    for (int i = 0; i < axis_slots::kSlots; ++i) {
        homing[i] = slots[i].moveMode == 1;
        if (homing[i] && slots[i].homeEnable == 0) {
            Logger(Logger::kError, kLogTag).write(i).write(L"轴零点没有使能，无法回零");
            return false;
        }
    }

    auto cmd = makeListPacket(op7::kAxisMove);
    PacketWriter w(*cmd);
    for (int i = 0; i < axis_slots::kSlots; ++i) {
        const ExtAxisPar& axis = slots[i];
        const bool invert = axis.dirInvert != 0;
        const bool dir = homing[i] ? (invert != (axis.homeDirection != 0)) : (directions[i] != invert);
        const double ratio = axis_slots::ratio(axis);
        const uint32_t count = homing[i] ? static_cast<uint32_t>(counts::truncInt32(axis_slots::homingCount(axis)))
                                         : static_cast<uint32_t>(counts::toCount(counts[i]));
        const axis_slots::Profile p = axis_slots::profile(axis, homing[i]);
        const double rampLength = (p.lo + p.hi) * p.rampSeconds * 0.5 * ratio;

        const uint8_t slotBit = static_cast<uint8_t>(i);
        w.bit(4, slotBit, dir).bit(4, static_cast<uint8_t>(2 + i), homing[i]).bit(5, slotBit, axis.homeLevel == 1);
        w.be32(6 + 4 * i, count);
        const int speeds = i == 0 ? 14 : 19;
        w.be16(speeds, axis_slots::cap16(p.lo * ratio))
            .be16(speeds + 2, axis_slots::cap16(p.hi * ratio))
            .u8(speeds + 4, p.rampByte);
        w.be16(24 + 2 * i, axis_slots::cap16(rampLength));
    }
    enqueue(*this, std::move(cmd));
    return true;
}

void Executor7::sendMovePulse(AxisID axis, bool homing, bool homeLevel, uint32_t pulses, bool direction,
                              float startSpeed, float runSpeed, uint16_t rampTime) {
    auto cmd = makeListPacket(op7::kAxisMove);
    if (axis == AXIS_ID_0 || axis == AXIS_ID_1) {
        const int i = axis;
        const int speeds = i == 0 ? 14 : 19;
        const double rampLength = (startSpeed + runSpeed) * (rampTime / 1000.0) * 0.5;
        PacketWriter(*cmd)
            .bit(4, static_cast<uint8_t>(i), direction)
            .bit(4, static_cast<uint8_t>(2 + i), homing)
            .bit(5, static_cast<uint8_t>(i), homeLevel)
            .be32(6 + 4 * i, static_cast<uint32_t>(counts::toCount(pulses)))
            .be16(speeds, static_cast<uint16_t>(counts::truncInt32(startSpeed)))
            .be16(speeds + 2, static_cast<uint16_t>(counts::truncInt32(runSpeed)))
            .u8(speeds + 4, static_cast<uint8_t>(rampTime > 255 ? 255 : rampTime))
            .be16(24 + 2 * i, static_cast<uint16_t>(counts::truncInt32(rampLength)));
    }
    enqueue(*this, std::move(cmd));
}

void Executor7::sendAxis_03B1(int axis, uint32_t valueA, bool flagA, bool useX, bool flagB,
                              Point2dConcept<int> devPoint, uint32_t valueB) {
    auto cmd = makeListPacket(op7::kAxis03B1);
    PacketWriter(*cmd)
        .be24(4, valueB)
        .be24(9, static_cast<uint32_t>(useX ? devPoint.x : devPoint.y))
        .bit(12, 0, !useX)
        .bit(12, 2, true)
        .bit(12, 7, flagB)
        .u8(13, static_cast<uint8_t>(axis * 16 + (flagA ? 1 : 0)))
        .be32(14, valueA);
    enqueue(*this, std::move(cmd));
}
