#include "preview.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <sstream>

namespace cli {

namespace {

// Pens in order: the same colours the trace picture gives distinct laser settings.
const char* const kPenColours[] = {"#d62728", "#1f77b4", "#2ca02c", "#ff7f0e",
                                   "#9467bd", "#8c564b", "#e377c2", "#17becf"};
constexpr std::size_t kPenColourCount = sizeof(kPenColours) / sizeof(kPenColours[0]);
// Sizes relative to the field side, so every field size looks alike.
constexpr double kMargin = 0.05;
constexpr double kLegendWidth = 0.75;
constexpr double kMarkWidth = 0.003;
constexpr double kJumpWidth = 0.0015;
constexpr double kTextSize = 0.025;

const char* penColour(std::size_t pen) { return kPenColours[pen % kPenColourCount]; }

// Escapes text for SVG character data.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char text[160];
    std::snprintf(text, sizeof(text), pattern, a, b, c, d);
    return text;
}

}  // namespace

std::string planToSvg(const planner::Job& job, const planner::Plan& plan, double fieldMm) {
    const double half = fieldMm / 2;
    const double margin = kMargin * fieldMm;
    const double left = -half - margin;
    const double top = -half - margin;  // picture y is the negated board y
    const double width = fieldMm + 2 * margin + kLegendWidth * fieldMm;
    const double height = fieldMm + 2 * margin;
    const double text = kTextSize * fieldMm;

    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "mm\" height=\"" << height
        << "mm\" viewBox=\"" << left << ' ' << top << ' ' << width << ' ' << height << "\">\n";
    out << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << width << "\" height=\"" << height
        << "\" fill=\"white\"/>\n";
    out << "<rect x=\"" << -half << "\" y=\"" << -half << "\" width=\"" << fieldMm << "\" height=\"" << fieldMm
        << "\" fill=\"none\" stroke=\"#888\" stroke-width=\"" << kJumpWidth * fieldMm << "\"/>\n";

    // The board starts a job at the field centre.
    planner::Point at;
    std::size_t pen = 0;
    std::ostringstream jumps;
    std::ostringstream marks;
    for (const planner::Step& step : plan.steps) {
        switch (step.kind) {
            case planner::Step::Kind::Pen:
                pen = step.pen;
                break;
            case planner::Step::Kind::Jump:
            case planner::Step::Kind::Mark: {
                const bool mark = step.kind == planner::Step::Kind::Mark;
                (mark ? marks : jumps) << "<line x1=\"" << at.x << "\" y1=\"" << -at.y << "\" x2=\"" << step.to.x
                                       << "\" y2=\"" << -step.to.y << "\""
                                       << (mark ? std::string(" stroke=\"") + penColour(pen) + "\"" : "") << "/>\n";
                at = step.to;
                break;
            }
            case planner::Step::Kind::Delay:
                break;
        }
    }
    out << "<g stroke=\"#999\" stroke-width=\"" << kJumpWidth * fieldMm << "\" stroke-dasharray=\""
        << 4 * kJumpWidth * fieldMm << ' ' << 3 * kJumpWidth * fieldMm << "\">\n"
        << jumps.str() << "</g>\n";
    out << "<g stroke-width=\"" << kMarkWidth * fieldMm << "\" stroke-linecap=\"round\">\n" << marks.str() << "</g>\n";

    // Legend to the right of the field.
    const double x = half + 2 * margin;
    double y = -half + text;
    out << "<g font-family=\"sans-serif\" font-size=\"" << text << "\" fill=\"#222\">\n";
    out << "<text x=\"" << x << "\" y=\"" << y << "\" font-weight=\"bold\">"
        << format("field %g mm, planned %.3f s", fieldMm, plan.summary.seconds) << "</text>\n";
    y += 1.5 * text;
    out << "<text x=\"" << x << "\" y=\"" << y << "\">"
        << format("marks %.1f mm, jumps %.1f mm", plan.summary.markLength, plan.summary.jumpLength) << "</text>\n";
    for (std::size_t i = 0; i < job.pens.size(); ++i) {
        const planner::Pen& p = job.pens[i];
        y += 2 * text;
        out << "<line x1=\"" << x << "\" y1=\"" << y - 0.35 * text << "\" x2=\"" << x + 2 * text << "\" y2=\""
            << y - 0.35 * text << "\" stroke=\"" << penColour(i) << "\" stroke-width=\"" << 0.4 * text << "\"/>\n";
        const std::string name = p.name.empty() ? "pen " + std::to_string(i) : p.name;
        out << "<text x=\"" << x + 2.6 * text << "\" y=\"" << y << "\">" << escaped(name) << ": "
            << format("mark %g mm/s, power %g %%, %g kHz", p.markSpeed, p.power, p.frequency) << "</text>\n";
        y += 1.2 * text;
        out << "<text x=\"" << x + 2.6 * text << "\" y=\"" << y << "\" fill=\"#666\">"
            << format("jump %g mm/s, pulse %g us", p.jumpSpeed, p.pulseWidth) << "</text>\n";
    }
    y += 2 * text;
    out << "<line x1=\"" << x << "\" y1=\"" << y - 0.35 * text << "\" x2=\"" << x + 2 * text << "\" y2=\""
        << y - 0.35 * text << "\" stroke=\"#999\" stroke-width=\"" << kJumpWidth * fieldMm << "\" stroke-dasharray=\""
        << 4 * kJumpWidth * fieldMm << ' ' << 3 * kJumpWidth * fieldMm << "\"/>\n";
    out << "<text x=\"" << x + 2.6 * text << "\" y=\"" << y << "\">jumps (laser off)</text>\n";
    out << "</g>\n</svg>\n";
    if (!out || !jumps || !marks) throw std::bad_alloc();  // a failed stream only sets a flag
    return out.str();
}

}  // namespace cli
