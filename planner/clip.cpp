// Cutting polylines to the field, segment by segment (Liang-Barsky): each segment keeps the part
// of its parameter range [0, 1] that lies within all four borders.

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "executor/planner/placement.h"

namespace planner {

namespace {

bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }
bool operator!=(const Point& a, const Point& b) { return !(a == b); }

double length(const std::vector<Point>& points) {
    double sum = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        sum += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    return sum;
}

bool inside(const Point& p, double half) { return std::abs(p.x) <= half && std::abs(p.y) <= half; }

// The part of segment from..to within the field, as parameters 0 <= enter <= leave <= 1 and the
// points there. Where a border cuts, its coordinate is set exactly, so no rounding puts the point
// past it.
struct Cut {
    double enter = 0, leave = 1;
    Point from, to;
};

bool clipSegment(const Point& from, const Point& to, double half, Cut& cut) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    // Per border: the rate at which the segment moves outward, and how far inside it starts.
    const double outward[4] = {-dx, dx, -dy, dy};
    const double room[4] = {from.x + half, half - from.x, from.y + half, half - from.y};
    int enterBorder = -1, leaveBorder = -1;
    cut.enter = 0;
    cut.leave = 1;
    for (int k = 0; k < 4; ++k) {
        if (outward[k] == 0) {
            if (room[k] < 0) return false;  // runs beside this border, beyond it
            continue;
        }
        const double t = room[k] / outward[k];
        if (outward[k] < 0) {
            if (t > cut.leave) return false;
            if (t > cut.enter) {
                cut.enter = t;
                enterBorder = k;
            }
        } else {
            if (t < cut.enter) return false;
            if (t < cut.leave) {
                cut.leave = t;
                leaveBorder = k;
            }
        }
    }
    auto at = [&](double t, int border) {
        Point p{from.x + t * dx, from.y + t * dy};
        double& onBorder = border < 2 ? p.x : p.y;
        onBorder = border % 2 == 0 ? -half : half;
        // The other coordinate may round a hair past a corner.
        double& other = border < 2 ? p.y : p.x;
        other = std::min(std::max(other, -half), half);
        return p;
    };
    cut.from = enterBorder < 0 ? from : at(cut.enter, enterBorder);
    cut.to = leaveBorder < 0 ? to : at(cut.leave, leaveBorder);
    return true;
}

// Appends the stretches of line within the field to out.
void clipPolyline(const Polyline& line, double half, std::vector<Polyline>& out) {
    Polyline piece{{}, line.pen};
    auto finish = [&] {
        if (piece.points.size() >= 2) out.push_back(piece);
        piece.points.clear();
    };
    bool running = false;  // piece ends on the uncut end point of the previous segment
    for (std::size_t i = 1; i < line.points.size(); ++i) {
        Cut cut;
        if (!clipSegment(line.points[i - 1], line.points[i], half, cut)) {
            running = false;
            continue;
        }
        if (!(running && cut.enter == 0)) {
            finish();
            running = false;
            if (cut.from == cut.to) continue;  // touches the border in a point, or repeats one
            piece.points.push_back(cut.from);
        }
        if (cut.to != piece.points.back()) piece.points.push_back(cut.to);
        running = cut.leave == 1;
    }
    finish();
}

bool isDot(const Polyline& line) {
    return !line.points.empty() && std::all_of(line.points.begin(), line.points.end(),
                                               [&](const Point& p) { return p == line.points.front(); });
}

}  // namespace

ClipSummary clipToField(Job& job, double fieldMm) {
    const double half = fieldMm / 2;
    ClipSummary summary;
    std::vector<Polyline> kept;
    for (const Polyline& line : job.polylines) {
        const double before = length(line.points);
        summary.lengthBefore += before;
        const auto outside =
            std::count_if(line.points.begin(), line.points.end(), [&](const Point& p) { return !inside(p, half); });
        summary.pointsOutside += static_cast<std::size_t>(outside);
        if (outside == 0 || line.points.empty()) {
            summary.lengthAfter += before;
            kept.push_back(line);
            continue;
        }
        ++summary.polylinesCut;
        if (isDot(line)) {
            ++summary.dotsDropped;
            continue;
        }
        const std::size_t first = kept.size();
        clipPolyline(line, half, kept);
        for (std::size_t i = first; i < kept.size(); ++i) summary.lengthAfter += length(kept[i].points);
    }
    job.polylines = std::move(kept);
    return summary;
}

}  // namespace planner
