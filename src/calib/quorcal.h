#pragma once

#include <cstddef>
#include <cstdint>

#include "executor/platform/param.h"

// Calibration library: the lens record handed to it, and the two calibrated mappings from
// millimetres to galvo device units.
//
// Common to both mappings
// -----------------------
// The input point is in millimetres, already offset, rotated and routed through the exchange
// and inversion flags by the caller. The output is in device units, unrounded:
//     dev = mm * scale + center,   scale = resolution / fieldSize
// with resolution, fieldSize and center taken from the record (not GalvoParam::scale, which
// the record does not carry). With neutral parameters both mappings are this linear map.
//
// Corrections are defined on logical coordinates, so both mappings first undo the inversion
// the caller applied and redo it on the result. The signs follow the caller's routing: X is
// negated by invertX, or by invertY when exchangeXY is set; Y by invertY, or by invertX when
// exchangeXY is set. CalibBox reads the record's box flags, Calib9Pt the flags of calPar,
// matching the flags the caller routed with.
//
// The record's offset, angle and rotation centre are carried for calibration files only; the
// input is already offset and rotated, so the mappings do not apply them again.
//
// Both return false, leaving out untouched, when fieldSize <= 0, resolution <= 0, an input
// coordinate is NaN, their own parameters are unusable (below), or the result is not finite.
//
// CalibBox
// --------
// c[0..7] = boxCoef; h = fieldSize / 2. With (x, y) the logical point:
//   1. Tables, when tableEnable is set: x = Tx(x), y = Ty(y) (see below).
//   2. Correction words, with u = x / h, v = y / h:
//        xd = x * (1 + (c[0] - 1) * v^2 + (c[4] - 1) * v)
//        yd = y * (1 + (c[1] - 1) * u^2 + (c[5] - 1) * u)
//      c[0], c[1]: pincushion (> 1: the ends of vertical, resp. horizontal, lines move out)
//      or barrel (< 1); c[4], c[5]: trapezoid (> 1: X widens towards +y, resp. Y towards +x).
//   3. Scale and shear, the 2 x 2 transform of the board's box command without its signs:
//        X = c[6] / 100 * (xd + (c[3] - 1) * yd)
//        Y = c[7] / 100 * (yd + (c[2] - 1) * xd)
//      c[6], c[7] scale X and Y in percent (90 shrinks by 10 %).
// Every coefficient is neutral at its default (1.0, and 100.0 for c[6] and c[7]).
//
// Correction tables: per axis a pair of nominal and corrected positions in logical mm, as the
// board's equi-scale command pairs them: corrTable1 (nominal) with corrTable2 (corrected) for X,
// corrTable3 with corrTable4 for Y. Record slots: kTableNominalX .. kTableCorrectedY below.
// A pair uses its leading entries up to the first unset (NaN) value of either table, so it
// has as many entries as the shorter vector. Nominal values must increase strictly (else the
// mapping fails); between them the correction is piecewise linear, outside their range the
// end segment is extended, keeping the map continuous and monotonic. A pair with fewer than
// two entries leaves its axis uncorrected. tableCount, corrTable5 and corrTable6 are carried
// for calibration files only.
//
// Calib9Pt
// --------
// calPar.gridPoints[i] is where the beam landed (logical mm) when nominal grid point i,
// ((i % 3 - 1) * gridPitch, (i / 3 - 1) * gridPitch), was sent without correction. To land a
// point there again the mapping must send nominal point i, so it is the biquadratic map F with
// F(gridPoints[i]) = nominal i, fitted in the basis 1, u, v, u^2, uv, v^2, u^2 v, u v^2, u^2 v^2
// (u, v = coordinates / gridPitch). It is exact at the nine measured positions, smooth, and the
// identity for an undistorted grid. Fails when gridPitch <= 0 or the nine positions do not
// determine the fit (coincident or collinear points, non-finite values).
//
// Threads: the mappings of QuorCal keep no state; the in-place ones below keep only per-thread
// memos. All may run concurrently.

// A point as the library exchanges it.
struct tagVosPointF {  // NOLINT(readability-identifier-naming): the library's own name
    float x = 0.0f;
    float y = 0.0f;
};

// Lens record of the library. The layout is part of the library's interface: every member
// sits at a fixed offset (checked below). Table slots are NaN until filled: NaN marks the end
// of a table.
struct tagLenPar {  // NOLINT(readability-identifier-naming): the library's own name
    float reserved0 = 10000.0f;
    uint8_t pad0[4] = {};
    double fieldSize = 100.0;
    double areaSize = 80.0;  // larger of the two working-area extents
    int32_t resolution = 65535;
    int32_t center = 32768;
    double libExtent = 1073741824.0;
    int32_t exchangeXY = 0;  // box flags, 0/1
    int32_t invertX = 0;
    int32_t invertY = 0;
    uint8_t pad1[4] = {};
    double offsetX = 0.0;
    double offsetY = 0.0;
    double angle = 0.0;
    double rotCenterX = 0.0;
    double rotCenterY = 0.0;
    double boxCoef[8] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 100.0, 100.0};
    int32_t tableEnable = 0;
    int32_t tableCount = 21;
    double tables[6][100];
    uint8_t reserved1[8] = {};
    float reserved2 = 1.0f;
    float reserved3 = 1.0f;
    int32_t use9Point = 0;
    uint8_t reserved4[256] = {};
    GalvoCalPar calPar;

    tagLenPar();
};

