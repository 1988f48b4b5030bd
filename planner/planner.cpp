#include "executor/planner/planner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

namespace planner {

namespace {

constexpr std::uint64_t kMaxStepCount = 0xFFFF;  // 16-bit step count of a vector command
// A single move may not need more parts than this; anything longer is a unit mistake.
constexpr std::uint64_t kMaxMoveTicks = kMaxStepCount * kMaxStepCount;
// The delay command carries twice its count in 32 bits.
constexpr std::uint64_t kMaxDelayTicks = 0x7FFFFFFF;
constexpr double kMaxLaserDelayUs = 0xFFFF;  // 16-bit light delay words
constexpr double kMicro = 1e-6;

std::string penLabel(std::size_t index, const Pen& pen) {
    std::string label = "pen " + std::to_string(index);
    if (!pen.name.empty()) label += " (\"" + pen.name + "\")";
    return label;
}

std::string number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

[[noreturn]] void fail(const std::string& message) { throw std::invalid_argument("planner: " + message); }

void requireInRange(double value, double low, double high, const std::string& what) {
    if (!(value >= low && value <= high)) {
        fail(what + " is " + number(value) + "; it must lie between " + number(low) + " and " + number(high));
    }
}

void requirePositive(double value, const std::string& what) {
    if (!(value > 0) || !std::isfinite(value)) fail(what + " is " + number(value) + "; it must be positive");
}

void requireNotNegative(double value, const std::string& what) {
    if (!(value >= 0) || !std::isfinite(value)) fail(what + " is " + number(value) + "; it must not be negative");
}

void checkPen(std::size_t index, const Pen& pen, double tickSeconds) {
    const std::string label = penLabel(index, pen);
    requirePositive(pen.markSpeed, label + ": mark speed (mm/s)");
    requirePositive(pen.jumpSpeed, label + ": jump speed (mm/s)");
    requirePositive(pen.frequency, label + ": frequency (kHz)");
    requireInRange(pen.power, 0, 100, label + ": power (%)");
    requireNotNegative(pen.pulseWidth, label + ": pulse width (us)");
    requireInRange(pen.laserOnDelay, 0, kMaxLaserDelayUs, label + ": laser on delay (us)");
    requireInRange(pen.laserOffDelay, 0, kMaxLaserDelayUs, label + ": laser off delay (us)");
    const double maxDelayUs = static_cast<double>(kMaxDelayTicks) * tickSeconds / kMicro;
    requireInRange(pen.jumpDelay, 0, maxDelayUs, label + ": jump delay (us)");
    requireInRange(pen.markDelay, 0, maxDelayUs, label + ": mark delay (us)");
    requireInRange(pen.polygonDelay, 0, maxDelayUs, label + ": polygon delay (us)");
}

void checkPolyline(std::size_t index, const Polyline& polyline, std::size_t penCount) {
    if (polyline.pen >= penCount) {
        fail("polyline " + std::to_string(index) + " uses pen " + std::to_string(polyline.pen) + " but the job has " +
             std::to_string(penCount) + (penCount == 1 ? " pen" : " pens"));
    }
    for (std::size_t i = 0; i < polyline.points.size(); ++i) {
        const Point& p = polyline.points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            fail("polyline " + std::to_string(index) + ", point " + std::to_string(i) + " is not a finite number");
        }
    }
}

bool samePoint(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }

// Appends the steps of one plan and keeps its summary.
class PlanBuilder {
public:
    PlanBuilder(Plan& plan, double tickSeconds) : m_plan(plan), m_tickSeconds(tickSeconds) {}

    void pen(std::size_t index) {
        Step step;
        step.kind = Step::Kind::Pen;
        step.pen = index;
        m_pen = index;
        m_plan.steps.push_back(step);
    }

