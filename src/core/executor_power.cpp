#include <cmath>
#include <cstdint>

#include "cmd/counts.h"
#include "executor/core/executor.h"

namespace {

// Curve outputs are rounded in single precision, like the tables they come from.
uint16_t curveOutput(float value) { return counts::count16(std::roundf(value)); }

}  // namespace

uint16_t Executor::calcPower(const float* table, float percent) {
    float p = percent;
    if (p > 100) p = 100;
    if (p < 0) p = 0;
    for (int i = 0; i < 10; ++i) {
        if (static_cast<float>(10 * (i + 1)) < p) continue;
        const auto slope = static_cast<float>((static_cast<double>(table[i + 1]) - table[i]) / 10.0);
        return curveOutput((p - static_cast<float>(10 * i)) * slope + table[i]);
    }
    return 0;  // NaN passes every comparison above
}

uint16_t Executor::calcCurrentPower(const float* table, float current) {
    float c = current;
    if (c > 10) c = 10;
    if (c < 0) c = 0;
    for (int i = 0; i < 10; ++i) {
        if (static_cast<float>(i + 1) < c) continue;
        return curveOutput((table[i + 1] - table[i]) * (c - static_cast<float>(i)) + table[i]);
    }
    return 0;
}

void Executor::setPower(const LaserParam& laser, const PenParam& pen, int16_t power, uint16_t word) {
    const LaserType type = laser.laserType;
    const bool penMode = power < 0;

    uint16_t value = penMode ? static_cast<uint16_t>(pen.power) : static_cast<uint16_t>(power);
    if (type == LASER_TYPE_0) {
        value = calcPower(laser.powerTable0, value);
    } else if (type == LASER_TYPE_2) {
        value = calcPower(laser.powerTable2, value);
    } else if (type == LASER_TYPE_3) {
        value = calcPower(laser.powerTable3, value);
    }

    const double period = 1000.0f / pen.frequency;
    double width = 0.0;
    if (type == LASER_TYPE_0) {
        width = period * value / 100;
    } else if (type == LASER_TYPE_1 || type == LASER_TYPE_4) {
        width = (laser.penWidthSwitch == 0 && penMode) ? pen.pulseWidth : value / 100.0 * period;
        // The source needs an edge in every period and a pulse of at least a microsecond.
        if (width > period || std::fabs(width - period) < 0.001) {
            width = period - 1;
        } else if (width < 1.0) {
            width = 1.0;
        }
    } else if (type == LASER_TYPE_5) {
        width = period * (penMode ? pen.mopaValue : value) / 100;
    } else if (type == LASER_TYPE_6) {
        width = pen.pulseWidth;
    }

    if (type == LASER_TYPE_5) {
        sendSpiPower(value, 0, 1, 0, false);
    } else {
        sendFiberPower(type, pen.frequency, width, value, word);
    }
    sendPWMSignal(laser, pen.frequency, width, penMode, false);

    uint16_t level = 0;
    if (type == LASER_TYPE_0 && laser.daEnable0 != 0) {
        level = calcPower(laser.daTable0, static_cast<float>(penMode ? pen.power : power));
    } else if (type == LASER_TYPE_6 && laser.daEnable6 != 0) {
        level = calcPower(laser.daTable6, static_cast<float>(penMode ? pen.power : power));
    } else if (type == LASER_TYPE_1 && laser.daEnable1 != 0) {
        level = penMode ? calcCurrentPower(laser.daTable1, pen.current) : calcPower(laser.daTable1, power);
    } else if (type == LASER_TYPE_4 && laser.daEnable4 != 0) {
        // A power of 0 falls back to the pen's current here, unlike type 1.
        level = power > 0 ? calcPower(laser.daTable4, power) : calcCurrentPower(laser.daTable4, pen.current);
    }
    sendDASignal(level, false, false);
}

void Executor::sendPenPara(const LaserParam& laser, const PenParam& pen) {
    sendCO2PreionFPS(laser, pen.frequency);
    sendLightOnDelay(pen);
    sendPRRSignal(laser.laserType, pen.frequency, 1.0);
    setPower(laser, pen, -1, pen.powerWord);
    sendMOPALaser(laser.laserType, static_cast<uint16_t>(pen.mopaValue));
}

void Executor::sendMarkPara(const TarnParam& lens, bool redOn, MarkType markType) {
    if (!isEnable()) return;
    sendRedSignal(redOn);
    sendLenPara(lens, redOn, markType);
    sendPortPara(lens.io);
    sendPreionFPS(lens.laser);
    exeCurCmd(false);
}
