#include <algorithm>
#include <cmath>

#include "calib/quorcal.h"

namespace {

bool allFinite(const double* values, int count) {
    return std::all_of(values, values + count, [](double v) { return std::isfinite(v); });
}

}  // namespace

// Box parameters from a test mark.
//
// The mark is the square of side S spanning the field: its edges sit at u, v = +-1 of the box
// correction, its centre lines at 0. A mark distorted by box parameters alone (scale sx, sy;
// pincushion px, py; trapezoid tx, ty; shear gx of X with Y, gy of Y with X) measures, to first
// order in the small terms:
//   top, middle, bottom X lengths   S sx (px + tx - 1), S sx, S sx (px - tx + 1)
//   right, middle, left Y lengths   likewise with sy, py, ty
//   rise                            S sy (gy - 1)
//   rising^2 - falling^2            4 ex ey (sx / sy (gx - 1) + sy / sx (gy - 1)), with ex, ey the
//                                   mean X and Y edge lengths
// which solves for the parameters the mark shows. The lens' distortion composes with those the
// square was marked with, to first order scales and pincushions multiplying, trapezoids and
// shears adding; dividing by the measured scales and pincushions and subtracting the measured
// trapezoid and shear excess cancels it. What is left is of second order: each further mark and
// pass shrinks the error by about the size of the distortion.
bool QuorCal::getRecManParas(const double* lvs, const double* calPar, double* result) const {
    if (lvs == nullptr || calPar == nullptr || result == nullptr) return false;
    if (!allFinite(lvs, 9) || !allFinite(calPar, 9)) return false;
    if (!std::all_of(lvs, lvs + 8, [](double v) { return v > 0.0; })) return false;
    const double side = calPar[8];
    if (!(side > 0.0)) return false;

    const double top = lvs[0], middleX = lvs[1], bottom = lvs[2];
    const double left = lvs[3], middleY = lvs[4], right = lvs[5];
    const double rising = lvs[6], falling = lvs[7], rise = lvs[8];

    const double edgeX = (top + bottom) / 2.0;
    const double edgeY = (left + right) / 2.0;
    const double scaleX = middleX / side;
    const double scaleY = middleY / side;
    const double pincushionX = edgeX / middleX;
    const double pincushionY = edgeY / middleY;
    const double trapezoidX = (top - bottom) / (2.0 * middleX);
    const double trapezoidY = (right - left) / (2.0 * middleY);
    const double shearY = rise / middleY;
    const double ratio = middleX / middleY;
    const double skew = (rising * rising - falling * falling) / (4.0 * edgeX * edgeY);
    const double shearX = (skew - shearY / ratio) / ratio;

    const double next[8] = {calPar[0] / scaleX, calPar[1] / scaleY, calPar[2] / pincushionX, calPar[3] / pincushionY,
                            calPar[4] - shearY, calPar[5] - shearX, calPar[6] - trapezoidX,  calPar[7] - trapezoidY};
    if (!allFinite(next, 8)) return false;
    std::copy(next, next + 8, result);
    return true;
}
