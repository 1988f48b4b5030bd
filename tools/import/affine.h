#pragma once
// A 2-D affine map (x' = a x + c y + e, y' = b x + d y + f), the matrix form SVG transforms use.

#include <algorithm>
#include <cmath>

#include "executor/planner/job.h"

namespace importer {

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    planner::Point apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
    planner::Point apply(planner::Point p) const { return apply(p.x, p.y); }
    // The linear part only: directions and radii, not positions.
    planner::Point applyLinear(double x, double y) const { return {a * x + c * y, b * x + d * y}; }

    // This map after `inner`: first `inner`, then this one.
    Affine operator*(const Affine& inner) const {
        return {a * inner.a + c * inner.b, b * inner.a + d * inner.b,     a * inner.c + c * inner.d,
                b * inner.c + d * inner.d, a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
    }

    // The largest factor by which the map stretches any length (the largest singular value), so a
    // tolerance in output units can be turned into one in input units.
    double maxStretch() const {
        double p = a * a + b * b + c * c + d * d;
        double q = a * d - b * c;
        double disc = std::sqrt(std::max(0.0, p * p - 4 * q * q));
        return std::sqrt((p + disc) / 2);
    }

    static Affine translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static Affine scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static Affine rotate(double radians) {
        double cs = std::cos(radians), sn = std::sin(radians);
        return {cs, sn, -sn, cs, 0, 0};
    }
};

}  // namespace importer
