#include "executor/planner/placement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace planner {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kQuarterTurn = 90;  // degrees

Point centreOf(const Bounds& b) { return {(b.lowX + b.highX) / 2, (b.lowY + b.highY) / 2}; }

template <typename Move>
void movePoints(Job& job, Move move) {
    for (Polyline& line : job.polylines)
        for (Point& p : line.points) p = move(p);
}

void requirePositive(const std::optional<double>& value, const char* what) {
    if (value && !(std::isfinite(*value) && *value > 0))
        throw std::invalid_argument(std::string(what) + " must be a positive number");
}

void requireFinite(double value, const char* what) {
    if (!std::isfinite(value)) throw std::invalid_argument(std::string(what) + " must be a finite number");
}

void validate(const PlaceOptions& o, double fieldMm) {
    requirePositive(fieldMm, "the field size");
    requirePositive(o.scale, "the scale");
    requirePositive(o.width, "the width");
    requirePositive(o.height, "the height");
    requireFinite(o.rotateDegrees, "the rotation");
    requireFinite(o.offsetX, "the x offset");
    requireFinite(o.offsetY, "the y offset");
    const int sizings = (o.scale ? 1 : 0) + (o.width || o.height ? 1 : 0) + (o.fit ? 1 : 0);
    if (sizings > 1) throw std::invalid_argument("give only one of scale, size and fit");
}

// Cosine and sine of a turn; whole quarter turns exactly, so a turned drawing keeps its round numbers.
std::pair<double, double> turn(double degrees) {
    const double quarters = degrees / kQuarterTurn;
    if (quarters == std::round(quarters)) {
        static const double cosines[] = {1, 0, -1, 0};
        const long q = (static_cast<long>(std::fmod(quarters, 4)) + 4) % 4;
        return {cosines[q], cosines[(q + 3) % 4]};
    }
    const double radians = degrees * kPi / 180;
    return {std::cos(radians), std::sin(radians)};
}

// The largest factor that keeps a box of width x height within limitX x limitY; a side the box
// lacks sets no limit, and 1 when neither does.
double fitFactor(const Bounds& box, std::optional<double> limitX, std::optional<double> limitY) {
    double factor = std::numeric_limits<double>::infinity();
    if (limitX && box.width() > 0) factor = std::min(factor, *limitX / box.width());
    if (limitY && box.height() > 0) factor = std::min(factor, *limitY / box.height());
    return std::isfinite(factor) ? factor : 1;
}

}  // namespace

Bounds boundsOf(const Job& job) {
    Bounds b;
    for (const Polyline& line : job.polylines) {
        for (const Point& p : line.points) {
            b.lowX = b.empty ? p.x : std::min(b.lowX, p.x);
            b.highX = b.empty ? p.x : std::max(b.highX, p.x);
            b.lowY = b.empty ? p.y : std::min(b.lowY, p.y);
            b.highY = b.empty ? p.y : std::max(b.highY, p.y);
            b.empty = false;
        }
    }
    return b;
}

void place(Job& job, const PlaceOptions& options, double fieldMm) {
    validate(options, fieldMm);
    if (boundsOf(job).empty) return;
    const Point pivot = centreOf(boundsOf(job));

    if (options.rotateDegrees != 0) {
        // Named copies: a lambda may not capture structured bindings before C++20.
        const auto cs = turn(options.rotateDegrees);
        const double c = cs.first, s = cs.second;
        movePoints(job, [&](Point p) {
            const double dx = p.x - pivot.x, dy = p.y - pivot.y;
            return Point{pivot.x + dx * c - dy * s, pivot.y + dx * s + dy * c};
        });
    }

    double factor = 1;
    if (options.scale) factor = *options.scale;
    if (options.width || options.height) factor = fitFactor(boundsOf(job), options.width, options.height);
    if (options.fit) factor = fitFactor(boundsOf(job), fieldMm, fieldMm);
    if (factor != 1) {
        movePoints(job, [&](Point p) {
            return Point{pivot.x + (p.x - pivot.x) * factor, pivot.y + (p.y - pivot.y) * factor};
        });
    }

    Point shift{options.offsetX, options.offsetY};
    if (options.centre) {
        const Point centre = centreOf(boundsOf(job));
        shift.x -= centre.x;
        shift.y -= centre.y;
    }
    if (shift.x != 0 || shift.y != 0) movePoints(job, [&](Point p) { return Point{p.x + shift.x, p.y + shift.y}; });
}

}  // namespace planner
