#pragma once
// Fitting a drawing to the field from the command line: the --size and --offset values, and what
// happens to the parts of a drawing that still lie beyond the field.

#include <optional>
#include <string>

#include "executor/planner/job.h"

namespace cli {

// Parts beyond the field are always cut off before planning, never squeezed onto its edge. Refuse
// stops instead when more than kOutsideShareLimit of the mark length would go.
enum class Outside { Refuse, Clip };

constexpr double kOutsideShareLimit = 0.005;

// "WxH", "Wx" or "xH" in mm. Throws std::invalid_argument for anything else, or a side that is not
// a positive number.
void parseSize(const std::string& text, std::optional<double>& width, std::optional<double>& height);

// "X,Y" in mm. Throws std::invalid_argument for anything else.
void parseOffset(const std::string& text, double& x, double& y);

// Clips job to the square field of fieldMm and warns on standard error how much went; with
// Outside::Refuse, throws CliError(kExitBadInput) naming file instead when that is more than
// kOutsideShareLimit of the mark length.
void keepInsideField(planner::Job& job, double fieldMm, const std::string& file, Outside outside);

}  // namespace cli
