#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "executor/platform/param.h"

// 1000 pulses per unit (the defaults): 2 -> 10 units/s is 2000 -> 10000 pulses/s, ramp 8/128 s
// = 62.5 ms, ramp length (2 + 10) * 0.0625 * 0.5 * 1000 = 375.
inline ExtAxisPar axis(int32_t n) {
    ExtAxisPar a;
    a.axisNo = n;
    a.startSpeed = 2;
    a.runSpeed = 10;
    a.acceleration = 128;
    a.maxSpeed = 100;
    return a;
}

// Homes at 4 units/s from 1 (ramp 3/12 s = 250 ms) over 3 * 4 * 1000 = 12000 pulses.
inline ExtAxisPar homingAxis(int32_t n, uint8_t twoStage = 0) {
    ExtAxisPar a = axis(n);
    a.moveMode = 1;
    a.homeEnable = 1;
    a.homeDirection = 1;
    a.homeLevel = 1;
    a.homeTravelFactor = 3;
    a.homeStartSpeed = 1;
    a.homeSpeed = 4;
    a.homeAcceleration = 12;
    a.homeBackSpeed = 2;
    a.twoStageHoming = twoStage;
    return a;
}

inline ExtAxisParArray arrayOf(std::vector<ExtAxisPar> axes) { return ExtAxisParArray{std::move(axes)}; }

// Big-endian fields of a packet.
inline uint32_t be32(const std::vector<uint8_t>& p, size_t o) {
    return static_cast<uint32_t>(p[o] << 24 | p[o + 1] << 16 | p[o + 2] << 8 | p[o + 3]);
}
inline uint16_t be16(const std::vector<uint8_t>& p, size_t o) { return static_cast<uint16_t>(p[o] << 8 | p[o + 1]); }
