#pragma once
// Collects one element's outline as polylines in millimetres: maps each document point through
// the element's transform and flattens curves and arcs after the mapping, so the tolerance holds
// in millimetres whatever the scale.

#include <vector>

#include "import/affine.h"
#include "import/flatten.h"
#include "import/svg_path.h"

namespace importer {

class OutlineBuilder : public PathSink {
public:
    OutlineBuilder(const Affine& toMm, Flattener& flattener) : m_toMm(toMm), m_flattener(flattener) {}

    void moveTo(planner::Point p) override;
    void lineTo(planner::Point p) override;
    void cubicTo(planner::Point c1, planner::Point c2, planner::Point p) override;
    void quadTo(planner::Point c, planner::Point p) override;
    void arcTo(double rx, double ry, double rotation, bool largeArc, bool sweep, planner::Point p) override;
    void close() override;

    // The finished polylines, each with two points or more; throws ImportError when a coordinate
    // left the range of numbers.
    std::vector<std::vector<planner::Point>> take();

private:
    std::vector<planner::Point>& open();
    void finish();

    Affine m_toMm;
    Flattener& m_flattener;
    planner::Point m_current;  // document units
    planner::Point m_start;    // document units, start of the subpath
    std::vector<planner::Point> m_line;
    bool m_drawing = false;
    std::vector<std::vector<planner::Point>> m_done;
};

}  // namespace importer
