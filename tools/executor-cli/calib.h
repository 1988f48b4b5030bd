#pragma once
// The lens the tool marks with, and the calibration files it can come from: show, save, and load
// (into the lens settings of a board).

#include <string>

#include "board.h"
#include "executor/executor.h"

namespace cli {

// A lens of fieldMm with 16-bit galvo resolution and a laser whose power follows the percent
// linearly; with calibFile, the file's field size, resolution, flags and grid replace the defaults.
// Throws CliError(kExitBadInput) for a calibration file that is missing or unreadable.
TarnParam makeLens(double fieldMm, const std::string& calibFile = std::string());

struct CalibSaveOptions {
    std::string file;
    double fieldMm = 100;
    double areaMm = 0;  // 0: the field size
    int resolution = 65535;
    bool exchangeXY = false;
    bool invertX = false;
    bool invertY = false;
};

// Each returns the exit status; failures throw CliError.
int runCalibShow(const std::string& file);
int runCalibSave(const CalibSaveOptions& options);
int runCalibLoad(const std::string& file, const BoardOptions& board);

}  // namespace cli
