#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Laser settings in force on the simulated board.
struct LaserState {
    uint32_t pwmPeriod = 0;  // 48 MHz counts
    uint32_t pwmWidth = 0;   // 48 MHz counts
    uint16_t daLevel = 0;    // 0..4095
    uint16_t fiberPower = 0;
    uint16_t mopa = 0;
    bool redLight = false;

    bool operator==(const LaserState& o) const {
        return pwmPeriod == o.pwmPeriod && pwmWidth == o.pwmWidth && daLevel == o.daLevel &&
               fiberPower == o.fiberPower && mopa == o.mopa && redLight == o.redLight;
    }
};

// One thing the board did, in execution order. Positions are device units.
struct TraceEvent {
    enum Kind { kJump, kMark, kDelay, kOutput, kAxisMove, kLaser, kLens, kOther };

    Kind kind = kOther;
    uint64_t startTick = 0;
    uint64_t ticks = 0;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // jumps and marks
    LaserState laser;                        // marks: the settings they were made with
    uint32_t a = 0;                          // outputs: mask; axis moves: axis; lens: x range; other: opcode
    uint32_t b = 0;                          // outputs: value; axis moves: signed pulses; lens: y range

    bool operator==(const TraceEvent& o) const {
        return kind == o.kind && startTick == o.startTick && ticks == o.ticks && x0 == o.x0 && y0 == o.y0 &&
               x1 == o.x1 && y1 == o.y1 && laser == o.laser && a == o.a && b == o.b;
    }
};

// What was executed, exportable for people to look at.
class Trace {
public:
    std::vector<TraceEvent> events;
    uint64_t dropped = 0;  // events past the board's trace limit: executed, not kept

    void clear() {
        events.clear();
        dropped = 0;
    }
    size_t marks() const;
    size_t jumps() const;
    // Total marked length in device units.
    double markedLength() const;

    // Every event as a JSON array of objects.
    std::string toJson() const;
    // A picture of the field (0..65535 device units, y up): marks solid and coloured by laser
    // setting, jumps thin and dashed, the field outline.
    std::string toSvg(int pixels = 800) const;
};

}  // namespace sim
