#include <algorithm>
#include <cmath>
#include <cstdint>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

// The board times everything in periods of its 48 MHz clock.
constexpr double kClockPerKHz = 48000.0;  // counts in one period of 1 kHz
constexpr double kClockPerUs = 48.0;
// Analogue outputs are 12 bits: 100 % is 4095.
constexpr double kLevelPerPercent = 40.95;

bool isFiber(LaserType type) { return type == LASER_TYPE_2 || type == LASER_TYPE_3; }

struct PwmFields {
    bool enable = false;
    bool option = false;
    uint32_t period = 0;
    uint32_t dutyA = 0;
    uint32_t pulse = 0;
    uint32_t dutyB = 0;
};

PwmFields pwmTiming(double frequency, double pulseWidth) {
    PwmFields f;
    f.enable = true;
    f.period = counts::count32(kClockPerKHz / frequency);
    f.pulse = counts::count32(kClockPerUs * pulseWidth);
    return f;
}

// Duty channels are a share of the period count; the board wants them cut, not rounded.
uint32_t dutyCount(uint32_t period, float dutyPercent) {
    const float share = static_cast<float>(period) * dutyPercent;
    return counts::count32(std::trunc(share / 100.0));
}

void queuePwm(Executor& executor, const op7::ListOp& op, const PwmFields& f, bool flag) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd)
        .bit(4, 0, f.enable)
        .bit(4, 2, f.option)
        .bit(4, 3, flag)
        .be32(6, f.period)
        .be32(10, f.dutyA)
        .be32(14, f.pulse)
        .be32(22, f.dutyB);
    enqueue(executor, std::move(cmd));
}

void queueDa(Executor& executor, const op7::ListOp& op, uint16_t level, bool first, bool second) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd)
        .be16(6, counts::count16(level * kLevelPerPercent))
        .bit(10, 0, level != 0)
        .bit(10, 1, first)
        .bit(10, 2, second);
    enqueue(executor, std::move(cmd));
}

// DA and power SISD sets share one layout.
template <typename Para>
void queueSisd16(Executor& executor, const op7::ListOp& op, const Para& para) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd).be16(4, para.value1).be16(6, para.value2).be16(8, para.value3).bit(10, 0, para.flag);
    enqueue(executor, std::move(cmd));
}

void queueSisd32(Executor& executor, const op7::ListOp& op, const PWMSISDPara& para) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd).be32(4, para.value1).be32(8, para.value2).be32(12, para.value3).bit(16, 0, para.flag);
    enqueue(executor, std::move(cmd));
}

}  // namespace

void Executor7::sendPWMSignal(const LaserParam& laser, double frequency, double pulseWidth, bool option, bool flag) {
    const LaserType type = laser.laserType;
    const bool enable =
        (type == LASER_TYPE_0 && laser.pwmEnable0 != 0) || (type == LASER_TYPE_4 && laser.pwmEnable4 != 0) ||
        (type == LASER_TYPE_1 && laser.pwmEnable1 != 0) || (type == LASER_TYPE_6 && laser.pwmEnable6 != 0);
    PwmFields f;
    if (enable) {
        f = pwmTiming(frequency, pulseWidth);
        const bool offTime =
            (type == LASER_TYPE_4 && laser.offTimeMode4 != 0) || (type == LASER_TYPE_1 && laser.offTimeMode1 != 0);
        if (offTime) {
            // The board expects the time the output stays off; keep at least one microsecond of each state.
            const double periodUs = 1000.0 / frequency;
            double offUs = periodUs - pulseWidth;
            if (offUs >= periodUs) {
                offUs = periodUs - 1.0;
            } else if (offUs <= 0.0) {
                offUs = 1.0;
            }
            f.pulse = counts::count32(kClockPerUs * offUs);
        } else if (type == LASER_TYPE_0 && laser.dutySwitch != 0) {
            f.option = option;
            f.dutyA = dutyCount(f.period, laser.dutyA);
            f.dutyB = dutyCount(f.period, laser.dutyB);
        }
    }
    queuePwm(*this, op7::kPWMSignal, f, flag);
}

