#include "executor/calib/calib_func.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "calib/quorcal.h"
#include "cmd/counts.h"

namespace {

// Narrowing that keeps out-of-range values as infinities instead of leaving them undefined.
float toFloat(double value) {
    const double limit = std::numeric_limits<float>::max();
    if (value > limit) return std::numeric_limits<float>::infinity();
    if (value < -limit) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// Counter-clockwise rotation of p about (cx, cy), given cosine, sine and 1 - cosine.
void rotate(Point2dConcept<double>& p, double c, double s, double k, double cx, double cy) {
    const double x = p.x * c - p.y * s + cx * k + cy * s;
    const double y = p.y * c + p.x * s + cy * k - cx * s;
    p.x = x;
    p.y = y;
}

// The board exchanges the galvo channels itself, so with exchange set only the inversion
// flags trade axes; the coordinates stay where they are.
Point2dConcept<double> routeFlags(Point2dConcept<double> p, bool exchange, bool invertX, bool invertY) {
    const bool flipX = exchange ? invertY : invertX;
    const bool flipY = exchange ? invertX : invertY;
    return {flipX ? -p.x : p.x, flipY ? -p.y : p.y};
}

int32_t linearUnit(double mm, const GalvoParam& galvo) {
    return counts::truncInt32(quorcal::round(mm * galvo.scale) + galvo.center);
}

int32_t clampUnit(int32_t value, int32_t resolution) {
    if (value < 0) return 0;
    if (value > resolution) return resolution;
    return value;
}

// Red-light correction of a calibrated device point: scale about the centre, then shift.
void redlightInDevice(Point2dConcept<int>& dev, const GalvoParam& galvo, const RedlightParam& red) {
    const int64_t c = galvo.center;
    dev.y = counts::truncInt32(static_cast<double>(dev.y - c) * red.scaleY + galvo.center);
    dev.x = counts::truncInt32(static_cast<double>(dev.x - c) * red.scaleX + galvo.center);

    const bool invertX = galvo.use9Point ? galvo.calPar.invertX != 0 : galvo.invertX;
    const bool invertY = galvo.use9Point ? galvo.calPar.invertY != 0 : galvo.invertY;
    const double shiftX = red.offsetX * galvo.scale;
    const double shiftY = red.offsetY * galvo.scale;
    dev.x = counts::truncInt32(invertX ? dev.x - shiftX : dev.x + shiftX);
    dev.y = counts::truncInt32(invertY ? dev.y - shiftY : dev.y + shiftY);
}

}  // namespace

int CalibFunc::LP2DPEX(MarkType type, Point2dConcept<double> logic, Point2dConcept<int>& dev, const GalvoParam& galvo,
                       const RedlightParam& red, bool redlight, const MRPara* mr) {
    Point2dConcept<double> p = logic;
    p.x += galvo.offsetX;
    p.y += galvo.offsetY;

    // Single precision, as the lens angle is stored.
    if (std::fabs(static_cast<double>(galvo.angle)) > 0.0001) {
        const float a = galvo.angle * 0.017453292f;
        const float c = cosf(a);
        const float s = sinf(a);
        const float k = 1.0f - c;
        rotate(p, c, s, k, galvo.rotCenterX, galvo.rotCenterY);
    }

    if (mr != nullptr) {
        p.x += mr->moveX;
        p.y += mr->moveY;
        if (std::fabs(mr->angle) >= 0.0001) {
            const double a = mr->angle * 0.017453292519943295;
            const double c = std::cos(a);
            rotate(p, c, std::sin(a), 1.0 - c, mr->rotCenterX, mr->rotCenterY);
        }
    }

    bool ok = false;
    if (type == MARK_TYPE_LINEAR) {
        ok = logicPtToDevPt(p, dev, galvo);
    } else if (type >= MARK_TYPE_FLY_FIRST && type <= MARK_TYPE_FLY_LAST) {
        ok = logicPtToDevPtFly(type, p, dev, galvo, red, redlight);
    } else {
        ok = calibPoint(galvo, p, dev);
        if (redlight) redlightInDevice(dev, galvo, red);
    }

    // Out of range is not an error: the galvo simply stops at the field edge.
    dev.x = clampUnit(dev.x, galvo.resolution);
    dev.y = clampUnit(dev.y, galvo.resolution);
    return ok ? 1 : 0;
}

bool CalibFunc::logicPtToDevPt(Point2dConcept<double> logic, Point2dConcept<int>& dev, const GalvoParam& galvo) {
    const GalvoCalPar& cal = galvo.calPar;
    const Point2dConcept<double> p = routeFlags(logic, cal.exchangeXY != 0, cal.invertX != 0, cal.invertY != 0);
    dev.x = linearUnit(p.x, galvo);
    dev.y = linearUnit(p.y, galvo);
    return true;
}

bool CalibFunc::logicPtToDevPtFly(MarkType /*type*/, Point2dConcept<double> logic, Point2dConcept<int>& dev,
                                  const GalvoParam& galvo, const RedlightParam& red, bool redlight) {
    if (redlight) {
        logic.x = red.scaleX * logic.x + red.offsetX;
        logic.y = red.scaleY * logic.y + red.offsetY;
    }
    dev.x = linearUnit(logic.x, galvo);
    dev.y = linearUnit(logic.y, galvo);
    return true;
}

bool CalibFunc::calibPoint(const GalvoParam& galvo, Point2dConcept<double> logic, Point2dConcept<int>& dev) {
    const Point2dConcept<double> p =
        galvo.use9Point
            ? routeFlags(logic, galvo.calPar.exchangeXY != 0, galvo.calPar.invertX != 0, galvo.calPar.invertY != 0)
            : routeFlags(logic, galvo.exchangeXY, galvo.invertX, galvo.invertY);

    // Read from the lens parameters in place: they may change between calls, and a record
    // filled for every point would cost more than the mapping.
    const tagVosPointF in{toFloat(p.x), toFloat(p.y)};
    tagVosPointF out{};
    const bool ok = quorcal::mapInPlace(galvo, in, out);
    dev.x = counts::truncInt32(roundf(out.x));
    dev.y = counts::truncInt32(roundf(out.y));
    return ok;
}