    // A straight move at the given speed, split so that no part needs more than 65535 steps.
    // The parts share the ticks as evenly as whole counts allow, and each ends where the
    // motion at constant speed is after its ticks, so the speed stays the same throughout.
    void move(Point from, Point to, double speed, Step::Kind kind) {
        const double length = std::hypot(to.x - from.x, to.y - from.y);
        const double exact = length / speed / m_tickSeconds;
        if (!(exact <= static_cast<double>(kMaxMoveTicks))) {
            fail("a move of " + number(length) + " mm at " + number(speed) + " mm/s takes too long");
        }
        const std::uint64_t total = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(exact)));
        const std::uint64_t parts = (total + kMaxStepCount - 1) / kMaxStepCount;
        const std::uint64_t base = total / parts;
        const std::uint64_t longer = total % parts;  // parts that take one tick more
        std::uint64_t done = 0;
        for (std::uint64_t i = 0; i < parts; ++i) {
            const std::uint64_t count = base + (i < longer ? 1 : 0);
            done += count;
            const double t = static_cast<double>(done) / static_cast<double>(total);
            Step step;
            step.kind = kind;
            step.to = i + 1 == parts ? to : Point{from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
            step.steps = static_cast<std::uint16_t>(count);
            step.pen = m_pen;
            m_plan.steps.push_back(step);
        }
        PlanSummary& summary = m_plan.summary;
        summary.segments += parts;
        summary.ticks += total;
        if (kind == Step::Kind::Mark) {
            summary.marks += parts;
            summary.markLength += length;
        } else {
            summary.jumps += parts;
            summary.jumpLength += length;
        }
    }

    void delay(double microseconds) {
        const auto ticks = static_cast<std::uint64_t>(std::llround(microseconds * kMicro / m_tickSeconds));
        if (ticks == 0) return;
        Step step;
        step.kind = Step::Kind::Delay;
        step.ticks = static_cast<std::uint32_t>(ticks);
        step.pen = m_pen;
        m_plan.steps.push_back(step);
        m_plan.summary.ticks += ticks;
    }

    void finish() { m_plan.summary.seconds = static_cast<double>(m_plan.summary.ticks) * m_tickSeconds; }

private:
    Plan& m_plan;
    double m_tickSeconds;
    std::size_t m_pen = 0;
};

}  // namespace

Plan makePlan(const Job& job, const PlanOptions& options) {
    requirePositive(options.tickSeconds, "the tick length (s)");
    for (std::size_t i = 0; i < job.pens.size(); ++i) checkPen(i, job.pens[i], options.tickSeconds);
    for (std::size_t i = 0; i < job.polylines.size(); ++i) checkPolyline(i, job.polylines[i], job.pens.size());

    Plan plan;
    PlanBuilder builder(plan, options.tickSeconds);
    bool penSet = false;
    std::size_t penInForce = 0;
    Point at;  // the field centre
    std::vector<Point> corners;
    for (const Polyline& polyline : job.polylines) {
        if (polyline.points.empty()) continue;
        if (!penSet || polyline.pen != penInForce) {
            builder.pen(polyline.pen);
            penSet = true;
            penInForce = polyline.pen;
        }
        const Pen& pen = job.pens[polyline.pen];

        corners.clear();
        for (const Point& p : polyline.points) {
            if (corners.empty() || !samePoint(corners.back(), p)) corners.push_back(p);
        }
        builder.move(at, corners.front(), pen.jumpSpeed, Step::Kind::Jump);
        builder.delay(pen.jumpDelay);
        if (corners.size() == 1) {
            builder.move(corners.front(), corners.front(), pen.markSpeed, Step::Kind::Mark);  // a dot
        }
        for (std::size_t i = 1; i < corners.size(); ++i) {
            builder.move(corners[i - 1], corners[i], pen.markSpeed, Step::Kind::Mark);
            if (i + 1 < corners.size()) builder.delay(pen.polygonDelay);
        }
        builder.delay(pen.markDelay);
        at = corners.back();
    }
    builder.finish();
    return plan;
}

PenParam penParam(const Pen& pen) {
    PenParam param;
    param.power = static_cast<std::int32_t>(std::lround(pen.power));
    param.frequency = static_cast<float>(pen.frequency);
    param.pulseWidth = static_cast<float>(pen.pulseWidth);
    param.lightDelayA = static_cast<std::uint16_t>(std::lround(pen.laserOnDelay));
    param.lightDelayB = static_cast<std::uint16_t>(std::lround(pen.laserOffDelay));
    return param;
}

}  // namespace planner
