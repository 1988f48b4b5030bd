#pragma once
// SVG drawings to marking jobs: every stroked or filled outline becomes polylines in millimetres.
// The page's bottom left corner becomes the origin with y up (without a known page height, the
// top left). Each stroke colour (the fill colour for unstroked shapes) becomes a pen named by
// the colour, in order of first use. Not drawn: text, images, hidden elements and the contents
// of defs, except through use; style sheets count with simple selectors only.

#include <string>
#include <vector>

#include "executor/planner/job.h"

namespace importer {

struct SvgOptions {
    double tolerance = 0.01;  // mm, largest distance of a flattened curve from the true one
    // Receives one line per kind of content that was not drawn (text, images), so a user learns
    // why part of a drawing is missing; null to ignore.
    std::vector<std::string>* warnings = nullptr;
};

// Throws ImportError, naming the file, line and element, for an unreadable file, a document that
// is not SVG, malformed path data, points, transforms or lengths, and drawings too large to flatten.
planner::Job importSvgFile(const std::string& path, const SvgOptions& options = {});
planner::Job importSvgText(const std::string& text, const SvgOptions& options = {});

}  // namespace importer
