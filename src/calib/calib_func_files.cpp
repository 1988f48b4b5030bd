#include <algorithm>
#include <climits>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "calib/quorcal.h"
#include "executor/calib/calib_func.h"
#include "executor/platform/codec.h"

namespace {

// What the equal-spacing reader offers the library.
constexpr int kEqualCapacity = 1000;

// Identity where the narrow code page is UTF-8, as on every platform served.
std::string narrowPath(const char* path) { return utils::codec::utf82ANSI(path); }

// Out-of-range values become infinities rather than undefined.
float toFloat(double value) {
    const double limit = std::numeric_limits<float>::max();
    if (value > limit) return std::numeric_limits<float>::infinity();
    if (value < -limit) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

bool validGridSize(int n) { return n >= 0 && n <= quorcal::kMaxGridSize; }

tagCalData toLib(const CalData& d) { return {d.nominalX, d.nominalY, d.measuredX, d.measuredY}; }

CalData fromLib(const tagCalData& d) { return {d.nominalX, d.nominalY, d.measuredX, d.measuredY}; }

}  // namespace

bool CalibFunc::loadUcf(const char* path, GalvoParam& galvo) {
    if (path == nullptr) return false;
    const std::string narrow = narrowPath(path);
    // The library sees the current values as defaults.
    tagLenPar rec;
    quorcal::fillBasic(rec, galvo);
    if (!quorcal::quorCal().loadUcf(narrow.c_str(), rec)) return false;

    galvo.fieldSize = rec.fieldSize;  // before setResolution, which derives the scale from it
    galvo.areaSizeX = rec.areaSize;
    galvo.areaSizeY = rec.areaSize;
    galvo.setResolution(rec.resolution);
    galvo.exchangeXY = rec.exchangeXY != 0;
    galvo.invertX = rec.invertX != 0;
    galvo.invertY = rec.invertY != 0;
    galvo.calPar = rec.calPar;
    return true;
}

bool CalibFunc::saveUcf(const char* path, const GalvoParam& galvo) {
    if (path == nullptr) return false;
    const std::string narrow = narrowPath(path);
    tagLenPar rec;
    quorcal::fillBasic(rec, galvo);
    return quorcal::quorCal().saveUcf(narrow.c_str(), rec);
}

bool CalibFunc::getBasePara(const char* path, double& fieldSize, double& areaSize, int& resolution) {
    if (path == nullptr) return false;
    return quorcal::quorCal().getBasePara(narrowPath(path).c_str(), fieldSize, areaSize, resolution);
}

bool CalibFunc::getRecManParas(Lvs lvs, double side, CalPar current, CalPar& corrected) {
    const double measured[9] = {lvs.topLength,      lvs.middleXLength,   lvs.bottomLength,
                                lvs.leftLength,     lvs.middleYLength,   lvs.rightLength,
                                lvs.risingDiagonal, lvs.fallingDiagonal, lvs.middleRise};
    const double in[9] = {current.scaleX,      current.scaleY,      current.pincushionX,
                          current.pincushionY, current.shearYWithX, current.shearXWithY,
                          current.trapezoidX,  current.trapezoidY,  side};
    double out[8] = {};
    if (!quorcal::quorCal().getRecManParas(measured, in, out)) return false;

    if (!(out[0] > 0.0) || !(out[1] > 0.0)) return false;
    for (int k = 2; k < 8; ++k) {
        if (!(out[k] > 0.8 && out[k] < 1.2)) return false;
    }
    corrected = {out[0], out[1], out[2], out[3], out[4], out[5], out[6], out[7]};
    return true;
}

bool CalibFunc::getEqualPnts(const char* path, int selector, std::vector<Point2dConcept<double>>& points) {
    if (path == nullptr) return false;
    const std::string narrow = narrowPath(path);
    std::vector<tagVosPointF> buffer(kEqualCapacity);
    int count = kEqualCapacity;
    const bool ok = quorcal::quorCal().getEqualPnts(narrow.c_str(), selector, count, buffer.data());
    if (ok && count >= 1) {
        // Never past the buffer, whatever the count says.
        const auto used = buffer.begin() + std::min(count, kEqualCapacity);
        for (auto p = buffer.begin(); p != used; ++p) points.push_back({p->x, p->y});
    }
    return ok;
}

bool CalibFunc::setEqualPnts(const char* path, int selector, const std::vector<Point2dConcept<double>>& points) {
    if (path == nullptr || points.size() > static_cast<size_t>(INT_MAX)) return false;
    const std::string narrow = narrowPath(path);
    std::vector<tagVosPointF> buffer;
    buffer.reserve(points.size());
    for (const auto& p : points) buffer.push_back({toFloat(p.x), toFloat(p.y)});
    return quorcal::quorCal().setEqualPnts(narrow.c_str(), selector, static_cast<int>(buffer.size()), buffer.data());
}

bool CalibFunc::getCalibPnts(const char* path, int selector, int& n, std::vector<CalData>& points) {
    if (path == nullptr || !validGridSize(n)) return false;
    const std::string narrow = narrowPath(path);
    // The library may change n; the buffer and what is appended keep the size asked for.
    const size_t cells = static_cast<size_t>(n) * static_cast<size_t>(n);
    std::vector<tagCalData> buffer(cells);
    const bool ok = quorcal::quorCal().getCalibPnts(narrow.c_str(), selector, n, buffer.data());
    if (ok && cells >= 1) {
        for (const tagCalData& d : buffer) points.push_back(fromLib(d));
    }
    return ok;
}

bool CalibFunc::setCalibPnts(const char* path, int selector, int n, const std::vector<CalData>& points) {
    if (path == nullptr || !validGridSize(n)) return false;
    const size_t cells = static_cast<size_t>(n) * static_cast<size_t>(n);
    if (points.size() < cells) return false;
    const std::string narrow = narrowPath(path);
    std::vector<tagCalData> buffer(cells);
    std::transform(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(cells), buffer.begin(), toLib);
    return quorcal::quorCal().setCalibPnts(narrow.c_str(), selector, n, buffer.data());
}