namespace quorcal {

constexpr int kTableLen = 100;
// Slots of tagLenPar::tables; the last two hold corrTable5 and corrTable6.
enum TableSlot : int {
    kTableNominalX = 0,    // corrTable1
    kTableNominalY = 1,    // corrTable3
    kTableCorrectedX = 2,  // corrTable2
    kTableCorrectedY = 3,  // corrTable4
};

}  // namespace quorcal

static_assert(offsetof(tagLenPar, reserved0) == 0x0000, "tagLenPar layout");
static_assert(offsetof(tagLenPar, pad0) == 0x0004, "tagLenPar layout");
static_assert(offsetof(tagLenPar, fieldSize) == 0x0008, "tagLenPar layout");
static_assert(offsetof(tagLenPar, areaSize) == 0x0010, "tagLenPar layout");
static_assert(offsetof(tagLenPar, resolution) == 0x0018, "tagLenPar layout");
static_assert(offsetof(tagLenPar, center) == 0x001C, "tagLenPar layout");
static_assert(offsetof(tagLenPar, libExtent) == 0x0020, "tagLenPar layout");
static_assert(offsetof(tagLenPar, exchangeXY) == 0x0028, "tagLenPar layout");
static_assert(offsetof(tagLenPar, invertX) == 0x002C, "tagLenPar layout");
static_assert(offsetof(tagLenPar, invertY) == 0x0030, "tagLenPar layout");
static_assert(offsetof(tagLenPar, pad1) == 0x0034, "tagLenPar layout");
static_assert(offsetof(tagLenPar, offsetX) == 0x0038, "tagLenPar layout");
static_assert(offsetof(tagLenPar, offsetY) == 0x0040, "tagLenPar layout");
static_assert(offsetof(tagLenPar, angle) == 0x0048, "tagLenPar layout");
static_assert(offsetof(tagLenPar, rotCenterX) == 0x0050, "tagLenPar layout");
static_assert(offsetof(tagLenPar, rotCenterY) == 0x0058, "tagLenPar layout");
static_assert(offsetof(tagLenPar, boxCoef) == 0x0060, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tableEnable) == 0x00A0, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tableCount) == 0x00A4, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tables) == 0x00A8, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tables[1]) == 0x03C8, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tables[2]) == 0x06E8, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tables[3]) == 0x0A08, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tables[4]) == 0x0D28, "tagLenPar layout");
static_assert(offsetof(tagLenPar, tables[5]) == 0x1048, "tagLenPar layout");
static_assert(offsetof(tagLenPar, reserved1) == 0x1368, "tagLenPar layout");
static_assert(offsetof(tagLenPar, reserved2) == 0x1370, "tagLenPar layout");
static_assert(offsetof(tagLenPar, reserved3) == 0x1374, "tagLenPar layout");
static_assert(offsetof(tagLenPar, use9Point) == 0x1378, "tagLenPar layout");
static_assert(offsetof(tagLenPar, reserved4) == 0x137C, "tagLenPar layout");
static_assert(offsetof(tagLenPar, calPar) == 0x1480, "tagLenPar layout");
static_assert(sizeof(tagLenPar) == 0x1480 + sizeof(GalvoCalPar), "tagLenPar layout");

// One calibration grid point (logical mm): where the point was meant to land and where it did.
struct tagCalData {  // NOLINT(readability-identifier-naming): the library's own name
    float nominalX = 0.0f;
    float nominalY = 0.0f;
    float measuredX = 0.0f;
    float measuredY = 0.0f;
};

namespace quorcal {

// Largest equal-spacing point set and largest calibration grid side a file holds.
constexpr int kMaxEqualPnts = 1000;
constexpr int kMaxGridSize = 256;

}  // namespace quorcal

// The calibration library. Its single instance is a global object (see quorCal), so it exists
// from the moment the library is loaded until it is unloaded.
class QuorCal {
public:
    constexpr QuorCal() = default;
    QuorCal(const QuorCal&) = delete;
    QuorCal& operator=(const QuorCal&) = delete;

    // Calibrated mappings described above; out is written only on success.
    bool Calib9Pt(const tagLenPar& rec, const tagVosPointF& in, tagVosPointF& out) const;
    bool CalibBox(const tagLenPar& rec, const tagVosPointF& in, tagVosPointF& out) const;

