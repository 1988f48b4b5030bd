#include <cstdint>
#include <type_traits>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/axis_slots.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

using axis_slots::kPositionOrigin;
// Linkage times are sent in periods of the 48 MHz clock (20.8333 ns).
constexpr double kClockPeriodNs = 20.8333;
constexpr int kMotionAxes = 8;

uint8_t axisBit(int32_t axisNo) { return static_cast<uint8_t>(1u << ((axisNo + 2) & 31)); }

double ratioOf(const AxisSetting& axis) { return static_cast<float>(axis.pulsesPerTurn) / axis.travelPerTurn; }

uint32_t units(double value) { return static_cast<uint32_t>(counts::truncInt32(value)); }

// Bit i of the byte is element i of the array.
uint8_t bitsOf(const bool (&flags)[kMotionAxes]) {
    uint8_t byte = 0;
    for (int i = 0; i < kMotionAxes; ++i)
        if (flags[i]) byte = static_cast<uint8_t>(byte | (1u << i));
    return byte;
}

int32_t positionOf(uint32_t raw, bool invert) {
    return invert ? static_cast<int32_t>(raw - kPositionOrigin) : static_cast<int32_t>(kPositionOrigin - raw);
}

// Status flags of one axis: bits 0 to 4 inverted, bit 7 as is.
AxisState stateOf(int32_t axisNo, uint8_t status, bool readPosition, uint32_t raw, bool invert) {
    AxisState s;
    s.axisNo = axisNo;
    s.flag0 = (status & 0x01) ? 0 : 1;
    s.flag1 = (status & 0x02) ? 0 : 1;
    s.flag2 = (status & 0x04) ? 0 : 1;
    s.flag3 = (status & 0x08) ? 0 : 1;
    s.flag4 = (status & 0x10) ? 0 : 1;
    s.flag5 = (status & 0x80) ? 1 : 0;
    s.rawPosition = readPosition ? raw : kPositionOrigin;
    s.position = readPosition ? positionOf(raw, invert) : 0;
    return s;
}

// Four targets and their flags; the return-to-zero form adds the four mode bits.
template <typename Param>
void queueLinkage(Executor& e, const op7::ListOp& op, const Param (&axes)[4]) {
    auto cmd = makeListPacket(op);
    PacketWriter w(*cmd);
    for (int i = 0; i < 4; ++i) {
        const uint8_t bit = static_cast<uint8_t>(i);
        w.be32(4 + 4 * i, static_cast<uint32_t>(axes[i].target)).bit(20, bit, axes[i].flag);
        if constexpr (std::is_same<Param, AxisMoveZeroParam>::value) w.bit(21, bit, axes[i].mode == 1);
    }
    enqueue(e, std::move(cmd));
}

}  // namespace

void Executor7::sendMotionAxisSetPar(const AxisSetting& axis) {
    const double ratio = ratioOf(axis);
    auto cmd = makeListPacket(op7::kMotionAxisSetPar);
    PacketWriter(*cmd)
        .u8(4, axisBit(axis.axisNo))
        .u8(5, axis.modeFlag == 1 ? 1 : 0)
        .be24(10, units(axis.motionValue2 * ratio))
        .be24(13, units(axis.motionValue1 * ratio))
        .be24(16, units(axis.motionValue3 * ratio));
    enqueue(*this, std::move(cmd));
}

namespace {

void queueMotionMove(Executor& e, const op7::ListOp& op, const AxisSetting& axis, int32_t count, uint32_t a, uint32_t b,
                     uint32_t c, uint32_t d, bool reverse) {
    int64_t v = reverse ? -static_cast<int64_t>(count) : count;
    if (axis.dirInvert != 0) v = -v;
    const uint8_t direction = v < -0.000001 ? 0x80 : 0x00;
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd)
        .u8(4, static_cast<uint8_t>(axisBit(axis.axisNo) | direction))
        .be24(5, static_cast<uint32_t>(v < 0 ? -v : v))
        .be24(8, a)
        .be24(11, b)
        .be24(14, d)  // d before c, as the board reads them
        .be24(17, c);
    enqueue(e, std::move(cmd));
}

}  // namespace

void Executor7::sendMotionAxisJoinMove(const AxisSetting& axis, int32_t count, uint32_t a, uint32_t b, uint32_t c,
                                       uint32_t d, bool reverse) {
    queueMotionMove(*this, op7::kMotionAxisJoinMove, axis, count, a, b, c, d, reverse);
}

void Executor7::sendMotionAxisAloneMove(const AxisSetting& axis, int32_t count, uint32_t a, uint32_t b, uint32_t c,
                                        uint32_t d, bool reverse) {
    queueMotionMove(*this, op7::kMotionAxisAloneMove, axis, count, a, b, c, d, reverse);
}

