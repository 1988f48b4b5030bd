#include "executor/core/executor.h"

// Convenience moves of the extension axes; with wait they run the list and block until the
// axes stop.

void Executor::moveAxis(const ExtAxisPar& axis, int count, bool direction, bool wait) {
    sendAxisMovePulse(axis, count, direction);
    if (!wait) return;
    // A null vector command after the axis move, so the list has something to finish on.
    sendMoveToRel(Point2dConcept<int>(0, 0), 0, 1);
    exeCurCmd(true);
    waitForMoveFinish(static_cast<uint8_t>(axis.id()));
}

void Executor::moveAxis(const ExtAxisParArray& axes, std::vector<int> counts, std::vector<bool> directions, bool wait) {
    sendAxisMovePulse(axes, counts, directions);
    if (!wait) return;
    sendMoveToRel(Point2dConcept<int>(0, 0), 0, 1);
    exeCurCmd(true);
    for (size_t i = 0; i < axes.count(); ++i) waitForMoveFinish(static_cast<uint8_t>(axes[i].id()));
}
