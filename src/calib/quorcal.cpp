#include "calib/quorcal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

bool deviceScale(const quorcal::LensView& lens, const tagVosPointF& in, DeviceScale& out) {
    if (!(lens.fieldSize > 0.0) || lens.resolution <= 0) return false;
    if (std::isnan(in.x) || std::isnan(in.y)) return false;
    out = {lens.resolution / lens.fieldSize, static_cast<double>(lens.center)};
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

// How many leading entries of a nominal/corrected pair are in use (up to the first NaN of either
// table), and whether the nominal values rise strictly over them.
struct TableCheck {
    int n = 0;
    bool rising = true;
};

TableCheck checkTables(const double* nominal, const double* corrected, int limit) {
    TableCheck c;
    while (c.n < limit && !std::isnan(nominal[c.n]) && !std::isnan(corrected[c.n])) ++c.n;
    for (int i = 1; i < c.n; ++i) c.rising &= nominal[i] > nominal[i - 1];
    return c;
}

// The check is a pass over whole tables for every point, and its verdict depends only on their
// values: each thread remembers the last pair it checked per axis and compares the values bit
// for bit (a fast block compare) instead of checking again.
struct CheckedPair {
    int limit = -1;
    double nominal[quorcal::kTableLen];
    double corrected[quorcal::kTableLen];
    TableCheck check;
};

TableCheck rememberedCheck(int axis, const double* nominal, const double* corrected, int limit) {
    thread_local CheckedPair last[2];
    CheckedPair& pair = last[axis];
    // Without entries the tables may be absent (null), which the block functions must not see.
    const size_t bytes = limit > 0 ? static_cast<size_t>(limit) * sizeof(double) : 0;
    const bool same = pair.limit == limit && (bytes == 0 || (std::memcmp(pair.nominal, nominal, bytes) == 0 &&
                                                             std::memcmp(pair.corrected, corrected, bytes) == 0));
    if (!same) {
        pair.check = checkTables(nominal, corrected, limit);
        pair.limit = limit;
        if (bytes != 0) {
            std::memcpy(pair.nominal, nominal, bytes);
            std::memcpy(pair.corrected, corrected, bytes);
        }
    }
    return pair.check;
}

// The first of count rising values that is above v (std::upper_bound), or first + count. Each
// step picks the half with a conditional move instead of a branch: points land anywhere in the
// table, so a branch would be mispredicted at every other step.
const double* firstAbove(const double* first, int count, double v) {
    if (count <= 0) return first;
    while (count > 1) {
        const int half = count / 2;
        first = v < first[half] ? first : first + half;
        count -= half;
    }
    return v < *first ? first : first + 1;
}

// Piecewise-linear lookup of v in one nominal/corrected pair of the given axis (0 x, 1 y); false
// for an unusable table. remember: reuse this thread's last check of the axis when it applies.
bool applyTable(int axis, const quorcal::TableView& nominalTable, const quorcal::TableView& correctedTable,
                bool remember, double& v) {
    const double* nominal = nominalTable.values;
    const double* corrected = correctedTable.values;
    const int limit = std::min(nominalTable.size, correctedTable.size);
    const TableCheck c =
        remember ? rememberedCheck(axis, nominal, corrected, limit) : checkTables(nominal, corrected, limit);
    const int n = c.n;
    if (n < 2) return true;
    if (!c.rising) return false;
    // Segment holding v; the end segments also serve beyond the table's range.
    const int hi = static_cast<int>(firstAbove(nominal + 1, n - 2, v) - nominal);
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

// The biquadratic map of the nine-point calibration in units of the pitch: coefficients of the
// basis for x and y. Rows of the system: the basis at each measured position; right-hand sides:
// the nominal position. Units of the pitch keep the system well scaled.
struct GridFit {
    bool ok = false;
    double coef[9][2] = {};
};

GridFit fitGrid(const GalvoCalPar& cal) {
    GridFit fit;
    const double pitch = cal.gridPitch;
    double a[9][9];
    for (int i = 0; i < 9; ++i) {
        if (!std::isfinite(cal.gridPoints[i].x) || !std::isfinite(cal.gridPoints[i].y)) return fit;
        biquadraticBasis(cal.gridPoints[i].x / pitch, cal.gridPoints[i].y / pitch, a[i]);
        const int column = i % 3;
        const int row = i / 3;
        fit.coef[i][0] = column - 1;
        fit.coef[i][1] = row - 1;
    }
    fit.ok = solve9(a, fit.coef);
    return fit;
}

// The last fit made on this thread, with the grid it was made from.
struct RememberedFit {
    bool valid = false;
    double pitch = 0.0;
    Point2dConcept<double> grid[9];
    GridFit fit;
};

const GridFit& rememberedFit(const GalvoCalPar& cal) {
    thread_local RememberedFit last;
    // Bit for bit, so that any change (even of a sign of zero) fits afresh.
    const bool same = last.valid && std::memcmp(&last.pitch, &cal.gridPitch, sizeof(double)) == 0 &&
                      std::memcmp(last.grid, cal.gridPoints, sizeof(last.grid)) == 0;
    if (!same) {
        last.fit = fitGrid(cal);
        last.pitch = cal.gridPitch;
        std::memcpy(last.grid, cal.gridPoints, sizeof(last.grid));
        last.valid = true;
    }
    return last.fit;
}

quorcal::TableView tableOf(const std::vector<double>& values) {
    return {values.data(), static_cast<int>(std::min(values.size(), static_cast<size_t>(quorcal::kTableLen)))};
}

}  // namespace

tagLenPar::tagLenPar() {
    for (auto& table : tables) std::fill(table, table + quorcal::kTableLen, std::numeric_limits<double>::quiet_NaN());
}

bool QuorCal::CalibBox(const tagLenPar& rec, const tagVosPointF& in, tagVosPointF& out) const {
    return quorcal::calibBox(quorcal::viewOf(rec), in, out, false);
}

bool QuorCal::Calib9Pt(const tagLenPar& rec, const tagVosPointF& in, tagVosPointF& out) const {
    return quorcal::calib9Pt(quorcal::viewOf(rec), in, out, false);
}

namespace quorcal {

QuorCal& quorCal() { return g_quorCal; }

double round(double value) { return std::round(value); }

LensView viewOf(const tagLenPar& rec) {
    LensView v;
    v.fieldSize = rec.fieldSize;
    v.resolution = rec.resolution;
    v.center = rec.center;
    v.exchangeXY = rec.exchangeXY;
    v.invertX = rec.invertX;
    v.invertY = rec.invertY;
    v.boxCoef = rec.boxCoef;
    v.tableEnable = rec.tableEnable != 0;
    v.nominalX = {rec.tables[kTableNominalX], kTableLen};
    v.correctedX = {rec.tables[kTableCorrectedX], kTableLen};
    v.nominalY = {rec.tables[kTableNominalY], kTableLen};
    v.correctedY = {rec.tables[kTableCorrectedY], kTableLen};
    v.calPar = &rec.calPar;
    return v;
}

// The values fillFull would put into a record, read where they are.
LensView viewOf(const GalvoParam& galvo) {
    LensView v;
    v.fieldSize = galvo.fieldSize;
    v.resolution = galvo.resolution;
    v.center = galvo.center;
    v.exchangeXY = galvo.exchangeXY ? 1 : 0;
    v.invertX = galvo.invertX ? 1 : 0;
    v.invertY = galvo.invertY ? 1 : 0;
    v.boxCoef = galvo.boxCoef;
    v.tableEnable = galvo.tableEnable;
    v.nominalX = tableOf(galvo.corrTable1);
    v.correctedX = tableOf(galvo.corrTable2);
    v.nominalY = tableOf(galvo.corrTable3);
    v.correctedY = tableOf(galvo.corrTable4);
    v.calPar = &galvo.calPar;
    return v;
}

bool calibBox(const LensView& lens, const tagVosPointF& in, tagVosPointF& out, bool remember) {
    DeviceScale dev{};
    if (!deviceScale(lens, in, dev)) return false;
    const AxisSigns s = axisSigns(lens.exchangeXY, lens.invertX, lens.invertY);
    double x = s.x * in.x;
    double y = s.y * in.y;

    if (lens.tableEnable) {
        if (!applyTable(0, lens.nominalX, lens.correctedX, remember, x)) return false;
        if (!applyTable(1, lens.nominalY, lens.correctedY, remember, y)) return false;
    }

    const double* c = lens.boxCoef;
    const double h = lens.fieldSize / 2.0;
    const double u = x / h;
    const double v = y / h;
    const double xd = x * (1.0 + (c[0] - 1.0) * v * v + (c[4] - 1.0) * v);
    const double yd = y * (1.0 + (c[1] - 1.0) * u * u + (c[5] - 1.0) * u);
    const double bx = c[6] / 100.0 * (xd + (c[3] - 1.0) * yd);
    const double by = c[7] / 100.0 * (yd + (c[2] - 1.0) * xd);
    return emit(dev, s.x * bx, s.y * by, out);
}

bool calib9Pt(const LensView& lens, const tagVosPointF& in, tagVosPointF& out, bool remember) {
    DeviceScale dev{};
    if (!deviceScale(lens, in, dev)) return false;
    const GalvoCalPar& cal = *lens.calPar;
    const double pitch = cal.gridPitch;
    if (!(pitch > 0.0) || !std::isfinite(pitch)) return false;

    GridFit fresh;
    if (!remember) fresh = fitGrid(cal);
    const GridFit& fit = remember ? rememberedFit(cal) : fresh;
    if (!fit.ok) return false;

    const AxisSigns s = axisSigns(cal.exchangeXY, cal.invertX, cal.invertY);
    double basis[9];
    biquadraticBasis(s.x * in.x / pitch, s.y * in.y / pitch, basis);
    double fx = 0.0;
    double fy = 0.0;
    for (int k = 0; k < 9; ++k) {
        fx += basis[k] * fit.coef[k][0];
        fy += basis[k] * fit.coef[k][1];
    }
    return emit(dev, s.x * fx * pitch, s.y * fy * pitch, out);
}

bool mapInPlace(const GalvoParam& galvo, const tagVosPointF& in, tagVosPointF& out) {
    const LensView lens = viewOf(galvo);
    return galvo.use9Point ? calib9Pt(lens, in, out, true) : calibBox(lens, in, out, true);
}

bool mapWithFullRecord(const GalvoParam& galvo, const tagVosPointF& in, tagVosPointF& out) {
    tagLenPar rec;
    fillFull(rec, galvo);
    const QuorCal& lib = quorCal();
    return galvo.use9Point ? lib.Calib9Pt(rec, in, out) : lib.CalibBox(rec, in, out);
}

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