    // Calibration files (format in quorcal_file.cpp). Paths are narrow strings in the platform's
    // code page, which is UTF-8 on the platforms served. Every call returns false, changing
    // neither its outputs nor the file, for a null path or buffer, a missing, truncated,
    // malformed or other-version file, or an argument beyond the limits above.
    //
    // loadUcf copies the stored lens values into rec (its reserved members stay); false for a
    // file without a lens. saveUcf stores rec's lens values, keeping the point sets of an existing
    // file; an existing file that is not a readable calibration file is left alone (false).
    bool loadUcf(const char* path, tagLenPar& rec) const;
    bool saveUcf(const char* path, const tagLenPar& rec) const;
    // The stored field size (mm), working area size (mm, the larger extent) and resolution
    // (largest device coordinate).
    bool getBasePara(const char* path, double& fieldSize, double& areaSize, int& resolution) const;

    // Point sets by selector (any int). count carries the capacity of buffer in and the number of
    // points out; a set larger than the capacity fails with count set to its size. A missing set
    // fails. getCalibPnts succeeds only when n is the stored grid side; otherwise it fails with n
    // set to that side, so n = 0 asks for it. Setting a set replaces the one with its selector
    // and keeps everything else; a missing file is created holding just that set (no lens).
    bool getEqualPnts(const char* path, int selector, int& count, tagVosPointF* buffer) const;
    bool setEqualPnts(const char* path, int selector, int count, const tagVosPointF* buffer) const;
    bool getCalibPnts(const char* path, int selector, int& n, tagCalData* buffer) const;
    bool setCalibPnts(const char* path, int selector, int n, const tagCalData* buffer) const;

    // Box parameters from the measurements of a test mark (method in quorcal_file.cpp).
    //   lvs, nine measurements in mm of a square of side calPar[8] spanning the lens field,
    //   marked with its two centre lines using the box parameters calPar[0..7]:
    //     0..2  X lengths of the top edge, the horizontal centre line and the bottom edge
    //     3..5  Y lengths of the left edge, the vertical centre line and the right edge
    //     6, 7  diagonals from the bottom-left and from the top-left corner
    //     8     rise of the horizontal centre line: Y of its right end minus Y of its left end
    //   calPar, result: X and Y scale in percent, then pincushion X and Y, the shear of Y with X
    //   and of X with Y, trapezoid X and Y: boxCoef[6], [7], [0] .. [5].
    // result holds the parameters that make the same lens mark the square true. False, result
    // untouched, for non-finite input, a side or a length that is not positive, or a
    // non-finite result.
    bool getRecManParas(const double* lvs, const double* calPar, double* result) const;
};

namespace quorcal {

// The process-wide instance. It is constant-initialised, so even other static initialisers
// may use it; keep QuorCal's constructor constexpr when adding members.
QuorCal& quorCal();

// Nearest whole number, halves away from zero (2.5 -> 3, -2.5 -> -3).
double round(double value);

// The lens values the calibrated mappings read, pointing into wherever they are kept: a lens
// record, or the host's GalvoParam, which then maps points without a record copied per point.
// A table holds at most size values and ends early at its first NaN.
struct TableView {
    const double* values = nullptr;
    int size = 0;
};

struct LensView {
    double fieldSize = 0.0;
    int32_t resolution = 0;
    int32_t center = 0;
    int32_t exchangeXY = 0;  // the box flags, as the record holds them
    int32_t invertX = 0;
    int32_t invertY = 0;
    const double* boxCoef = nullptr;  // 8 values
    bool tableEnable = false;
    TableView nominalX, correctedX, nominalY, correctedY;
    const GalvoCalPar* calPar = nullptr;
};

LensView viewOf(const tagLenPar& rec);
LensView viewOf(const GalvoParam& galvo);

// The mappings of QuorCal on a view. With remember, each thread keeps what depends on the lens
// alone, the last nine-point grid fit and the last table checks, and reuses it while the values it
// came from stay bit for bit the same: results equal computing afresh, and that was most of the
// work per point.
bool calibBox(const LensView& lens, const tagVosPointF& in, tagVosPointF& out, bool remember);
bool calib9Pt(const LensView& lens, const tagVosPointF& in, tagVosPointF& out, bool remember);

// The calibrated mapping of a point for galvo, box or nine-point as use9Point says: from the lens
// values in place (what CalibFunc uses), and the same by the straightforward reading, a complete
// record filled for the point (the yardstick of tests and benchmarks). Results are bit-identical.
bool mapInPlace(const GalvoParam& galvo, const tagVosPointF& in, tagVosPointF& out);
bool mapWithFullRecord(const GalvoParam& galvo, const tagVosPointF& in, tagVosPointF& out);

// Basic fill: field size, working area, resolution, centre, libExtent, the box flags and calPar.
void fillBasic(tagLenPar& rec, const GalvoParam& galvo);
// Basic fill plus offset, rotation, box coefficients, table flag and count, use9Point and,
// only when tableEnable is set, the six tables.
void fillFull(tagLenPar& rec, const GalvoParam& galvo);

}  // namespace quorcal
