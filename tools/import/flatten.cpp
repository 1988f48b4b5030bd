#include "import/flatten.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "import/import_error.h"

namespace importer {

using planner::Point;

namespace {

constexpr double kPi = 3.14159265358979323846;
// 2^16 segments per curve at most: finer than any real tolerance needs, and a hard stop for
// degenerate input.
constexpr int kMaxDepth = 16;
constexpr double kMaxSegmentsPerArc = 65536;
// Even a tiny full circle keeps its four quadrant points.
constexpr double kMaxArcStep = kPi / 2;

double distanceToSegment(Point p, Point a, Point b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

Point mid(Point a, Point b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

}  // namespace

Flattener::Flattener(double tolerance, std::size_t pointBudget)
    : m_tolerance(tolerance), m_budget(pointBudget), m_limit(pointBudget) {
    if (!(tolerance > 0) || !std::isfinite(tolerance))
        throw ImportError("tolerance must be a positive number of millimetres, not " + std::to_string(tolerance));
}

void Flattener::spend(std::size_t points) {
    if (points > m_budget)
        throw ImportError("more than " + std::to_string(m_limit) +
                          " points (curves, circles and text included): too large to plan; split or simplify it");
    m_budget -= points;
}

void Flattener::cubic(Point p0, Point c1, Point c2, Point p3, std::vector<Point>& out) {
    subdivide(p0, c1, c2, p3, 0, out);
}

void Flattener::quad(Point p0, Point c, Point p2, std::vector<Point>& out) {
    // The same curve as a cubic: control points two thirds of the way towards c.
    Point c1{p0.x + 2.0 / 3 * (c.x - p0.x), p0.y + 2.0 / 3 * (c.y - p0.y)};
    Point c2{p2.x + 2.0 / 3 * (c.x - p2.x), p2.y + 2.0 / 3 * (c.y - p2.y)};
    subdivide(p0, c1, c2, p2, 0, out);
}

void Flattener::subdivide(Point p0, Point c1, Point c2, Point p3, int depth, std::vector<Point>& out) {
    // The curve lies in the hull of its control points, so their distance from the chord bounds
    // its distance from the chord.
    double flatness = std::max(distanceToSegment(c1, p0, p3), distanceToSegment(c2, p0, p3));
    if (depth >= kMaxDepth || !(flatness > m_tolerance)) {
        spend(1);
        out.push_back(p3);
        return;
    }
    // de Casteljau at t = 1/2.
    Point a = mid(p0, c1), b = mid(c1, c2), c = mid(c2, p3);
    Point ab = mid(a, b), bc = mid(b, c);
    Point m = mid(ab, bc);
    subdivide(p0, a, ab, m, depth + 1, out);
    subdivide(m, bc, c, p3, depth + 1, out);
}

void Flattener::ellipse(Point centre, Point u, Point v, double t0, double sweep, Point end, std::vector<Point>& out) {
    // Linear interpolation of c + u cos t + v sin t over a step h strays at most h^2/8 times the
    // largest radius, which bounds the chord's distance from the arc.
    // The largest radius is the larger singular value of the matrix [u v].
    double q = u.x * v.y - u.y * v.x;
    double p = u.x * u.x + u.y * u.y + v.x * v.x + v.y * v.y;
    double radius = std::sqrt((p + std::sqrt(std::max(0.0, p * p - 4 * q * q))) / 2);
    double step = std::min(kMaxArcStep, std::sqrt(8 * m_tolerance / radius));
    double segments = std::ceil(std::abs(sweep) / step);
    if (!std::isfinite(segments) || segments < 1) segments = 1;
    segments = std::min(segments, kMaxSegmentsPerArc);
    auto count = static_cast<std::size_t>(segments);
    spend(count);
    for (std::size_t i = 1; i < count; ++i) {
        double t = t0 + sweep * static_cast<double>(i) / segments;
        double cs = std::cos(t), sn = std::sin(t);
        out.push_back({centre.x + u.x * cs + v.x * sn, centre.y + u.y * cs + v.y * sn});
    }
    out.push_back(end);
}

}  // namespace importer
