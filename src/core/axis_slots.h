#pragma once

#include <cstdint>

#include "executor/platform/param.h"

// Axis moves of both protocols carry two axis slots per packet. These helpers hold the slot
// arithmetic that both share: count scaling, pulses per unit, the speed profile and the
// stages of two-stage homing.
namespace axis_slots {

constexpr int kSlots = 2;

// Boards of both protocols (and the simulated one) count raw axis positions from this value.
constexpr uint32_t kPositionOrigin = 0x40000000;

// Two slots as one call fills them; unused slots keep default parameters and count 0.
struct Slots {
    ExtAxisPar par[kSlots];
    double count[kSlots] = {0.0, 0.0};
    bool direction[kSlots] = {false, false};

    Slots() {
        par[0].homeTravelFactor = 0;
        par[1].homeTravelFactor = 0;
    }
};

// The requested count, scaled when the axis asks for it, and at least one pulse: the direction
// comes from its own flag, never from the sign.
double scaledCount(const ExtAxisPar& axis, int count);

// Pulses per unit of travel, in single precision as the axis stores it.
double ratio(const ExtAxisPar& axis);

// Trapezoidal profile in units per second: start speed lo, run speed hi (at least lo, but
// never above the maximum speed), ramp time in seconds and as the board's ramp byte (ms, 255 max).
struct Profile {
    double lo;
    double hi;
    double rampSeconds;
    uint8_t rampByte;
};
Profile profile(const ExtAxisPar& axis, bool homing);

// Homing count: travel factor times home speed (single precision) in pulses.
double homingCount(const ExtAxisPar& axis);

// min(value, 65535), truncated toward zero, for the 16-bit speed and length fields.
uint16_t cap16(double value);

// Two-stage homing after the first approach: back off in the opposite direction at the back-off
// speed, then approach with the opposite home level, then approach again at half the back-off
// speed. Each stage changes the slot; the caller sends the packets after each.
void backOff(ExtAxisPar& axis);
void invertHomeLevel(ExtAxisPar& axis);
void slowApproach(ExtAxisPar& axis, const ExtAxisPar& original);

}  // namespace axis_slots
