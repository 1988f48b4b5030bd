#pragma once
// SVG path data ("M 10 10 l 5 0 a 2 2 0 0 1 4 0 z"): relative, smooth and implicitly repeated
// commands resolved to absolute drawing calls on a sink.

#include <string>

#include "executor/planner/job.h"

namespace importer {

// Receives the path in document coordinates; every point is absolute.
class PathSink {
public:
    virtual ~PathSink() = default;
    virtual void moveTo(planner::Point p) = 0;
    virtual void lineTo(planner::Point p) = 0;
    virtual void cubicTo(planner::Point c1, planner::Point c2, planner::Point p) = 0;
    virtual void quadTo(planner::Point c, planner::Point p) = 0;
    // The endpoint form of an elliptical arc; rotation in degrees.
    virtual void arcTo(double rx, double ry, double rotation, bool largeArc, bool sweep, planner::Point p) = 0;
    virtual void close() = 0;
};

// Throws ImportError naming the offending text when the data is malformed; what came before
// the error has been delivered to the sink.
void parsePathData(const std::string& data, PathSink& sink);

}  // namespace importer
