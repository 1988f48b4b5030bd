#pragma once
// Curves to polylines: Bézier curves and elliptical arcs, already in millimetres, become points
// that stay within a tolerance of the true curve. A point budget bounds the work for any input.

#include <cstddef>
#include <vector>

#include "executor/planner/job.h"

namespace importer {

class Flattener {
public:
    // Throws ImportError when the tolerance is not a positive finite number.
    Flattener(double tolerance, std::size_t pointBudget);

    double tolerance() const { return m_tolerance; }

    // Each appends the points after the start (which `out` already ends with) through the end,
    // which is appended exactly as given.
    void cubic(planner::Point p0, planner::Point c1, planner::Point c2, planner::Point p3,
               std::vector<planner::Point>& out);
    void quad(planner::Point p0, planner::Point c, planner::Point p2, std::vector<planner::Point>& out);
    // The curve centre + u cos t + v sin t for t from t0 to t0 + sweep (radians, either sign);
    // the end point is the caller's exact end.
    void ellipse(planner::Point centre, planner::Point u, planner::Point v, double t0, double sweep, planner::Point end,
                 std::vector<planner::Point>& out);

    // Counts points against the budget; throws ImportError when it runs out.
    void spend(std::size_t points);

private:
    void subdivide(planner::Point p0, planner::Point c1, planner::Point c2, planner::Point p3, int depth,
                   std::vector<planner::Point>& out);

    double m_tolerance;
    std::size_t m_budget;
    std::size_t m_limit;
};

}  // namespace importer
