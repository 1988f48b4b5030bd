#include "calib.h"
#include <memory>
#include "cli_options.h"

#include <cstdio>

#include "cli_error.h"
#include "files.h"

namespace cli {

namespace {

constexpr int kDefaultResolution = 65535;
constexpr int kPowerTableEntries = 11;  // power at 0 %, 10 %, ... 100 %

// Physical bounds of a lens this program will map through: wider than any real scan lens and any
// galvo resolution (8 to 20 bits), narrow enough that a mapped millimetre stays a finite,
// nonzero number of device units.
constexpr double kFieldMinMm = 1, kFieldMaxMm = 2000;
constexpr int kResolutionMin = 255, kResolutionMax = (1 << 20) - 1;

// Why the lens values cannot map a job, or "".
std::string lensFault(const GalvoParam& galvo) {
    const auto outside = [](const char* what, double value, double low, double high, const char* unit) {
        char text[160];
        std::snprintf(text, sizeof text, "%s %g%s is outside %g to %g%s", what, value, unit, low, high, unit);
        return std::string(text);
    };
    if (!(galvo.fieldSize >= kFieldMinMm && galvo.fieldSize <= kFieldMaxMm))
        return outside("field size", galvo.fieldSize, kFieldMinMm, kFieldMaxMm, " mm");
    for (double area : {galvo.areaSizeX, galvo.areaSizeY})
        if (!(area > 0 && area <= galvo.fieldSize)) return outside("working area", area, 0, galvo.fieldSize, " mm");
    if (galvo.resolution < kResolutionMin || galvo.resolution > kResolutionMax)
        return outside("resolution", galvo.resolution, kResolutionMin, kResolutionMax, " units");
    return "";
}

GalvoParam loadGalvo(const std::string& file) {
    requireInputFile(file);
    GalvoParam galvo;
    if (!CalibFunc::loadUcf(file.c_str(), galvo)) throw CliError(kExitBadInput, about(file, "not a calibration file"));
    const std::string fault = lensFault(galvo);
    if (!fault.empty()) throw CliError(kExitBadInput, about(file, fault));
    return galvo;
}

const char* yesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace

TarnParam makeLens(double fieldMm, const std::string& calibFile) {
    TarnParam lens;
    if (calibFile.empty()) {
        lens.galvo.fieldSize = fieldMm;
        lens.galvo.areaSizeX = fieldMm;
        lens.galvo.areaSizeY = fieldMm;
        lens.galvo.setResolution(kDefaultResolution);
    } else {
        lens.galvo = loadGalvo(calibFile);
    }
    lens.laser.laserType = LASER_TYPE_0;
    lens.laser.pwmEnable0 = 1;
    for (int i = 0; i < kPowerTableEntries; ++i) lens.laser.powerTable0[i] = static_cast<float>(10 * i);
    return lens;
}

int runCalibShow(const std::string& file) {
    const GalvoParam galvo = loadGalvo(file);
    double fieldSize = 0, areaSize = 0;
    int resolution = 0;
    if (!CalibFunc::getBasePara(file.c_str(), fieldSize, areaSize, resolution))
        throw CliError(kExitBadInput, about(file, "not a calibration file"));
    std::printf("calibration file %s\n", file.c_str());
    std::printf("field: %g mm, working area: %g mm, resolution: %d (%.3f units/mm, centre %d)\n", fieldSize, areaSize,
                resolution, galvo.scale, galvo.center);
    std::printf("exchange x/y: %s, invert x: %s, invert y: %s\n", yesNo(galvo.exchangeXY), yesNo(galvo.invertX),
                yesNo(galvo.invertY));
    const GalvoCalPar& grid = galvo.calPar;
    if (grid.gridPitch > 0) {
        std::printf("nine-point grid, pitch %g mm; where each nominal point landed:\n", grid.gridPitch);
        for (int i = 0; i < 9; ++i) {
            std::printf("  (%g, %g) -> (%.4f, %.4f)\n", (i % 3 - 1) * grid.gridPitch, (i / 3 - 1) * grid.gridPitch,
                        grid.gridPoints[i].x, grid.gridPoints[i].y);
        }
    } else {
        std::printf("no nine-point grid\n");
    }
    return kExitOk;
}

int runCalibSave(const CalibSaveOptions& options) {
    GalvoParam galvo;
    galvo.fieldSize = options.fieldMm;
    galvo.areaSizeX = galvo.areaSizeY = options.areaMm > 0 ? options.areaMm : options.fieldMm;
    galvo.setResolution(options.resolution);
    galvo.exchangeXY = options.exchangeXY;
    galvo.invertX = options.invertX;
    galvo.invertY = options.invertY;
    const std::string fault = lensFault(galvo);
    if (!fault.empty()) throw CliError(kExitUsage, fault);
    if (!CalibFunc::saveUcf(options.file.c_str(), galvo))
        throw CliError(kExitOutput, about(options.file, "cannot write"));
    std::printf("wrote %s: field %g mm, resolution %d\n", options.file.c_str(), options.fieldMm, options.resolution);
    return kExitOk;
}

int runCalibLoad(const std::string& file, const BoardOptions& board) {
    const TarnParam lens = makeLens(0, file);
    BoardConnection connection(board);
    Executor& executor = connection.executor();
    executor.sendMarkPara(lens, false, MARK_TYPE_LINEAR);
    if (!executor.exeCurCmd(true))
        throw CliError(kExitBoard, about(connection.name(), "board did not take the lens settings"));
    if (!connection.disconnect()) throw CliError(kExitBoard, about(connection.name(), "board did not let go"));
    std::printf("%s: lens of %s sent: field %g mm, resolution %d\n", connection.name().c_str(), file.c_str(),
                lens.galvo.fieldSize, lens.galvo.resolution);
    return kExitOk;
}

void addCalibCommand(CLI::App& app, Action& action) {
    struct State {
        std::string file;
        CalibSaveOptions save;
        BoardOptions board;
    };
    auto state = std::make_shared<State>();
    CLI::App* calibCommand = app.add_subcommand("calib", "calibration files of the lens");
    calibCommand->require_subcommand(1);
    CLI::App* showCommand = calibCommand->add_subcommand("show", "print what a calibration file holds");
    showCommand->add_option("FILE", state->file, "calibration file")->required();
    showCommand->callback([&action, state] { action = [state] { return runCalibShow(state->file); }; });
    CLI::App* saveCommand = calibCommand->add_subcommand("save", "write a calibration file for a lens");
    saveCommand->add_option("FILE", state->save.file, "calibration file")->required();
    saveCommand->add_option("--field", state->save.fieldMm, "field size in mm")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    saveCommand->add_option("--area", state->save.areaMm, "working area in mm (default: the field)")
        ->check(CLI::PositiveNumber);
    saveCommand->add_option("--resolution", state->save.resolution, "galvo device units across the field")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    saveCommand->add_flag("--exchange-xy", state->save.exchangeXY, "swap the galvo axes");
    saveCommand->add_flag("--invert-x", state->save.invertX, "mirror x");
    saveCommand->add_flag("--invert-y", state->save.invertY, "mirror y");
    saveCommand->callback([&action, state] { action = [state] { return runCalibSave(state->save); }; });
    CLI::App* loadCommand = calibCommand->add_subcommand("load", "send the lens of a calibration file to a board");
    loadCommand->add_option("FILE", state->file, "calibration file")->required();
    addBoardOptions(*loadCommand, state->board);
    loadCommand->callback([&action, state] { action = [state] { return runCalibLoad(state->file, state->board); }; });
}

}  // namespace cli
