#include "field_fit.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "cli_error.h"
#include "executor/planner/placement.h"

namespace cli {

namespace {

// Below this a cut is the rounding of a drawing fitted onto the border, far under one galvo step.
constexpr double kRoundingMm = 1e-6;
constexpr double kPercent = 100;

// The finite number that is all of text, if it is one.
std::optional<double> numberOf(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

void parseSize(const std::string& text, std::optional<double>& width, std::optional<double>& height) {
    const std::invalid_argument bad("\"" + text + "\" is not a size in mm like 40x30, 40x or x30");
    const std::size_t cross = text.find_first_of("xX");
    if (cross == std::string::npos || cross != text.find_last_of("xX") || text.size() == 1) throw bad;
    const std::string sides[2] = {text.substr(0, cross), text.substr(cross + 1)};
    std::optional<double>* targets[2] = {&width, &height};
    for (int i = 0; i < 2; ++i) {
        const std::optional<double> side = numberOf(sides[i]);
        if (!sides[i].empty() && !(side && *side > 0)) throw bad;
        *targets[i] = side;
    }
}

void parseOffset(const std::string& text, double& x, double& y) {
    const std::size_t comma = text.find(',');
    const std::optional<double> parsedX = comma == std::string::npos ? std::nullopt : numberOf(text.substr(0, comma));
    const std::optional<double> parsedY = parsedX ? numberOf(text.substr(comma + 1)) : std::nullopt;
    if (!parsedY) throw std::invalid_argument("\"" + text + "\" is not an offset in mm like 10,-5");
    x = *parsedX;
    y = *parsedY;
}

void keepInsideField(planner::Job& job, double fieldMm, const std::string& file, Outside outside) {
    const planner::Bounds extent = planner::boundsOf(job);
    const planner::ClipSummary cut = planner::clipToField(job, fieldMm);
    const double share = cut.lengthBefore > 0 ? cut.lengthCut() / cut.lengthBefore : (cut.dotsDropped > 0 ? 1 : 0);
    char line[512];
    if (outside == Outside::Refuse && share > kOutsideShareLimit) {
        std::snprintf(line, sizeof(line),
                      "%.1f mm of %.1f mm marked (%.1f %%) lies beyond the %g mm field: the drawing spans %.1f x "
                      "%.1f mm (x %.1f..%.1f, y %.1f..%.1f); use --fit, --scale or --size, or --outside clip",
                      cut.lengthCut(), cut.lengthBefore, share * kPercent, fieldMm, extent.width(), extent.height(),
                      extent.lowX, extent.highX, extent.lowY, extent.highY);
        throw CliError(kExitBadInput, about(file, line));
    }
    if (cut.lengthCut() < kRoundingMm && cut.dotsDropped == 0) return;
    std::snprintf(line, sizeof(line), "clipped %.1f mm of %.1f mm marked (%.1f %%) beyond the %g mm field",
                  cut.lengthCut(), cut.lengthBefore, share * kPercent, fieldMm);
    const std::string dots = cut.dotsDropped == 0 ? "" : ", and " + std::to_string(cut.dotsDropped) + " dots";
    std::fprintf(stderr, "executor-cli: %s: warning: %s%s\n", file.c_str(), line, dots.c_str());
}

}  // namespace cli
