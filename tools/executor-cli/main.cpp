// executor-cli: marks drawings and jobs on a board through the executor library, shows what a
// board says about itself, and handles its user data and calibration files. Boards: simulated in
// process (sim7, sim5) or over UDP (udp://HOST:PORT, e.g. an executor-sim).

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "board.h"
#include "calib.h"
#include "cli_error.h"
#include "demo.h"
#include "eeprom.h"
#include "executor/platform/logger.h"
#include "field_fit.h"
#include "mark.h"
#include "status.h"

namespace {

using namespace cli;

const char* const kExitStatuses =
    "Exit status: 0 done (the board confirmed every mark or stored every page); 2 bad command line;\n"
    "3 bad input file (missing, unreadable, not a drawing, job or calibration file, unknown pen);\n"
    "4 board unreachable, or it refused the connection or a command; 5 job failed (board lost,\n"
    "refused, timed out, cut short, too big for the flash, or the board found errors); 6 output file\n"
    "not written; 130 interrupted: the board was stopped and the marks it ran are reported.\n";

void addBoardOptions(CLI::App& command, BoardOptions& board, bool simOnly = false) {
    command.add_option("--board", board.address, simOnly ? "sim7 or sim5" : "sim7, sim5 or udp://HOST:PORT")
        ->capture_default_str();
    if (simOnly) return;
    command.add_option("--timeout", board.timeoutMs, "UDP: milliseconds to wait for each reply")
        ->check(CLI::Range(1u, 60000u))
        ->capture_default_str();
    command.add_option("--retries", board.retries, "UDP: times a request is sent again")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
}

void addPenOptions(CLI::App& command, PenOverrides& pens, bool speedsOnly = false) {
    command
        .add_option_function<double>(
            "--mark-speed", [&pens](double v) { pens.markSpeed = v; }, "mm/s while marking, every pen")
        ->check(CLI::PositiveNumber);
    command
        .add_option_function<double>(
            "--jump-speed", [&pens](double v) { pens.jumpSpeed = v; }, "mm/s while jumping, every pen")
        ->check(CLI::PositiveNumber);
    if (speedsOnly) return;
    command
        .add_option_function<double>(
            "--power", [&pens](double v) { pens.power = v; }, "laser power in percent, every pen")
        ->check(CLI::Range(0.0, 100.0));
    command
        .add_option_function<double>(
            "--frequency", [&pens](double v) { pens.frequency = v; }, "pulse frequency in kHz, every pen")
        ->check(CLI::PositiveNumber);
    command
        .add_option_function<double>(
            "--pulse-width", [&pens](double v) { pens.pulseWidth = v; }, "pulse width in us, every pen")
        ->check(CLI::PositiveNumber);
}

// A validator's answer for a parse: empty when it passes, else why not.
std::string validated(const std::function<void()>& parse) {
    try {
        parse();
        return "";
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
}

// A number that is finite, and above zero when positive is asked for.
CLI::Validator finiteNumber(bool positive) {
    return CLI::Validator(
        [positive](std::string& v) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(value)) return "not a finite number: " + v;
            return positive && value <= 0 ? "not above zero: " + v : "";
        },
        positive ? "POSITIVE" : "FINITE");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Marks drawings with a galvo laser board, simulated or real, through the executor library.",
                 "executor-cli");
    app.footer(kExitStatuses);
    app.require_subcommand(1);
    app.fallthrough();
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "show the library's log on standard error");
    std::function<int()> action;

    MarkOptions demo;
    demo.traceFile = "demo-trace.svg";
    CLI::App* demoCommand = app.add_subcommand(
        "demo", "mark a built-in job (square, diagonals, circle, text) on a simulated board; draw what it did");
    addBoardOptions(*demoCommand, demo.board, true);
    demoCommand->add_option("--out", demo.traceFile, "picture of the trace (SVG)")->capture_default_str();
    demoCommand->add_option("--json", demo.traceJsonFile, "the trace as JSON events");
    demoCommand->add_option("--preview", demo.previewFile, "only plan, and draw the plan here (SVG); no board");
    addPenOptions(*demoCommand, demo.pens, true);
    demoCommand->callback([&] { action = [&] { return runDemo(demo); }; });

    MarkOptions mark;
    std::string markFile;
    CLI::App* markCommand = app.add_subcommand("mark", "mark an SVG drawing or a JSON job");
    markCommand->add_option("FILE", markFile, "drawing (.svg) or job (.json)")->required();
    addBoardOptions(*markCommand, mark.board);
    addPenOptions(*markCommand, mark.pens);
    markCommand->add_option("--field", mark.fieldMm, "lens field size in mm")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    markCommand->add_option("--calib", mark.calibFile, "lens from a calibration file (replaces --field)");
    markCommand->add_option("--tolerance", mark.toleranceMm, "largest distance of flattened SVG curves, mm")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    markCommand->add_option("--preview", mark.previewFile, "only plan, and draw the plan here (SVG); no board");
    markCommand
        ->add_option("--place", mark.place,
                     "where the drawing lands: auto (SVG and fitted drawings centred on the field, JSON as "
                     "written), center, as-is")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, Placement>{
                {"auto", Placement::Auto}, {"center", Placement::Centre}, {"as-is", Placement::AsIs}},
            CLI::ignore_case));
    // Applied in this order: rotate, then one of scale, size and fit, then --place, then offset.
    markCommand
        ->add_option("--rotate", mark.layout.rotateDegrees, "degrees counter-clockwise, about the drawing's centre")
        ->check(finiteNumber(false));
    CLI::Option* scale =
        markCommand
            ->add_option_function<double>(
                "--scale", [&mark](double v) { mark.layout.scale = v; }, "scale the drawing by this factor")
            ->check(finiteNumber(true));
    CLI::Option* size = markCommand->add_option_function<std::string>(
        "--size", [&mark](const std::string& v) { parseSize(v, mark.layout.width, mark.layout.height); },
        "scale to fit within W x H mm, keeping proportions: 40x30, 40x or x30");
    size->check(CLI::Validator(
        [](std::string& v) {
            std::optional<double> w, h;
            return validated([&] { parseSize(v, w, h); });
        },
        "WxH"));
    markCommand->add_flag("--fit", mark.layout.fit, "scale to the largest size that fits the field")
        ->excludes(scale)
        ->excludes(size);
    scale->excludes(size);
    markCommand
        ->add_option_function<std::string>(
            "--offset", [&mark](const std::string& v) { parseOffset(v, mark.layout.offsetX, mark.layout.offsetY); },
            "move the placed drawing by X,Y mm")
        ->check(CLI::Validator(
            [](std::string& v) {
                double x = 0, y = 0;
                return validated([&] { parseOffset(v, x, y); });
            },
            "X,Y"));
    markCommand
        ->add_option("--outside", mark.outside,
                     "beyond the field: refuse (if more than 0.5 % of the mark length lies there; less is "
                     "clipped with a warning) or clip")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, Outside>{{"refuse", Outside::Refuse}, {"clip", Outside::Clip}}, CLI::ignore_case));
    markCommand->add_flag("--offline", mark.offline, "download into the board's flash instead of streaming");
    markCommand
        ->add_option("--deadline", mark.deadlineSeconds,
                     "seconds the whole job may take (default: planned time x 1.5 + 10 s); a job without "
                     "progress for 10 s ends earlier")
        ->check(CLI::PositiveNumber);
    markCommand->add_option("--trace", mark.traceFile, "picture of what the simulated board did (SVG)");
    markCommand->add_option("--trace-json", mark.traceJsonFile, "the same as JSON events");
    markCommand->callback([&] { action = [&] { return runMark(markFile, mark); }; });

    BoardOptions statusBoard;
    CLI::App* statusCommand = app.add_subcommand("status", "board state, mode and counters");
    addBoardOptions(*statusCommand, statusBoard);
    statusCommand->callback([&] { action = [&] { return runStatus(statusBoard); }; });

    BoardOptions probeBoard;
    CLI::App* probeCommand = app.add_subcommand("probe", "board protocol, type, versions and abilities");
    addBoardOptions(*probeCommand, probeBoard);
    probeCommand->callback([&] { action = [&] { return runProbe(probeBoard); }; });

    BoardOptions eepromBoard;
    CLI::App* eepromCommand = app.add_subcommand("eeprom", "the user data in the board's parameter memory");
    eepromCommand->require_subcommand(1);
    EepromReadOptions eepromRead;
    CLI::App* readCommand = eepromCommand->add_subcommand("read", "print the user data, or save it to a file");
    addBoardOptions(*readCommand, eepromBoard);
    readCommand->add_option("--out", eepromRead.outFile, "write the bytes to this file");
    readCommand->add_flag("--hex", eepromRead.hex, "print a hex dump even when it is text");
    readCommand->callback([&] { action = [&] { return runEepromRead(eepromBoard, eepromRead); }; });
    EepromWriteOptions eepromWrite;
    CLI::App* writeCommand = eepromCommand->add_subcommand("write", "replace the user data");
    addBoardOptions(*writeCommand, eepromBoard);
    CLI::Option* writeFile = writeCommand->add_option("FILE", eepromWrite.inFile, "bytes to store");
    writeCommand->add_option("--text", eepromWrite.text, "text to store")->excludes(writeFile);
    writeCommand->callback([&] {
        if (eepromWrite.inFile.empty() && eepromWrite.text.empty())
            throw CLI::ValidationError("eeprom write", "needs a FILE or --text");
        action = [&] { return runEepromWrite(eepromBoard, eepromWrite); };
    });

    CLI::App* calibCommand = app.add_subcommand("calib", "calibration files of the lens");
    calibCommand->require_subcommand(1);
    std::string calibFile;
    CLI::App* showCommand = calibCommand->add_subcommand("show", "print what a calibration file holds");
    showCommand->add_option("FILE", calibFile, "calibration file")->required();
    showCommand->callback([&] { action = [&] { return runCalibShow(calibFile); }; });
    CalibSaveOptions calibSave;
    CLI::App* saveCommand = calibCommand->add_subcommand("save", "write a calibration file for a lens");
    saveCommand->add_option("FILE", calibSave.file, "calibration file")->required();
    saveCommand->add_option("--field", calibSave.fieldMm, "field size in mm")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    saveCommand->add_option("--area", calibSave.areaMm, "working area in mm (default: the field)")
        ->check(CLI::PositiveNumber);
    saveCommand->add_option("--resolution", calibSave.resolution, "galvo device units across the field")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    saveCommand->add_flag("--exchange-xy", calibSave.exchangeXY, "swap the galvo axes");
    saveCommand->add_flag("--invert-x", calibSave.invertX, "mirror x");
    saveCommand->add_flag("--invert-y", calibSave.invertY, "mirror y");
    saveCommand->callback([&] { action = [&] { return runCalibSave(calibSave); }; });
    BoardOptions calibBoard;
    CLI::App* loadCommand = calibCommand->add_subcommand("load", "send the lens of a calibration file to a board");
    loadCommand->add_option("FILE", calibFile, "calibration file")->required();
    addBoardOptions(*loadCommand, calibBoard);
    loadCommand->callback([&] { action = [&] { return runCalibLoad(calibFile, calibBoard); }; });

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "executor-cli: %s (see executor-cli --help)\n", e.what());
        return kExitUsage;
    }

    // The library logs details on standard error; the one-line messages below say what failed.
    if (verbose) {
        Logger::setMinLevel(Logger::kInfo);
    } else {
        Logger::setSink([](int, const std::string&, const std::string&) {});
    }
    try {
        return action ? action() : kExitUsage;
    } catch (const CliError& e) {
        std::fprintf(stderr, "executor-cli: %s\n", e.what());
        return e.exitCode();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "executor-cli: out of memory\n");
        return 1;
    }
}
