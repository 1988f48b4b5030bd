// The mark subcommand's command line.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "cli_options.h"
#include "field_fit.h"
#include "mark.h"

namespace cli {

void addMarkCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<MarkOptions>();
    auto file = std::make_shared<std::string>();
    MarkOptions& mark = *options;
    CLI::App* markCommand = app.add_subcommand("mark", "mark an SVG drawing or a JSON job");
    markCommand->add_option("FILE", *file, "drawing (.svg) or job (.json)")->required();
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
                "--scale", [m = options.get()](double v) { m->layout.scale = v; }, "scale the drawing by this factor")
            ->check(finiteNumber(true));
    CLI::Option* size = markCommand->add_option_function<std::string>(
        "--size", [m = options.get()](const std::string& v) { parseSize(v, m->layout.width, m->layout.height); },
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
            "--offset",
            [m = options.get()](const std::string& v) { parseOffset(v, m->layout.offsetX, m->layout.offsetY); },
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
    markCommand->callback([&action, options, file] { action = [options, file] { return runMark(*file, *options); }; });
}

}  // namespace cli
