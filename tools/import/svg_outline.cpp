#include "import/svg_outline.h"

#include <cmath>

#include "import/import_error.h"

namespace importer {

using planner::Point;

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

std::vector<Point>& OutlineBuilder::open() {
    if (!m_drawing) {
        // Drawing after a close starts again at the subpath's first point.
        m_line.clear();
        m_line.push_back(m_toMm.apply(m_start));
        m_current = m_start;
        m_drawing = true;
    }
    return m_line;
}

void OutlineBuilder::finish() {
    if (m_drawing && m_line.size() >= 2) m_done.push_back(std::move(m_line));
    m_line.clear();
    m_drawing = false;
}

void OutlineBuilder::moveTo(Point p) {
    finish();
    m_start = m_current = p;
}

void OutlineBuilder::lineTo(Point p) {
    m_flattener.spend(1);
    open().push_back(m_toMm.apply(p));
    m_current = p;
}

void OutlineBuilder::cubicTo(Point c1, Point c2, Point p) {
    auto& line = open();
    m_flattener.cubic(line.back(), m_toMm.apply(c1), m_toMm.apply(c2), m_toMm.apply(p), line);
    m_current = p;
}

void OutlineBuilder::quadTo(Point c, Point p) {
    auto& line = open();
    m_flattener.quad(line.back(), m_toMm.apply(c), m_toMm.apply(p), line);
    m_current = p;
}

void OutlineBuilder::arcTo(double rx, double ry, double rotation, bool largeArc, bool sweep, Point p) {
    Point from = m_current;
    // Same end points: no arc at all. A zero radius: a straight line.
    if (from.x == p.x && from.y == p.y) return;
    rx = std::abs(rx);
    ry = std::abs(ry);
    if (rx == 0 || ry == 0) {
        lineTo(p);
        return;
    }
    // From the end points to the centre form, in the ellipse's own rotated frame.
    double phi = rotation * kPi / 180;
    double cs = std::cos(phi), sn = std::sin(phi);
    double hx = (from.x - p.x) / 2, hy = (from.y - p.y) / 2;
    double x1 = cs * hx + sn * hy;
    double y1 = -sn * hx + cs * hy;
    // Radii too small to join the end points grow just enough to do so.
    double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    double rx2 = rx * rx, ry2 = ry * ry;
    double denominator = rx2 * y1 * y1 + ry2 * x1 * x1;
    double root = denominator > 0 ? std::sqrt(std::max(0.0, (rx2 * ry2 - denominator) / denominator)) : 0;
    if (largeArc == sweep) root = -root;
    double cx1 = root * rx * y1 / ry;
    double cy1 = -root * ry * x1 / rx;
    Point centre{cs * cx1 - sn * cy1 + (from.x + p.x) / 2, sn * cx1 + cs * cy1 + (from.y + p.y) / 2};
    double ux = (x1 - cx1) / rx, uy = (y1 - cy1) / ry;
    double vx = (-x1 - cx1) / rx, vy = (-y1 - cy1) / ry;
    double t0 = std::atan2(uy, ux);
    double delta = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
    if (!sweep && delta > 0) delta -= 2 * kPi;
    if (sweep && delta < 0) delta += 2 * kPi;

    auto& line = open();
    Point axisU = m_toMm.applyLinear(rx * cs, rx * sn);
    Point axisV = m_toMm.applyLinear(-ry * sn, ry * cs);
    m_flattener.ellipse(m_toMm.apply(centre), axisU, axisV, t0, delta, m_toMm.apply(p), line);
    m_current = p;
}

void OutlineBuilder::close() {
    if (m_drawing) {
        Point first = m_line.front();
        const Point& last = m_line.back();
        if (last.x != first.x || last.y != first.y) m_line.push_back(first);
    }
    finish();
    m_current = m_start;
}

std::vector<std::vector<Point>> OutlineBuilder::take() {
    finish();
    for (const auto& line : m_done)
        for (const Point& point : line)
            if (!std::isfinite(point.x) || !std::isfinite(point.y)) throw ImportError("coordinates too large to draw");
    return std::move(m_done);
}

}  // namespace importer
