#include "platform/quorcal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Global rather than function-local so that it exists from load to unload, not from first use.
QuorCal g_quorCal;

// Undoes (and, being its own inverse, redoes) the inversion the caller routed the point through.
struct AxisSigns {
    double x;
    double y;
};

AxisSigns axisSigns(int32_t exchange, int32_t invertX, int32_t invertY) {
    const bool flipX = exchange != 0 ? invertY != 0 : invertX != 0;
    const bool flipY = exchange != 0 ? invertX != 0 : invertY != 0;
    return {flipX ? -1.0 : 1.0, flipY ? -1.0 : 1.0};
}

// The linear part shared by both mappings, or false when the record cannot map at all.
struct DeviceScale {
    double scale;
    double center;
};

bool deviceScale(const tagLenPar& rec, const tagVosPointF& in, DeviceScale& out) {
    if (!(rec.fieldSize > 0.0) || rec.resolution <= 0) return false;
    if (std::isnan(in.x) || std::isnan(in.y)) return false;
    out = {rec.resolution / rec.fieldSize, static_cast<double>(rec.center)};
    return true;
}

bool emit(const DeviceScale& dev, double xMm, double yMm, tagVosPointF& out) {
    const double x = xMm * dev.scale + dev.center;
    const double y = yMm * dev.scale + dev.center;
    // Also rejects what a float cannot hold.
    const double limit = std::numeric_limits<float>::max();
    if (!(std::fabs(x) <= limit) || !(std::fabs(y) <= limit)) return false;
    out = {static_cast<float>(x), static_cast<float>(y)};
    return true;
}

// Piecewise-linear lookup of v in one nominal/corrected pair; false for an unusable table.
bool applyTable(const double* nominal, const double* corrected, double& v) {
    int n = 0;
    while (n < quorcal::kTableLen && !std::isnan(nominal[n]) && !std::isnan(corrected[n])) ++n;
    if (n < 2) return true;
    for (int i = 1; i < n; ++i) {
        if (!(nominal[i] > nominal[i - 1])) return false;
    }
    // Segment holding v; the end segments also serve beyond the table's range.
    const int hi = static_cast<int>(std::upper_bound(nominal + 1, nominal + n - 1, v) - nominal);
    const int lo = hi - 1;
    const double t = (v - nominal[lo]) / (nominal[hi] - nominal[lo]);
    v = corrected[lo] + t * (corrected[hi] - corrected[lo]);
    return true;
}

// Solves a * x = b in place for two right-hand sides (Gaussian elimination, partial pivoting).
// False when a is singular relative to its largest entry.
bool solve9(double a[9][9], double b[9][2]) {
    double largest = 0.0;
    for (int r = 0; r < 9; ++r) {
        for (int c = 0; c < 9; ++c) largest = std::max(largest, std::fabs(a[r][c]));
    }
    if (!std::isfinite(largest) || largest == 0.0) return false;
    const double tiny = largest * 1e-12;
    for (int col = 0; col < 9; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 9; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (!(std::fabs(a[pivot][col]) > tiny)) return false;
        std::swap(a[pivot], a[col]);
        std::swap(b[pivot], b[col]);
        for (int r = col + 1; r < 9; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int c = col; c < 9; ++c) a[r][c] -= f * a[col][c];
            b[r][0] -= f * b[col][0];
            b[r][1] -= f * b[col][1];
        }
    }
    for (int r = 8; r >= 0; --r) {
        for (int k = 0; k < 2; ++k) {
            double s = b[r][k];
            for (int c = r + 1; c < 9; ++c) s -= a[r][c] * b[c][k];
            b[r][k] = s / a[r][r];
        }
    }
    return true;
}

void biquadraticBasis(double u, double v, double out[9]) {
    const double uu = u * u;
    const double vv = v * v;
    const double row[9] = {1.0, u, v, uu, u * v, vv, uu * v, u * vv, uu * vv};
    std::copy(row, row + 9, out);
}

void copyTable(double* slot, const std::vector<double>& values) {
    // A slot holds 100 values; anything beyond is dropped rather than written past it.
    const size_t count = std::min(values.size(), static_cast<size_t>(quorcal::kTableLen));
    std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count), slot);
}

}  // namespace

tagLenPar::tagLenPar() {
    for (auto& table : tables) std::fill(table, table + quorcal::kTableLen, std::numeric_limits<double>::quiet_NaN());
}

