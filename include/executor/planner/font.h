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

// Strokes for `text` with the baseline of its first line starting at `origin`. Each glyph sits in
// a cell two thirds of the cap height wide, from the baseline up to the cap height, and the next
// one follows after the cell plus `spacing`. Lower-case letters are drawn as capitals; characters
// the font lacks are skipped and take no room. A newline starts the next line `lineSpacing` lower
// at origin.x. Throws std::invalid_argument for a height that is not positive.
std::vector<Polyline> textToPolylines(const std::string& text, Point origin, const TextStyle& style, std::size_t pen);

// Whether the font has a glyph for `c` (after folding lower case to capitals); space counts.
bool fontHasGlyph(char c);

}  // namespace planner
