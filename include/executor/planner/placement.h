#pragma once
// Where a job lands on the field: rotated, scaled and moved before planning, then clipped to the
// field so that nothing reaches the board beyond it (the board would squeeze such points onto the
// field's edge and burn lines that are not in the drawing).

#include <cstddef>
#include <optional>

#include "executor/planner/job.h"

namespace planner {

// The smallest box around every point of a job, in mm; empty for a job without points.
struct Bounds {
    double lowX = 0, lowY = 0, highX = 0, highY = 0;
    bool empty = true;

    double width() const { return highX - lowX; }
    double height() const { return highY - lowY; }
};

Bounds boundsOf(const Job& job);

// How a job is placed, applied in this order:
//   1. rotate by rotateDegrees, counter-clockwise, about the drawing's bounding-box centre;
//   2. scale about that same centre by one of (at most one may be given):
//        scale          a factor;
//        width, height  the largest factor that keeps the drawing inside width x height mm (either
//                       may be left out; a side the drawing lacks, e.g. the width of a vertical
//                       line, sets no limit);
//        fit            the largest factor that keeps the rotated drawing inside the field;
//   3. centre: move the bounding-box centre onto the field centre (0, 0);
//   4. move by offsetX, offsetY mm.
// Scaling keeps proportions.
struct PlaceOptions {
    double rotateDegrees = 0;
    std::optional<double> scale;
    std::optional<double> width;   // mm
    std::optional<double> height;  // mm
    bool fit = false;
    bool centre = false;
    double offsetX = 0;  // mm
    double offsetY = 0;  // mm
};

// Places job on a square field of fieldMm. Throws std::invalid_argument, job untouched, for a
// scale, width, height or field size that is not a positive finite number, for a rotation or
// offset that is not finite, and when more than one of scale, size and fit is given.
void place(Job& job, const PlaceOptions& options, double fieldMm);

struct ClipSummary {
    double lengthBefore = 0;        // mm marked by the job as given
    double lengthAfter = 0;         // mm left inside the field
    std::size_t polylinesCut = 0;   // polylines that lost a part or were dropped whole
    std::size_t pointsOutside = 0;  // points that lay beyond the field
    std::size_t dotsDropped = 0;    // polylines of one point (dots) that lay beyond the field

    double lengthCut() const { return lengthBefore - lengthAfter; }
};

// Cuts every polyline of job to the square field [-fieldMm/2, fieldMm/2] in both axes. A polyline
// that leaves the field and comes back becomes one polyline per stretch inside; points on the
// border stay; dots beyond it, and stretches that only touch the border in a point, are dropped.
// Afterwards every point lies within the field.
ClipSummary clipToField(Job& job, double fieldMm);

}  // namespace planner
