#include "import/svg_style.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "import/svg_scanner.h"

namespace importer {

namespace {

struct NamedColour {
    const char* name;
    const char* hex;
};

// The colours drawings name most often; other names stay as written.
constexpr NamedColour kNamedColours[] = {
    {"black", "#000000"},  {"white", "#ffffff"},  {"red", "#ff0000"},  {"lime", "#00ff00"},    {"blue", "#0000ff"},
    {"yellow", "#ffff00"}, {"cyan", "#00ffff"},   {"aqua", "#00ffff"}, {"magenta", "#ff00ff"}, {"fuchsia", "#ff00ff"},
    {"silver", "#c0c0c0"}, {"gray", "#808080"},   {"grey", "#808080"}, {"maroon", "#800000"},  {"olive", "#808000"},
    {"green", "#008000"},  {"purple", "#800080"}, {"teal", "#008080"}, {"navy", "#000080"},    {"orange", "#ffa500"},
};

std::string trim(const std::string& text) {
    auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    auto end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string hex(int r, int g, int b) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", r & 0xff, g & 0xff, b & 0xff);
    return buffer;
}

// "rgb(255, 0, 0)" or "rgb(100%, 0%, 0%)"; nothing when malformed.
std::optional<std::string> rgbFunction(const std::string& text) {
    auto open = text.find('(');
    if (text.back() != ')' || open == std::string::npos) return std::nullopt;
    std::string inner = text.substr(open + 1, text.size() - open - 2);
    SvgScanner scan(inner);
    int channels[3];
    for (int& channel : channels) {
        scan.skipSeparators();
        double value = 0;
        if (!scan.readNumber(value)) return std::nullopt;
        if (scan.peek() == '%') {
            scan.take();
            value = value * 255 / 100;
        }
        channel = static_cast<int>(std::clamp(value, 0.0, 255.0) + 0.5);
    }
    return hex(channels[0], channels[1], channels[2]);
}

}  // namespace

SvgStyle SvgStyle::inherited() const {
    SvgStyle child = *this;
    child.displayed = true;
    return child;
}

void SvgStyle::set(const std::string& property, const std::string& rawValue) {
    std::string value = trim(rawValue);
    auto important = value.find("!important");
    if (important != std::string::npos) value = trim(value.substr(0, important));
    if (value.empty() || value == "inherit") return;
    if (property == "stroke")
        stroke = value;
    else if (property == "fill")
        fill = value;
    else if (property == "color" && lower(value) != "currentcolor")
        color = value;
    else if (property == "visibility")
        visible = value == "visible";
    else if (property == "display")
        displayed = value != "none";
}

void SvgStyle::applyStyleAttribute(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string declaration = text.substr(start, end - start);
        auto colon = declaration.find(':');
        if (colon != std::string::npos) set(lower(trim(declaration.substr(0, colon))), declaration.substr(colon + 1));
        start = end + 1;
    }
}

std::optional<std::string> paintName(const std::string& paint, const std::string& currentColor) {
    std::string text = lower(trim(paint));
    if (text.empty() || text == "none" || text == "transparent") return std::nullopt;
    if (text == "currentcolor") {
        // The color property never holds currentColor itself (set() keeps the inherited value).
        return paintName(currentColor, "black");
    }
    if (text.compare(0, 4, "url(") == 0) {
        // A gradient or pattern: its fallback colour when one is given, else the reference itself.
        auto close = text.find(')');
        std::string fallback = close == std::string::npos ? "" : trim(text.substr(close + 1));
        if (!fallback.empty()) return paintName(fallback, currentColor);
        return text;
    }
    if (text[0] == '#') {
        bool allHex = text.size() > 1 && std::all_of(text.begin() + 1, text.end(), [](char c) {
                          return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                      });
        if (allHex && text.size() == 4) return std::string{'#', text[1], text[1], text[2], text[2], text[3], text[3]};
        return text;
    }
    if (text.compare(0, 4, "rgb(") == 0 || text.compare(0, 5, "rgba(") == 0) {
        auto colour = rgbFunction(text);
        return colour ? *colour : text;
    }
    for (const NamedColour& named : kNamedColours)
        if (text == named.name) return std::string(named.hex);
    return text;
}

std::optional<std::string> penColour(const SvgStyle& style) {
    if (!style.visible || !style.displayed) return std::nullopt;
    if (auto stroke = paintName(style.stroke, style.color)) return stroke;
    return paintName(style.fill, style.color);
}

}  // namespace importer