void Executor7::sendMotionAxisRcvFlag(bool flag) {
    auto cmd = makeListPacket(op7::kMotionAxisRcvFlag);
    PacketWriter(*cmd).bit(4, 0, flag);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendMotionAxisJoinEnergy(uint32_t e1, uint32_t e2, uint32_t e3, uint8_t e4, uint32_t e5) {
    auto cmd = makeListPacket(op7::kMotionAxisJoinEnergy);
    PacketWriter(*cmd).be24(4, e1).be24(7, e2).be24(10, e3).u8(13, e4).be24(14, e5);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendMotionAxisRunFlag(bool r1, bool r2, uint8_t r3) {
    auto cmd = makeListPacket(op7::kMotionAxisRunFlag);
    PacketWriter(*cmd).u8(4, static_cast<uint8_t>((r1 ? 1 : 0) | (r2 ? 2 : 0) | ((r3 & 31) << 2)));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendAxisLinkageXYZR(AxisMoveParam x, AxisMoveParam y, AxisMoveParam z, AxisMoveParam r) {
    queueLinkage(*this, op7::kAxisLinkageXYZR, {x, y, z, r});
}

void Executor7::sendAxisLinkageABCD(AxisMoveParam a, AxisMoveParam b, AxisMoveParam c, AxisMoveParam d) {
    queueLinkage(*this, op7::kAxisLinkageABCD, {a, b, c, d});
}

void Executor7::sendAxisLinkageXYZRToZero(AxisMoveZeroParam x, AxisMoveZeroParam y, AxisMoveZeroParam z,
                                          AxisMoveZeroParam r) {
    queueLinkage(*this, op7::kAxisLinkageXYZRToZero, {x, y, z, r});
}

void Executor7::sendAxisLinkageABCDToZero(AxisMoveZeroParam a, AxisMoveZeroParam b, AxisMoveZeroParam c,
                                          AxisMoveZeroParam d) {
    queueLinkage(*this, op7::kAxisLinkageABCDToZero, {a, b, c, d});
}

void Executor7::sendAxisLinkageParam(AxisLinkageParam para) {
    auto cmd = makeListPacket(op7::kAxisLinkageParam);
    PacketWriter(*cmd)
        .be32(4, units(para.time / kClockPeriodNs))
        .bit(8, 0, para.option1)
        .bit(8, 1, para.option2)
        .bit(8, 2, para.option3)
        .be16(10, para.value1)
        .be16(12, para.value2);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendAxisLinkageToZeroTime(uint32_t time) {
    auto cmd = makeListPacket(op7::kAxisLinkageToZeroTime);
    PacketWriter(*cmd).be32(4, units(time / kClockPeriodNs));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendEnableAxis(AxisEnableParam para) {
    auto cmd = makeListPacket(op7::kEnableAxis);
    PacketWriter(*cmd).u8(4, bitsOf(para.first)).u8(6, bitsOf(para.second));
    enqueue(*this, std::move(cmd));
}

namespace {

template <typename Fill>
bool axisCommand(Transfer* transfer, uint16_t opcode, Fill fill, uint16_t length = KestCmd::kImmediateLen) {
    Reply reply;
    auto cmd = makeImmediatePacket(opcode, length);
    PacketWriter w(*cmd);
    fill(w);
    return exchangeAccepted(transfer, *cmd, reply);
}

}  // namespace

bool Executor7::setClearAxisPulse(AxisClearParam para) {
    return axisCommand(m_transfer, op7::kClearAxisPulse, [&](PacketWriter& w) { w.u8(4, bitsOf(para.clear)); });
}

bool Executor7::setAxisLinkageStopParam(AxisStopParam para) {
    return axisCommand(
        m_transfer, op7::kAxisLinkageStopParam,
        [&](PacketWriter& w) {
            for (int i = 0; i < 8; ++i) w.be16(6 + 2 * i, para.values[i]);
        },
        22);
}

bool Executor7::setAxisLinkageStop() {
    return axisCommand(m_transfer, op7::kAxisLinkageStop, [](PacketWriter&) {});
}

bool Executor7::setAxisConfig(AxisConfigParam para) {
    return axisCommand(m_transfer, op7::kAxisConfig, [&](PacketWriter& w) {
        for (int k = 0; k < 4; ++k) w.u8(4 + k, bitsOf(para.config[k]));
    });
}

bool Executor7::setEnableAxis(AxisEnableParam para) {
    return axisCommand(m_transfer, op7::kEnableAxisNow,
                       [&](PacketWriter& w) { w.u8(4, bitsOf(para.first)).u8(6, bitsOf(para.second)); });
}

bool Executor7::setHandwheelParam(bool enable, uint32_t value) {
    return axisCommand(m_transfer, op7::kHandwheelParam, [&](PacketWriter& w) { w.bit(4, 0, enable).be32(5, value); });
}

bool Executor7::getAxisStatesEx(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states,
                                bool readPositions) {
    if (!isEnable()) return false;
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kAxisStatesEx);
    if (!exchangeAccepted(m_transfer, *cmd, reply)) return false;
    states.clear();
    for (const AxisSetting& setting : settings) {
        const int32_t n = setting.axisNo;
        if (n < 0 || n >= kMotionAxes) continue;
        const uint32_t base = 4 + 5 * static_cast<uint32_t>(n);
        states.push_back(stateOf(n, reply.at(base), readPositions, reply.be32(base + 1), setting.dirInvert != 0));
    }
    return true;
}

bool Executor7::getAxisStates(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states,
                              bool readPositions) {
    DevExtState ext;
    if (!getDevExtState(ext, true)) return false;
    m_axisStates.clear();
    for (const AxisSetting& setting : settings) {
        const int32_t n = setting.axisNo;
        // The extended status holds positions for three axes whatever the board's axis count says.
        if (n < 0 || n >= m_sysInfo.axisCount || n >= 3) continue;
        // Only four status bits per axis: flag 4 reads as set and flag 5 as clear.
        m_axisStates.push_back(stateOf(n, static_cast<uint8_t>(ext.axisState[n] & 0x0F), readPositions,
                                       ext.groupA[n + 1], setting.dirInvert != 0));
    }
    states = m_axisStates;
    return true;
}
