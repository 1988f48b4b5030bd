#include "demo.h"
#include <memory>
#include "calib.h"
#include "cli_options.h"
#include "interrupt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cli_error.h"
#include "executor/planner/font.h"

namespace cli {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSquareHalf = 35;  // mm
constexpr double kCircleRadius = 25;
constexpr int kCircleSegments = 180;
constexpr double kTextHeight = 4;
constexpr double kTextBaseline = -46;  // below the square
constexpr const char* kDemoText = "EXECUTOR 2026-12-05";

enum DemoPen : std::size_t { kFramePen, kCirclePen, kTextPen };

// Centres the text horizontally under the square.
std::vector<planner::Polyline> centredText() {
    planner::TextStyle style;
    style.height = kTextHeight;
    std::vector<planner::Polyline> lines = planner::textToPolylines(kDemoText, {0, kTextBaseline}, style, kTextPen);
    double low = std::numeric_limits<double>::max(), high = -low;
    for (const planner::Polyline& line : lines) {
        for (const planner::Point& p : line.points) {
            low = std::min(low, p.x);
            high = std::max(high, p.x);
        }
    }
    const double shift = lines.empty() ? 0 : -(low + high) / 2;
    for (planner::Polyline& line : lines)
        for (planner::Point& p : line.points) p.x += shift;
    return lines;
}

}  // namespace

planner::Job demoJob() {
    planner::Job job;
    planner::Pen frame{"frame"};
    frame.markSpeed = 1000;
    frame.jumpSpeed = 4000;
    frame.power = 60;
    frame.frequency = 20;
    planner::Pen circle = frame;
    circle.name = "circle";
    circle.markSpeed = 800;
    circle.power = 40;
    circle.frequency = 30;
    planner::Pen text = frame;
    text.name = "text";
    text.markSpeed = 400;
    text.power = 80;
    text.frequency = 50;
    job.pens = {frame, circle, text};

    const double s = kSquareHalf;
    job.polylines.push_back({{{-s, -s}, {s, -s}, {s, s}, {-s, s}, {-s, -s}}, kFramePen});
    job.polylines.push_back({{{-s, -s}, {s, s}}, kFramePen});
    job.polylines.push_back({{{-s, s}, {s, -s}}, kFramePen});
    planner::Polyline round{{}, kCirclePen};
    for (int i = 0; i <= kCircleSegments; ++i) {
        const double angle = 2 * kPi * i / kCircleSegments;
        round.points.push_back({kCircleRadius * std::cos(angle), kCircleRadius * std::sin(angle)});
    }
    job.polylines.push_back(round);
    for (planner::Polyline& line : centredText()) job.polylines.push_back(std::move(line));
    return job;
}

int runDemo(const MarkOptions& options) {
    InterruptGuard interrupts;  // Ctrl-C stops the board and says how far it got
    BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7;
    if (!simProtocol(options.board.address, protocol))
        throw CliError(kExitUsage, about(options.board.address, "the demo runs on sim7 or sim5"));
    requireOutputs(options);
    std::printf("demo job on the simulated protocol %d board: test square, diagonals, circle and \"%s\"\n",
                protocol == BOARD_PROTOCOL_7 ? 7 : 5, kDemoText);
    return markJob(demoJob(), makeLens(options.fieldMm), "demo", options);
}

void addDemoCommand(CLI::App& app, Action& action) {
    auto demo = std::make_shared<MarkOptions>();
    demo->traceFile = "demo-trace.svg";
    CLI::App* demoCommand = app.add_subcommand(
        "demo", "mark a built-in job (square, diagonals, circle, text) on a simulated board; draw what it did");
    addBoardOptions(*demoCommand, demo->board, true);
    demoCommand->add_option("--out", demo->traceFile, "picture of the trace (SVG)")->capture_default_str();
    demoCommand->add_option("--json", demo->traceJsonFile, "the trace as JSON events");
    demoCommand->add_option("--preview", demo->previewFile, "only plan, and draw the plan here (SVG); no board");
    addPenOptions(*demoCommand, demo->pens, true);
    demoCommand->callback([&action, demo] { action = [demo] { return runDemo(*demo); }; });
}

}  // namespace cli
