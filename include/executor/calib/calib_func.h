#pragma once

#include <vector>

#include "executor/export.h"
#include "executor/platform/param.h"
#include "executor/types.h"

// Maps logical points in millimetres to galvo device units for one lens: offset and rotation,
// an optional per-call displacement and rotation, then the linear, fly or calibrated mapping
// chosen by the mark type, and clamping to the device range. Stateless.
class EXECUTOR_API CalibFunc {
public:
    CalibFunc() = default;
    CalibFunc(const CalibFunc&) = default;
    CalibFunc(CalibFunc&&) = default;
    CalibFunc& operator=(const CalibFunc&) = default;
    CalibFunc& operator=(CalibFunc&&) = default;

    // Writes the clamped device point for logic; returns 1 when the chosen mapping succeeded,
    // 0 when the calibration failed (the device point is written either way). mr may be null.
    static int LP2DPEX(MarkType type, Point2dConcept<double> logic, Point2dConcept<int>& dev, const GalvoParam& galvo,
                       const RedlightParam& red, bool redlight, const MRPara* mr);

    // Measurements in mm of a test mark made to correct the box parameters: a square spanning
    // the lens field, with its two centre lines, marked with the parameters being corrected.
    struct Lvs {
        double topLength = 0.0;        // X length of the top edge
        double middleXLength = 0.0;    // X length of the horizontal centre line
        double bottomLength = 0.0;     // X length of the bottom edge
        double leftLength = 0.0;       // Y length of the left edge
        double middleYLength = 0.0;    // Y length of the vertical centre line
        double rightLength = 0.0;      // Y length of the right edge
        double risingDiagonal = 0.0;   // bottom-left to top-right corner
        double fallingDiagonal = 0.0;  // top-left to bottom-right corner
        double middleRise = 0.0;       // Y of the right end of the horizontal centre line minus Y of its left end
    };

    // Box parameters; the GalvoParam::boxCoef index of each in brackets. Neutral by default.
    struct CalPar {
        double scaleX = 100.0;     // percent [6]
        double scaleY = 100.0;     // percent [7]
        double pincushionX = 1.0;  // [0]
        double pincushionY = 1.0;  // [1]
        double shearYWithX = 1.0;  // [2]
        double shearXWithY = 1.0;  // [3]
        double trapezoidX = 1.0;   // [4]
        double trapezoidY = 1.0;   // [5]
    };

    // Calibration files. Paths are UTF-8, NUL-terminated; a null path fails. Failures change
    // neither the arguments (but for getCalibPnts' n, below) nor the file.
    //
    // Loads field size, working area (into both extents), resolution (through setResolution, so
    // the centre and scale follow it), the box flags and calPar; nothing else.
    static bool loadUcf(const char* path, GalvoParam& galvo);
    // Stores the lens values, with the larger working-area extent; keeps the file's point sets.
    static bool saveUcf(const char* path, const GalvoParam& galvo);
    // The stored field size (mm), working area (mm) and resolution.
    static bool getBasePara(const char* path, double& fieldSize, double& areaSize, int& resolution);

    // The box parameters that make the lens mark the test square true, from its measurements, the
    // square's side (the field size, mm) and the parameters it was marked with. False, corrected
    // untouched, when the measurements are unusable or the result is implausible: scales must be
    // positive, the other six strictly between 0.8 and 1.2. Repeat with a new mark to refine.
    static bool getRecManParas(Lvs lvs, double side, CalPar current, CalPar& corrected);

    // Point sets kept in a calibration file by selector. The getters append to points; setting a
    // set replaces the one with its selector, and creates the file when there is none.
    // At most 1000 equal-spacing points per set.
    static bool getEqualPnts(const char* path, int selector, std::vector<Point2dConcept<double>>& points);
    static bool setEqualPnts(const char* path, int selector, const std::vector<Point2dConcept<double>>& points);
    // Square grids of n x n points, 0 <= n <= 256. getCalibPnts fails unless n is the stored
    // side and then sets n to it: n = 0 learns the side of a non-empty grid.
    static bool getCalibPnts(const char* path, int selector, int& n, std::vector<CalData>& points);
    // Stores the first n x n points; fails when there are fewer.
    static bool setCalibPnts(const char* path, int selector, int n, const std::vector<CalData>& points);

protected:
    static bool logicPtToDevPt(Point2dConcept<double> logic, Point2dConcept<int>& dev, const GalvoParam& galvo);
    static bool logicPtToDevPtFly(MarkType type, Point2dConcept<double> logic, Point2dConcept<int>& dev,
                                  const GalvoParam& galvo, const RedlightParam& red, bool redlight);
    static bool calibPoint(const GalvoParam& galvo, Point2dConcept<double> logic, Point2dConcept<int>& dev);
};
