#pragma once
// A marking job in millimetres: pens and the polylines drawn with them. Importers (SVG, JSON,
// text) produce it; the planner turns it into the library's calls.

#include <cstddef>
#include <string>
#include <vector>

namespace planner {

struct Point {
    double x = 0;  // mm, +x right
    double y = 0;  // mm, +y up (device orientation; importers flip SVG's downward y)
};

// The marking settings of one pen. Times are in microseconds.
struct Pen {
    std::string name;
    double markSpeed = 500;      // mm/s while the laser is on
    double jumpSpeed = 2000;     // mm/s while it is off
    double power = 50;           // percent
    double frequency = 20;       // kHz
    double pulseWidth = 10;      // us
    double laserOnDelay = 100;   // us, before the first mark after a jump
    double laserOffDelay = 100;  // us, after the last mark before a jump
    double jumpDelay = 200;      // us, settle time after a jump
    double markDelay = 100;      // us, settle time after the last mark of a polyline
    double polygonDelay = 50;    // us, at each corner inside a polyline
};

// One continuous stroke: a jump to the first point, then marks through the rest.
struct Polyline {
    std::vector<Point> points;
    std::size_t pen = 0;  // index into Job::pens
};

struct Job {
    std::vector<Pen> pens;  // at least one when the job has polylines
    std::vector<Polyline> polylines;
};

}  // namespace planner
