#include "executor/sim/trace.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace sim {

namespace {

const char* kindName(TraceEvent::Kind kind) {
    switch (kind) {
        case TraceEvent::kJump:
            return "jump";
        case TraceEvent::kMark:
            return "mark";
        case TraceEvent::kDelay:
            return "delay";
        case TraceEvent::kOutput:
            return "output";
        case TraceEvent::kAxisMove:
            return "axis";
        case TraceEvent::kLaser:
            return "laser";
        case TraceEvent::kLens:
            return "lens";
        default:
            return "other";
    }
}

double length(const TraceEvent& e) { return std::hypot(double(e.x1) - e.x0, double(e.y1) - e.y0); }

// Distinct laser settings get distinct colours, in order of first use.
const char* const kPalette[] = {"#d62728", "#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b", "#e377c2", "#17becf"};

// Laser periods and widths count a 48 MHz board clock.
constexpr double kBoardClockMHz = 48.0;
constexpr double kBoardClockKHz = 48000.0;
constexpr int kLegendRowPixels = 20;

// What a mark colour stands for, e.g. "PWM 20.0 kHz, 5.0 us on, analogue 2457".
std::string legendLabel(const LaserState& l) {
    char text[64];
    if (l.pwmPeriod != 0) {
        std::snprintf(text, sizeof(text), "PWM %.1f kHz, %.1f us on", kBoardClockKHz / l.pwmPeriod,
                      l.pwmWidth / kBoardClockMHz);
    } else {
        std::snprintf(text, sizeof(text), "no PWM");
    }
    std::string label = text;
    if (l.daLevel != 0) label += ", analogue " + std::to_string(l.daLevel);
    if (l.fiberPower != 0) label += ", power word " + std::to_string(l.fiberPower);
    if (l.mopa != 0) label += ", MOPA " + std::to_string(l.mopa);
    return label;
}

}  // namespace

size_t Trace::marks() const {
    size_t n = 0;
    for (const TraceEvent& e : events) n += e.kind == TraceEvent::kMark ? 1 : 0;
    return n;
}

size_t Trace::jumps() const {
    size_t n = 0;
    for (const TraceEvent& e : events) n += e.kind == TraceEvent::kJump ? 1 : 0;
    return n;
}

double Trace::markedLength() const {
    double total = 0;
    for (const TraceEvent& e : events)
        if (e.kind == TraceEvent::kMark) total += length(e);
    return total;
}

std::string Trace::toJson() const {
    std::ostringstream out;
    out << "[";
    for (size_t i = 0; i < events.size(); ++i) {
        const TraceEvent& e = events[i];
        out << (i == 0 ? "\n" : ",\n") << "  {\"kind\":\"" << kindName(e.kind) << "\",\"start\":" << e.startTick
            << ",\"ticks\":" << e.ticks;
        switch (e.kind) {
            case TraceEvent::kJump:
            case TraceEvent::kMark:
                out << ",\"from\":[" << e.x0 << "," << e.y0 << "],\"to\":[" << e.x1 << "," << e.y1 << "]";
                if (e.kind == TraceEvent::kJump) break;
                [[fallthrough]];
            case TraceEvent::kLaser:
                out << ",\"laser\":{\"pwmPeriod\":" << e.laser.pwmPeriod << ",\"pwmWidth\":" << e.laser.pwmWidth
                    << ",\"da\":" << e.laser.daLevel << ",\"fiberPower\":" << e.laser.fiberPower
                    << ",\"mopa\":" << e.laser.mopa << ",\"red\":" << (e.laser.redLight ? "true" : "false") << "}";
                break;
            case TraceEvent::kOutput:
                out << ",\"mask\":" << e.a << ",\"value\":" << e.b;
                break;
            case TraceEvent::kAxisMove:
                out << ",\"axis\":" << e.a << ",\"pulses\":" << static_cast<int32_t>(e.b);
                break;
            case TraceEvent::kLens:
                out << ",\"rangeX\":" << e.a << ",\"rangeY\":" << e.b;
                break;
            case TraceEvent::kOther:
                out << ",\"opcode\":" << e.a;
                break;
            default:
                break;
        }
        out << "}";
    }
    // The trace limit cut the record short: say how much is missing rather than look complete.
    if (dropped != 0) out << (events.empty() ? "\n" : ",\n") << "  {\"kind\":\"dropped\",\"count\":" << dropped << "}";
    out << (events.empty() && dropped == 0 ? "]\n" : "\n]\n");
    if (!out) throw std::bad_alloc();  // a stream that ran out of memory only sets a flag
    return out.str();
}

