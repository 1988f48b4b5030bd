#pragma once
// A built-in single-stroke font for marking serial numbers, dates and short labels.

#include <string>
#include <vector>

#include "executor/planner/job.h"

namespace planner {

struct TextStyle {
    double height = 5;         // mm, cap height
    double spacing = 0.2;      // extra advance between glyphs, in cap heights
    double lineSpacing = 1.6;  // baseline to baseline, in cap heights
};

// Strokes for `text` with the baseline of its first line starting at `origin`. Lower-case
// letters are drawn as capitals; characters the font lacks are skipped. Newlines start a new line.
std::vector<Polyline> textToPolylines(const std::string& text, Point origin, const TextStyle& style, std::size_t pen);

// Whether the font has a glyph for `c` (after folding lower case to capitals); space counts.
bool fontHasGlyph(char c);

}  // namespace planner
