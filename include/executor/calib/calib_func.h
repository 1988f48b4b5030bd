#pragma once

#include "executor/export.h"
#include "executor/platform/param.h"
#include "executor/types.h"

// Maps logical points in millimetres to galvo device units for one lens: offset and rotation,
// an optional per-call displacement and rotation, then the linear, fly or calibrated mapping
// chosen by the mark type, and clamping to the device range. Stateless.
class EXECUTOR_API CalibFunc {
public:
    CalibFunc() = default;
    CalibFunc(const CalibFunc&) = default;
    CalibFunc(CalibFunc&&) = default;
    CalibFunc& operator=(const CalibFunc&) = default;
    CalibFunc& operator=(CalibFunc&&) = default;

    // Writes the clamped device point for logic; returns 1 when the chosen mapping succeeded,
    // 0 when the calibration failed (the device point is written either way). mr may be null.
    static int LP2DPEX(MarkType type, Point2dConcept<double> logic, Point2dConcept<int>& dev, const GalvoParam& galvo,
                       const RedlightParam& red, bool redlight, const MRPara* mr);

protected:
    static bool logicPtToDevPt(Point2dConcept<double> logic, Point2dConcept<int>& dev, const GalvoParam& galvo);
    static bool logicPtToDevPtFly(MarkType type, Point2dConcept<double> logic, Point2dConcept<int>& dev,
                                  const GalvoParam& galvo, const RedlightParam& red, bool redlight);
    static bool calibPoint(const GalvoParam& galvo, Point2dConcept<double> logic, Point2dConcept<int>& dev);
};
