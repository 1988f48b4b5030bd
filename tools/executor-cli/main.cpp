// executor-cli: drives a board through the executor library. For now it runs the built-in
// demo job on the in-process simulated board and writes a picture of what was marked.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"

namespace {

constexpr double kTickSeconds = 10e-6;
constexpr double kPi = 3.14159265358979323846;

struct Options {
    BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7;
    std::string svg = "demo-trace.svg";
    std::string json;
    double markSpeed = 1000;  // mm/s
    double jumpSpeed = 4000;  // mm/s
};

void usage() {
    std::fprintf(stderr,
                 "usage: executor-cli demo [--board sim7|sim5] [--out FILE.svg] [--json FILE.json]\n"
                 "                         [--mark-speed MM_S] [--jump-speed MM_S]\n"
                 "Runs a built-in job (test square, diagonals, circle) on the simulated board and\n"
                 "writes a picture of what was marked.\n");
}

// Ticks for a move of the given length at the given speed, split so that no count passes 16 bits.
std::vector<uint16_t> stepCounts(double lengthMm, double speedMmS) {
    double ticks = std::max(1.0, std::round(lengthMm / speedMmS / kTickSeconds));
    std::vector<uint16_t> out;
    while (ticks > 65535) {
        out.push_back(65535);
        ticks -= 65535;
    }
    out.push_back(static_cast<uint16_t>(ticks));
    return out;
}

struct Job {
    Executor& executor;
    TarnParam lens;
    MarkCtrlData ctrl;
    Options options;
    Point2dConcept<double> at{0, 0};
    size_t segments = 0;

    void move(Point2dConcept<double> to, bool mark) {
        const double dx = to.x - at.x;
        const double dy = to.y - at.y;
        const std::vector<uint16_t> steps =
            stepCounts(std::hypot(dx, dy), mark ? options.markSpeed : options.jumpSpeed);
        double done = 0;
        double total = 0;
        for (uint16_t s : steps) total += s;
        for (uint16_t s : steps) {
            done += s;
            const Point2dConcept<double> p(at.x + dx * done / total, at.y + dy * done / total);
            if (mark) {
                executor.linetoPositionAbs(lens, p, s, 0, ctrl);
            } else {
                executor.gotoPositionAbs(lens, p, s, 20, ctrl);
            }
            ++segments;
        }
        at = to;
    }
    void polyline(const std::vector<Point2dConcept<double>>& points) {
        move(points.front(), false);
        for (size_t i = 1; i < points.size(); ++i) move(points[i], true);
    }
};

int runDemo(const Options& options) {
    sim::SimConfig config;
    config.protocol = options.protocol;
    sim::SimBoard board(config);
    sim::SimTransfer link(board);
    std::unique_ptr<Executor> executor(Executor::create(BOARD_TYPE_PROTOCOL7, options.protocol));
    executor->setTransfer(&link);
    if (executor->init(DevPar(), false, false) != SDK_OK) {
        std::fprintf(stderr, "executor-cli: the simulated board did not start\n");
        return 1;
    }

    TarnParam lens;
    lens.galvo.fieldSize = 100;
    lens.galvo.setResolution(65535);
    lens.laser.laserType = LASER_TYPE_0;
    lens.laser.pwmEnable0 = 1;
    for (int i = 0; i <= 10; ++i) lens.laser.powerTable0[i] = static_cast<float>(10 * i);
    PenParam pen;
    pen.power = 60;
    pen.frequency = 20;
    MarkCtrlData ctrl;
    ctrl.markType = MARK_TYPE_LINEAR;

    executor->sendMarkPara(lens, false, MARK_TYPE_LINEAR);
    executor->setStartMark();
    executor->sendPenPara(lens.laser, pen);
    Job job{*executor, lens, ctrl, options};
    job.polyline({{-40, -40}, {40, -40}, {40, 40}, {-40, 40}, {-40, -40}});  // test square
    job.polyline({{-40, -40}, {40, 40}});                                    // diagonals
    job.polyline({{-40, 40}, {40, -40}});
    std::vector<Point2dConcept<double>> circle;
    for (int i = 0; i <= 180; ++i)
        circle.push_back({25 * std::cos(i * 2 * kPi / 180), 25 * std::sin(i * 2 * kPi / 180)});
    job.polyline(circle);
    const bool streamed = executor->exeCurCmd(true);
    executor->unInit();

    const sim::Trace trace = board.trace();
    std::ofstream(options.svg) << trace.toSvg();
    if (!options.json.empty()) std::ofstream(options.json) << trace.toJson();
    const double seconds = static_cast<double>(board.clock()) * kTickSeconds;
    std::printf("demo job on the simulated protocol %d board: %zu segments planned, %zu marks, %zu jumps\n",
                options.protocol == BOARD_PROTOCOL_7 ? 7 : 5, job.segments, trace.marks(), trace.jumps());
    std::printf("marked %.1f mm in %.3f s of board time; board errors: %u\n",
                trace.markedLength() / (65535 / lens.galvo.fieldSize), seconds, board.errors().total());
    std::printf("picture: %s\n", options.svg.c_str());
    return streamed && board.errors().total() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "demo") != 0) {
        usage();
        return 2;
    }
    Options options;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--board" && hasValue) {
            const std::string board = argv[++i];
            if (board != "sim7" && board != "sim5") {
                std::fprintf(stderr, "executor-cli: unknown board '%s' (sim7 or sim5)\n", board.c_str());
                return 2;
            }
            options.protocol = board == "sim5" ? BOARD_PROTOCOL_5 : BOARD_PROTOCOL_7;
        } else if (arg == "--out" && hasValue) {
            options.svg = argv[++i];
        } else if (arg == "--json" && hasValue) {
            options.json = argv[++i];
        } else if ((arg == "--mark-speed" || arg == "--jump-speed") && hasValue) {
            const double v = std::atof(argv[++i]);
            if (!(v > 0)) {
                std::fprintf(stderr, "executor-cli: %s needs a positive speed in mm/s\n", arg.c_str());
                return 2;
            }
            (arg == "--mark-speed" ? options.markSpeed : options.jumpSpeed) = v;
        } else {
            usage();
            return 2;
        }
    }
    return runDemo(options);
}
