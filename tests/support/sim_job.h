#pragma once

#include "executor/executor.h"

// The small job that the end-to-end tests run on every link: a 100 mm lens with a linear power
// table, one pen, and a 20 mm square around the centre.
namespace sim_job {

inline TarnParam lens() {
    TarnParam t;
    t.galvo.fieldSize = 100;
    t.galvo.setResolution(65535);  // 655.35 units per mm around 32768
    t.laser.laserType = LASER_TYPE_0;
    t.laser.pwmEnable0 = 1;
    for (int i = 0; i <= 10; ++i) t.laser.powerTable0[i] = static_cast<float>(10 * i);
    return t;
}

inline PenParam pen() {
    PenParam p;
    p.power = 50;
    p.frequency = 20;
    return p;
}

inline MarkCtrlData linear() {
    MarkCtrlData c;
    c.markType = MARK_TYPE_LINEAR;
    return c;
}

// One jump, four marks.
inline void markSquare(Executor& e) {
    const TarnParam t = lens();
    e.sendMarkPara(t, false, MARK_TYPE_LINEAR);
    e.setStartMark();
    e.sendPenPara(t.laser, pen());
    e.gotoPositionAbs(t, {-10, -10}, 100, 10, linear());
    for (Point2dConcept<double> p : {Point2dConcept<double>{10, -10}, {10, 10}, {-10, 10}, {-10, -10}})
        e.linetoPositionAbs(t, p, 200, 0, linear());
}

}  // namespace sim_job
