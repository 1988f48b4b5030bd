#include "mark.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "calib.h"
#include "cli_error.h"
#include "executor/planner/planner.h"
#include "executor/planner/run.h"
#include "executor/sim/sim_board.h"
#include "files.h"
#include "import/import_error.h"
#include "import/json_job.h"
#include "import/svg_import.h"
#include "interrupt.h"
#include "preview.h"
#include "progress_bar.h"

namespace cli {

namespace {

bool endsWith(std::string text, const std::string& suffix) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

enum class FileKind { Svg, Json };
constexpr std::size_t kSniffBytes = 4096;  // enough to see past a byte-order mark and leading blanks

FileKind kindOf(const std::string& file) {
    if (endsWith(file, ".svg")) return FileKind::Svg;
    if (endsWith(file, ".json")) return FileKind::Json;
    const std::string content = readInputFile(file, kSniffBytes);  // never the whole of a huge file
    const size_t first = content.find_first_not_of(" \t\r\n");
    // A byte-order mark or an XML declaration both start like markup.
    if (first != std::string::npos && content[first] == '{') return FileKind::Json;
    if (first != std::string::npos && (content[first] == '<' || content[first] == '\xEF')) return FileKind::Svg;
    throw CliError(kExitBadInput, about(file, "neither an SVG drawing nor a JSON job"));
}

void printPlan(const planner::PlanSummary& s) {
    std::printf("plan: %zu segments (%zu marks, %zu jumps), marked %.1f mm, jumped %.1f mm, planned %.3f s\n",
                s.segments, s.marks, s.jumps, s.markLength, s.jumpLength, s.seconds);
}

planner::RunOptions runOptions(const MarkOptions& options) {
    planner::RunOptions run;
    run.deadlineSeconds = options.deadlineSeconds;
    run.cancel = &InterruptGuard::flag();
    return run;
}

// The one line for a job that did not run through, with the exit status that goes with it.
[[noreturn]] void failJob(const BoardConnection& board, const planner::RunResult& result) {
    if (result.outcome == planner::Outcome::Stopped) throw CliError(kExitStopped, result.message());
    throw CliError(kExitJobFailed, about(board.name(), result.message()));
}

// Streams the job and waits until the board has executed all of it.
planner::RunResult stream(BoardConnection& board, const TarnParam& lens, const planner::Job& job,
                          const planner::Plan& plan, const MarkOptions& options) {
    ProgressBar bar("marking");
    planner::RunResult result =
        planner::runPlan(board.executor(), board.link(), lens, job, plan, runOptions(options),
                         [&bar](const planner::RunProgress& p) { bar.update(p.marksDone, p.marksTotal, "marks"); });
    bar.finish();
    if (!result.ok()) failJob(board, result);
    return result;
}

// Writes the job into the board's flash.
planner::RunResult download(BoardConnection& board, const TarnParam& lens, const planner::Job& job,
                            const planner::Plan& plan, const MarkOptions& options) {
    ProgressBar bar("storing");
    planner::RunResult result = planner::downloadPlan(
        board.executor(), board.link(), lens, job, plan, runOptions(options),
        [&bar](const planner::RunProgress& p) { bar.update(p.marksDone, p.marksTotal, "pages"); });
    bar.finish();
    if (!result.ok()) failJob(board, result);
    return result;
}

// The simulated board runs the stored program as a board started without a host would; its
// counter must show every count command the program carries.
void runStoredProgram(BoardConnection& board, const planner::Job& job, const planner::Plan& plan) {
    uint32_t before = 0, after = 0;
    const bool counted = board.executor().getMarkCount(true, before);
    if (!board.simBoard()->runOfflineProgram())
        throw CliError(kExitJobFailed, about(board.name(), "the stored program did not run"));
    const std::size_t expected = planner::planCounts(job, plan);
    if (!counted || !board.executor().getMarkCount(true, after) || after - before != expected)
        throw CliError(kExitJobFailed,
                       about(board.name(), "the stored program ran only " + std::to_string(after - before) + " of " +
                                               std::to_string(expected) + " checkpoints"));
}

void reportSimBoard(const sim::SimBoard& board, double unitsPerMm, const std::string& name) {
    const sim::Trace trace = board.trace();
    const double seconds = static_cast<double>(board.clock()) * board.config().tickSeconds;
    std::printf("board %s: %zu marks, %zu jumps, marked %.1f mm, %.3f s of board time, board errors: %u\n",
                name.c_str(), trace.marks(), trace.jumps(), trace.markedLength() / unitsPerMm, seconds,
                board.errors().total());
}

}  // namespace

void PenOverrides::applyTo(planner::Job& job) const {
    if (job.pens.empty()) job.pens.push_back(planner::Pen{"default"});
    for (planner::Pen& pen : job.pens) {
        if (markSpeed) pen.markSpeed = *markSpeed;
        if (jumpSpeed) pen.jumpSpeed = *jumpSpeed;
        if (power) pen.power = *power;
        if (frequency) pen.frequency = *frequency;
        if (pulseWidth) pen.pulseWidth = *pulseWidth;
    }
}

planner::Job loadJob(const std::string& file, double toleranceMm) {
    requireInputFile(file);
    try {
        if (kindOf(file) == FileKind::Json) return importer::importJsonFile(file);
        std::vector<std::string> warnings;
        importer::SvgOptions options;
        options.tolerance = toleranceMm;
        options.warnings = &warnings;
        planner::Job job = importer::importSvgFile(file, options);
        for (const std::string& warning : warnings)
            std::fprintf(stderr, "executor-cli: %s: warning: %s\n", file.c_str(), warning.c_str());
        return job;
    } catch (const importer::ImportError& e) {
        throw CliError(kExitBadInput, about(file, e.what()));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        // The parsers' own failures, not yet worded by the importers.
        throw CliError(kExitBadInput, about(file, e.what()));
    }
}

void requireOutputs(const MarkOptions& options) {
    for (const std::string* output : {&options.previewFile, &options.traceFile, &options.traceJsonFile})
        if (!output->empty()) requireOutputFile(*output);
}

int markJob(planner::Job job, const TarnParam& lens, const std::string& title, const MarkOptions& options) {
    options.pens.applyTo(job);
    if (job.polylines.empty()) throw CliError(kExitBadInput, about(title, "nothing to mark"));

    planner::Plan plan;
    try {
        plan = planner::makePlan(job);
    } catch (const std::invalid_argument& e) {
        throw CliError(kExitBadInput, about(title, e.what()));
    }

    requireOutputs(options);
    if (!options.previewFile.empty()) {
        writeOutputFile(options.previewFile, planToSvg(job, plan, lens.galvo.fieldSize));
        printPlan(plan.summary);
        std::printf("preview: %s\n", options.previewFile.c_str());
        return kExitOk;
    }

    BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7;
    const bool inProcess = simProtocol(options.board.address, protocol);
    if (!inProcess && !(options.traceFile.empty() && options.traceJsonFile.empty()))
        throw CliError(kExitUsage, about(options.board.address,
                                         "a trace comes only from a simulated board in process (sim7, sim5); "
                                         "executor-sim writes its own with --trace"));

    BoardConnection board(options.board);
    const planner::RunResult result =
        options.offline ? download(board, lens, job, plan, options) : stream(board, lens, job, plan, options);
    sim::SimBoard* simBoard = board.simBoard();
    if (options.offline && simBoard != nullptr) runStoredProgram(board, job, plan);
    if (!board.disconnect()) throw CliError(kExitBoard, about(board.name(), "board did not let go"));

    printPlan(plan.summary);
    if (options.offline) {
        std::printf("board %s: job stored in flash (%zu pages of 256 bytes, %llu of %llu bytes)\n",
                    board.name().c_str(), result.pagesStored, static_cast<unsigned long long>(result.imageBytes),
                    static_cast<unsigned long long>(result.flashBytes));
    } else {
        std::printf("board %s: job marked (%zu of %zu marks, counted by the board)\n", board.name().c_str(),
                    result.marksDone, result.marksPlanned);
    }
    if (simBoard == nullptr) return kExitOk;
    reportSimBoard(*simBoard, lens.galvo.scale, board.name());
    if (!options.traceFile.empty()) {
        writeOutputFile(options.traceFile, simBoard->trace().toSvg());
        std::printf("picture: %s\n", options.traceFile.c_str());
    }
    if (!options.traceJsonFile.empty()) {
        writeOutputFile(options.traceJsonFile, simBoard->trace().toJson());
        std::printf("trace: %s\n", options.traceJsonFile.c_str());
    }
    const uint32_t errors = simBoard->errors().total();
    if (errors != 0)
        throw CliError(kExitJobFailed, about(board.name(), "the board found " + std::to_string(errors) +
                                                               " errors in what it was sent"));
    return kExitOk;
}

int runMark(const std::string& file, const MarkOptions& options) {
    // From here on Ctrl-C ends the job the way a stop does, however far it got.
    InterruptGuard interrupts;
    planner::Job job = loadJob(file, options.toleranceMm);
    const TarnParam lens = makeLens(options.fieldMm, options.calibFile);
    const double fieldMm = lens.galvo.fieldSize;
    planner::PlaceOptions layout = options.layout;
    // Drawings have their origin at a page corner, the field at its centre; a fitted drawing fills the field.
    layout.centre = options.place == Placement::Centre ||
                    (options.place == Placement::Auto && (layout.fit || kindOf(file) == FileKind::Svg));
    try {
        planner::place(job, layout, fieldMm);
    } catch (const std::invalid_argument& e) {
        throw CliError(kExitUsage, about(file, e.what()));
    }
    keepInsideField(job, fieldMm, file, options.outside);
    return markJob(std::move(job), lens, file, options);
}

}  // namespace cli
