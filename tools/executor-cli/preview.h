#pragma once
// A picture of a plan before anything is marked: the lens field, jumps thin and dashed, marks
// coloured per pen, and a legend of the pens with their settings.

#include <string>

#include "executor/planner/planner.h"

namespace cli {

// An SVG document in millimetres, +y up as on the board, for a field of fieldMm centred on 0.
std::string planToSvg(const planner::Job& job, const planner::Plan& plan, double fieldMm);

}  // namespace cli
