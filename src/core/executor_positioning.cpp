#include "executor/calib/calib_func.h"
#include "executor/core/executor.h"

namespace {

// The clamped device point is used even when a calibrated mapping fails.
Point2dConcept<int> toDevice(const TarnParam& lens, Point2dConcept<double> point, const MarkCtrlData& ctrl) {
    Point2dConcept<int> dev(0, 0);
    const MRPara* extension = dynamic_cast<const MRPara*>(ctrl.ext);
    CalibFunc::LP2DPEX(ctrl.markType, point, dev, lens.galvo, lens.redlight, ctrl.redlight, extension);
    return dev;
}

}  // namespace

uint32_t Executor::positionAbs(const TarnParam& lens, Point2dConcept<double> target, uint16_t steps, uint16_t delay,
                               const MarkCtrlData& ctrl, bool mark) {
    const Point2dConcept<int> dev = toDevice(lens, target, ctrl);
    if (mark) {
        sendLineToAbs(dev, steps, delay);
    } else {
        sendMoveToAbs(dev, steps, delay);
    }
    m_lastLogicPt = target;
    m_lastDevPt = dev;
    return static_cast<uint32_t>(steps) + delay;
}

uint32_t Executor::positionRel(const TarnParam& lens, Point2dConcept<double> offset, uint16_t steps, uint16_t delay,
                               const MarkCtrlData& ctrl, bool mark) {
    // Adjustments (lens offset, rotation, extension) apply afresh to the absolute point each time.
    const Point2dConcept<double> target(offset.x + m_lastLogicPt.x, offset.y + m_lastLogicPt.y);
    const Point2dConcept<int> dev = toDevice(lens, target, ctrl);
    const Point2dConcept<int> move(dev.x - m_lastDevPt.x, dev.y - m_lastDevPt.y);
    if (mark) {
        sendLineToRel(move, steps, delay);
    } else {
        sendMoveToRel(move, steps, delay);
    }
    m_lastLogicPt = target;
    m_lastDevPt = dev;
    return static_cast<uint32_t>(steps) + delay;
}

uint32_t Executor::gotoPositionAbs(const TarnParam& lens, Point2dConcept<double> target, uint16_t steps, uint16_t delay,
                                   MarkCtrlData ctrl) {
    return positionAbs(lens, target, steps, delay, ctrl, false);
}

uint32_t Executor::gotoPositionRel(const TarnParam& lens, Point2dConcept<double> offset, uint16_t steps, uint16_t delay,
                                   MarkCtrlData ctrl) {
    return positionRel(lens, offset, steps, delay, ctrl, false);
}

uint32_t Executor::linetoPositionAbs(const TarnParam& lens, Point2dConcept<double> target, uint16_t steps,
                                     uint16_t delay, MarkCtrlData ctrl) {
    return positionAbs(lens, target, steps, delay, ctrl, true);
}

uint32_t Executor::linetoPositionRel(const TarnParam& lens, Point2dConcept<double> offset, uint16_t steps,
                                     uint16_t delay, MarkCtrlData ctrl) {
    return positionRel(lens, offset, steps, delay, ctrl, true);
}
