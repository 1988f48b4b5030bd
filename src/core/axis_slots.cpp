#include "core/axis_slots.h"

#include <algorithm>

#include "cmd/counts.h"

namespace axis_slots {

double scaledCount(const ExtAxisPar& axis, int count) {
    double c = count;
    if (axis.scaleEnable != 0 && axis.scaleFactor > 0) c *= axis.scaleFactor;
    return std::max(1.0, c);
}

double ratio(const ExtAxisPar& axis) { return static_cast<float>(axis.pulsesPerTurn) / axis.travelPerTurn; }

Profile profile(const ExtAxisPar& axis, bool homing) {
    const double lo = homing ? axis.homeStartSpeed : axis.startSpeed;
    const double speed = homing ? axis.homeSpeed : axis.runSpeed;
    const double acceleration = homing ? axis.homeAcceleration : axis.acceleration;
    double hi = std::max(lo, speed);
    if (axis.maxSpeed < hi) hi = axis.maxSpeed;
    const double t = (hi - lo) / acceleration;
    const uint8_t rampByte = t <= 0.255 ? static_cast<uint8_t>(counts::truncInt32(t * 1000)) : 255;
    return Profile{lo, hi, t, rampByte};
}

double homingCount(const ExtAxisPar& axis) {
    const float travel = static_cast<float>(axis.homeTravelFactor) * axis.homeSpeed;
    return static_cast<double>(travel) * ratio(axis);
}

uint16_t cap16(double value) { return static_cast<uint16_t>(counts::truncInt32(std::min(value, 65535.0))); }

void backOff(ExtAxisPar& axis) {
    axis.homeSpeed = axis.homeBackSpeed;
    axis.homeDirection = axis.homeDirection != 0 ? 0 : 1;
}

void invertHomeLevel(ExtAxisPar& axis) { axis.homeLevel = axis.homeLevel == 0 ? 1 : 0; }

void slowApproach(ExtAxisPar& axis, const ExtAxisPar& original) {
    axis.homeLevel = original.homeLevel;
    axis.homeDirection = original.homeDirection;
    axis.homeSpeed = original.homeBackSpeed / 2;
}

}  // namespace axis_slots