void Executor7::sendPWM2Signal(const LaserParam& laser, double frequency, double pulseWidth, bool /*option*/,
                               bool flag) {
    PwmFields f;
    if (laser.laserType == LASER_TYPE_6 && laser.pwm2Enable6 != 0) f = pwmTiming(frequency, pulseWidth);
    queuePwm(*this, op7::kPWM2Signal, f, flag);
}

void Executor7::sendDASignal(uint16_t level, bool first, bool second) {
    queueDa(*this, op7::kDASignal, level, first, second);
}

void Executor7::sendDA2Signal(uint16_t level, bool first, bool second) {
    queueDa(*this, op7::kDA2Signal, level, first, second);
}

void Executor7::sendPRRSignal(LaserType type, float frequency, double factor) {
    if (!isFiber(type)) return;
    const uint32_t count = counts::count32(kClockPerKHz / frequency * factor);
    auto cmd = makeListPacket(op7::kPRRSignal);
    PacketWriter(*cmd)
        .be16(4, static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFFu)))
        .be24(6, std::min<uint32_t>(count, 0xFFFFFFu));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendFiberPower(LaserType type, double /*frequency*/, double /*pulseWidth*/, uint16_t power,
                               uint16_t word) {
    if (!isFiber(type)) return;
    // Full scale is 65535, in 32-bit signed arithmetic: the product wraps above 32768 %.
    const auto scaled = static_cast<int32_t>(static_cast<uint32_t>(power) * 65535u);
    const auto powerWord = static_cast<uint16_t>(scaled / 100);
    auto cmd = makeListPacket(op7::kFiberPower);
    PacketWriter(*cmd).be16(4, powerWord).u8(6, 1).be16(8, word);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendMOPALaser(LaserType type, uint16_t value) {
    // The selection is sticky on the board: repeating it only costs list space.
    if (type != LASER_TYPE_3 || value == m_mopaState) return;
    m_mopaState = value;
    auto cmd = makeListPacket(op7::kMOPALaser);
    PacketWriter(*cmd).be16(4, 0xA501).be16(6, value);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendMOSignal(bool on, uint16_t value) {
    auto cmd = makeListPacket(op7::kMOSignal);
    PacketWriter(*cmd).u8(4, on ? 1 : 0).be16(6, value);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendAPSignal(bool on) {
    auto cmd = makeListPacket(op7::kAPSignal);
    PacketWriter(*cmd).u8(4, on ? 1 : 0);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendPreionFPS(const LaserParam& laser) {
    // Always queued, so that a zero payload switches off whatever an earlier lens enabled.
    auto cmd = makeListPacket(op7::kPreionFPS);
    PacketWriter w(*cmd);
    const LaserType type = laser.laserType;
    if (type == LASER_TYPE_0 && laser.preionEnable != 0) {
        w.bit(4, 0, true)
            .be16(6, counts::count16(kClockPerKHz / laser.preionFreq))
            .be16(8, counts::count16(kClockPerUs * laser.preionWidth));
    } else if (type == LASER_TYPE_1 || type == LASER_TYPE_4) {
        const bool one = type == LASER_TYPE_1;
        if ((one ? laser.fpsEnable1 : laser.fpsEnable4) != 0) {
            w.bit(4, 1, true)
                .bit(4, 2, (one ? laser.fpsOption1 : laser.fpsOption4) != 0)
                .be16(10, one ? laser.fpsValue1 : laser.fpsValue4);
        }
    }
    enqueue(*this, std::move(cmd));
}

void Executor7::sendLaserEffectTime(uint16_t time) {
    auto cmd = makeListPacket(op7::kLaserEffectTime);
    PacketWriter(*cmd).be16(4, time);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendDA1SISD(DASISDPara para) { queueSisd16(*this, op7::kDA1SISD, para); }
void Executor7::sendDA2SISD(DASISDPara para) { queueSisd16(*this, op7::kDA2SISD, para); }
void Executor7::sendPowerSISD(PowerSISDPara para) { queueSisd16(*this, op7::kPowerSISD, para); }
void Executor7::sendPWM1SISD(PWMSISDPara para) { queueSisd32(*this, op7::kPWM1SISD, para); }
void Executor7::sendPWM2SISD(PWMSISDPara para) { queueSisd32(*this, op7::kPWM2SISD, para); }
