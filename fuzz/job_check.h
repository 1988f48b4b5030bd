#pragma once
// What every imported job must hold, whatever the input was.

#include <cstdlib>

#include "executor/planner/job.h"

namespace fuzz {

inline void checkJob(const planner::Job& job) {
    for (const planner::Polyline& line : job.polylines) {
        if (line.pen >= job.pens.size()) std::abort();  // a stroke with a pen nobody defined
    }
}

}  // namespace fuzz