std::string Trace::toSvg(int pixels) const {
    constexpr double kField = 65536.0;
    if (pixels <= 0) pixels = 800;
    const double unit = kField / pixels;  // one pixel in device units
    using LaserKey = std::tuple<uint32_t, uint32_t, uint16_t, uint16_t, uint16_t>;
    std::map<LaserKey, const char*> colours;
    std::vector<LaserState> settings;  // in order of first use, for the legend
    auto colourOf = [&](const LaserState& l) {
        auto key = std::make_tuple(l.pwmPeriod, l.pwmWidth, l.daLevel, l.fiberPower, l.mopa);
        auto it = colours.find(key);
        if (it != colours.end()) return it->second;
        const char* c = kPalette[colours.size() % (sizeof(kPalette) / sizeof(kPalette[0]))];
        colours.emplace(key, c);
        settings.push_back(l);
        return c;
    };

    std::ostringstream body;
    // Device y grows upwards; the picture's y grows downwards.
    auto line = [&](const TraceEvent& e, const char* style) {
        body << "<line x1=\"" << e.x0 << "\" y1=\"" << (65535 - e.y0) << "\" x2=\"" << e.x1 << "\" y2=\""
             << (65535 - e.y1) << "\" " << style << "/>\n";
    };
    char jumpStyle[128];
    std::snprintf(jumpStyle, sizeof(jumpStyle), "stroke=\"#aaa\" stroke-width=\"%.0f\" stroke-dasharray=\"%.0f %.0f\"",
                  unit, 4 * unit, 3 * unit);
    for (const TraceEvent& e : events) {
        if (e.kind == TraceEvent::kJump) line(e, jumpStyle);
    }
    for (const TraceEvent& e : events) {
        if (e.kind != TraceEvent::kMark) continue;
        char style[128];
        std::snprintf(style, sizeof(style), "stroke=\"%s\" stroke-width=\"%.0f\" stroke-linecap=\"round\"",
                      colourOf(e.laser), 2 * unit);
        line(e, style);
    }

    // A legend below the field: the laser settings behind each colour.
    const double row = kLegendRowPixels * unit;
    const int legendPixels = settings.empty() ? 0 : static_cast<int>((settings.size() + 1) * kLegendRowPixels);
    for (size_t i = 0; i < settings.size(); ++i) {
        const LaserState& l = settings[i];
        const double y = kField + (i + 1) * row;
        const char* colour = kPalette[i % (sizeof(kPalette) / sizeof(kPalette[0]))];
        body << "<line x1=\"" << row << "\" y1=\"" << y - row / 3 << "\" x2=\"" << 3 * row << "\" y2=\"" << y - row / 3
             << "\" stroke=\"" << colour << "\" stroke-width=\"" << 4 * unit << "\"/>\n";
        body << "<text x=\"" << 3.5 * row << "\" y=\"" << y << "\" font-family=\"sans-serif\" font-size=\"" << 0.7 * row
             << "\">" << legendLabel(l) << "</text>\n";
    }
    const double height = kField + legendPixels * unit;
    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << pixels << "\" height=\"" << pixels + legendPixels
        << "\" viewBox=\"0 0 65536 " << height << "\">\n";
    out << "<rect x=\"0\" y=\"0\" width=\"65536\" height=\"" << height << "\" fill=\"white\"/>\n";
    out << "<rect x=\"0\" y=\"0\" width=\"65536\" height=\"65536\" fill=\"white\" stroke=\"#888\" stroke-width=\""
        << 2 * unit << "\"/>\n";
    if (dropped != 0)
        out << "<text x=\"" << row << "\" y=\"" << 1.5 * row << "\" font-family=\"sans-serif\" font-size=\""
            << 0.7 * row << "\" fill=\"#c00\">" << dropped << " later events not kept (trace limit)</text>\n";
    out << body.str() << "</svg>\n";
    if (!out || !body) throw std::bad_alloc();  // a stream that ran out of memory only sets a flag
    return out.str();
}

}  // namespace sim