bool QuorCal::CalibBox(const tagLenPar& rec, const tagVosPointF& in, tagVosPointF& out) const {
    DeviceScale dev{};
    if (!deviceScale(rec, in, dev)) return false;
    const AxisSigns s = axisSigns(rec.exchangeXY, rec.invertX, rec.invertY);
    double x = s.x * in.x;
    double y = s.y * in.y;

    if (rec.tableEnable != 0) {
        if (!applyTable(rec.tables[quorcal::kTableNominalX], rec.tables[quorcal::kTableCorrectedX], x)) return false;
        if (!applyTable(rec.tables[quorcal::kTableNominalY], rec.tables[quorcal::kTableCorrectedY], y)) return false;
    }

    const double* c = rec.boxCoef;
    const double h = rec.fieldSize / 2.0;
    const double u = x / h;
    const double v = y / h;
    const double xd = x * (1.0 + (c[0] - 1.0) * v * v + (c[4] - 1.0) * v);
    const double yd = y * (1.0 + (c[1] - 1.0) * u * u + (c[5] - 1.0) * u);
    const double bx = c[6] / 100.0 * (xd + (c[3] - 1.0) * yd);
    const double by = c[7] / 100.0 * (yd + (c[2] - 1.0) * xd);
    return emit(dev, s.x * bx, s.y * by, out);
}

bool QuorCal::Calib9Pt(const tagLenPar& rec, const tagVosPointF& in, tagVosPointF& out) const {
    DeviceScale dev{};
    if (!deviceScale(rec, in, dev)) return false;
    const GalvoCalPar& cal = rec.calPar;
    const double pitch = cal.gridPitch;
    if (!(pitch > 0.0) || !std::isfinite(pitch)) return false;

    // Rows: the basis at each measured position; right-hand sides: the nominal position.
    // Everything in units of the pitch keeps the system well scaled.
    double a[9][9];
    double b[9][2];
    for (int i = 0; i < 9; ++i) {
        if (!std::isfinite(cal.gridPoints[i].x) || !std::isfinite(cal.gridPoints[i].y)) return false;
        biquadraticBasis(cal.gridPoints[i].x / pitch, cal.gridPoints[i].y / pitch, a[i]);
        const int column = i % 3;
        const int row = i / 3;
        b[i][0] = column - 1;
        b[i][1] = row - 1;
    }
    if (!solve9(a, b)) return false;

    const AxisSigns s = axisSigns(cal.exchangeXY, cal.invertX, cal.invertY);
    double basis[9];
    biquadraticBasis(s.x * in.x / pitch, s.y * in.y / pitch, basis);
    double fx = 0.0;
    double fy = 0.0;
    for (int k = 0; k < 9; ++k) {
        fx += basis[k] * b[k][0];
        fy += basis[k] * b[k][1];
    }
    return emit(dev, s.x * fx * pitch, s.y * fy * pitch, out);
}

namespace quorcal {

QuorCal& quorCal() { return g_quorCal; }

double round(double value) { return std::round(value); }

void fillBasic(tagLenPar& rec, const GalvoParam& galvo) {
    rec.fieldSize = galvo.fieldSize;
    rec.areaSize = std::max(galvo.areaSizeX, galvo.areaSizeY);
    rec.resolution = galvo.resolution;
    rec.center = galvo.center;
    rec.libExtent = galvo.libExtent;
    rec.exchangeXY = galvo.exchangeXY ? 1 : 0;
    rec.invertX = galvo.invertX ? 1 : 0;
    rec.invertY = galvo.invertY ? 1 : 0;
    rec.calPar = galvo.calPar;
}

void fillFull(tagLenPar& rec, const GalvoParam& galvo) {
    fillBasic(rec, galvo);
    rec.offsetX = galvo.offsetX;
    rec.offsetY = galvo.offsetY;
    rec.angle = galvo.angle;
    rec.rotCenterX = galvo.rotCenterX;
    rec.rotCenterY = galvo.rotCenterY;
    std::copy(galvo.boxCoef, galvo.boxCoef + 8, rec.boxCoef);
    rec.tableEnable = galvo.tableEnable ? 1 : 0;
    rec.tableCount = galvo.tableCount;
    if (galvo.tableEnable) {
        // Slot order pairs the nominal tables first: 1, 3, then 2, 4.
        const std::vector<double>* order[6] = {&galvo.corrTable1, &galvo.corrTable3, &galvo.corrTable2,
                                               &galvo.corrTable4, &galvo.corrTable5, &galvo.corrTable6};
        for (int i = 0; i < 6; ++i) copyTable(rec.tables[i], *order[i]);
    }
    rec.use9Point = galvo.use9Point ? 1 : 0;
}

}  // namespace quorcal
