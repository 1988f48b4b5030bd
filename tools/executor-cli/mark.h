#pragma once
// Marking a job: a drawing or JSON job file (mark) or the built-in job (demo) is planned, then
// streamed to the board or downloaded into its flash, or only drawn as a preview.

#include <optional>
#include <string>

#include "board.h"
#include "executor/executor.h"
#include "executor/planner/job.h"
#include "executor/planner/placement.h"
#include "field_fit.h"

namespace cli {

// Settings given on the command line; each replaces that setting in every pen of the job.
struct PenOverrides {
    std::optional<double> markSpeed;   // mm/s
    std::optional<double> jumpSpeed;   // mm/s
    std::optional<double> power;       // percent
    std::optional<double> frequency;   // kHz
    std::optional<double> pulseWidth;  // us

    void applyTo(planner::Job& job) const;
};

// Where a drawing lands: SVG drawings (origin at a page corner) and fitted drawings are centred on
// the field by default, JSON jobs (millimetres about the field centre) stay where they are.
enum class Placement { Auto, Centre, AsIs };

struct MarkOptions {
    BoardOptions board;
    PenOverrides pens;
    double fieldMm = 100;
    double toleranceMm = 0.01;   // SVG curves flattened to within this
    std::string calibFile;       // lens from a calibration file instead of fieldMm
    std::string previewFile;     // only plan and draw the plan here
    std::string traceFile;       // SVG of what a simulated board executed
    std::string traceJsonFile;   // the same as JSON events
    bool offline = false;        // download into flash instead of streaming
    double deadlineSeconds = 0;  // whole job; 0: planned time plus a margin
    Placement place = Placement::Auto;
    planner::PlaceOptions layout;  // rotation, scale, offset; place decides its centre
    Outside outside = Outside::Refuse;
};

// An SVG drawing or a JSON job, told apart by extension, else by content. Throws
// CliError(kExitBadInput) naming the file.
planner::Job loadJob(const std::string& file, double toleranceMm);

// Refuses, before any job runs, an output file that could not be written (exit 6).
void requireOutputs(const MarkOptions& options);

// Plans and marks job through lens (or previews it); title names it in messages. Returns the exit status;
// failures throw CliError.
int markJob(planner::Job job, const TarnParam& lens, const std::string& title, const MarkOptions& options);

// mark FILE: placed as options say, clipped to the field (or refused), then marked.
int runMark(const std::string& file, const MarkOptions& options);

}  // namespace cli
