#pragma once
// The built-in demo job: a test square, its diagonals, a circle and a line of text.

#include "executor/planner/job.h"
#include "mark.h"

namespace cli {

// In millimetres, for a field of at least 100 mm.
planner::Job demoJob();

// Marks the demo job on a simulated board and writes the trace picture.
int runDemo(const MarkOptions& options);

}  // namespace cli
