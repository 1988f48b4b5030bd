#include "executor/planner/font.h"

#include <cmath>
#include <stdexcept>

namespace planner {

namespace {

// Glyphs are drawn on a grid kCellWidth units wide and kCellHeight units high, origin at the
// left end of the baseline. A glyph is a list of strokes separated by '/'; a stroke is a list of
// grid points "xy" (one digit each) separated by spaces. A stroke of one point is a dot.
constexpr int kCellWidth = 4;
constexpr int kCellHeight = 6;

struct GlyphSource {
    char character;
    const char* strokes;
};

// clang-format off
constexpr GlyphSource kGlyphs[] = {
    {'0', "10 30 41 45 36 16 05 01 10 / 11 35"},
    {'1', "15 26 20 / 10 30"},
    {'2', "05 16 36 45 44 00 40"},
    {'3', "05 16 36 45 44 33 42 41 30 10 01 / 13 33"},
    {'4', "30 36 02 42"},
    {'5', "46 06 03 33 42 41 30 10 01"},
    {'6', "45 36 16 05 01 10 30 41 42 33 03"},
    {'7', "06 46 10"},
    {'8', "13 04 05 16 36 45 44 33 13 02 01 10 30 41 42 33"},
    {'9', "01 10 30 41 45 36 16 05 04 13 43"},
    {'A', "00 04 26 44 40 / 02 42"},
    {'B', "00 06 36 45 44 33 03 / 33 42 41 30 00"},
    {'C', "45 36 16 05 01 10 30 41"},
    {'D', "00 06 36 45 41 30 00"},
    {'E', "46 06 00 40 / 03 33"},
    {'F', "46 06 00 / 03 33"},
    {'G', "45 36 16 05 01 10 30 41 43 23"},
    {'H', "00 06 / 40 46 / 03 43"},
    {'I', "10 30 / 20 26 / 16 36"},
    {'J', "16 46 41 30 10 01"},
    {'K', "00 06 / 46 02 / 13 40"},
    {'L', "06 00 40"},
    {'M', "00 06 23 46 40"},
    {'N', "00 06 40 46"},
    {'O', "10 30 41 45 36 16 05 01 10"},
    {'P', "00 06 36 45 44 33 03"},
    {'Q', "10 30 41 45 36 16 05 01 10 / 22 40"},
    {'R', "00 06 36 45 44 33 03 / 23 40"},
    {'S', "45 36 16 05 04 13 33 42 41 30 10 01"},
    {'T', "06 46 / 20 26"},
    {'U', "06 01 10 30 41 46"},
    {'V', "06 20 46"},
    {'W', "06 10 23 30 46"},
    {'X', "00 46 / 06 40"},
    {'Y', "06 23 46 / 23 20"},
    {'Z', "06 46 00 40"},
    {' ', ""},
    {'.', "20"},
    {',', "21 10"},
    {':', "21 / 24"},
    {';', "24 / 21 10"},
    {'-', "13 33"},
    {'+', "03 43 / 21 25"},
    {'=', "02 42 / 04 44"},
    {'/', "10 36"},
    {'(', "36 14 12 30"},
    {')', "16 34 32 10"},
    {'#', "10 26 / 30 46 / 02 42 / 04 44"},
    {'%', "00 46 / 05 06 16 15 05 / 30 31 41 40 30"},
    {'&', "40 04 05 16 26 35 34 01 10 20 42"},
    {'\'', "26 24"},
    {'"', "16 14 / 36 34"},
    {'!', "26 22 / 20"},
    {'?', "05 16 36 45 44 23 22 / 20"},
    {'_', "00 40"},
    {'*', "21 25 / 02 44 / 04 42"},
    {'@', "32 34 14 12 32 42 45 36 16 05 01 10 40"},
    {'<', "41 03 45"},
    {'>', "01 43 05"},
};
// clang-format on

char foldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

const GlyphSource* findGlyph(char c) {
    const char wanted = foldCase(c);
    for (const GlyphSource& glyph : kGlyphs) {
        if (glyph.character == wanted) return &glyph;
    }
    return nullptr;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Appends the strokes of a glyph, scaled by `unit` mm per grid unit and placed at `at`.
void drawGlyph(const GlyphSource& glyph, Point at, double unit, std::size_t pen, std::vector<Polyline>& out) {
    Polyline stroke;
    stroke.pen = pen;
    for (const char* c = glyph.strokes;; ++c) {
        if (isDigit(c[0]) && isDigit(c[1])) {
            stroke.points.push_back({at.x + (c[0] - '0') * unit, at.y + (c[1] - '0') * unit});
            ++c;
        } else if (*c == '/' || *c == '\0') {
            if (!stroke.points.empty()) out.push_back(stroke);
            stroke.points.clear();
            if (*c == '\0') break;
        }
    }
}

}  // namespace

std::vector<Polyline> textToPolylines(const std::string& text, Point origin, const TextStyle& style, std::size_t pen) {
    if (!(style.height > 0) || !std::isfinite(style.height)) {
        throw std::invalid_argument("font: the text height must be a positive number of millimetres");
    }
    const double unit = style.height / kCellHeight;
    const double advance = unit * kCellWidth + style.spacing * style.height;
    std::vector<Polyline> out;
    Point at = origin;
    for (char c : text) {
        if (c == '\n') {
            at.x = origin.x;
            at.y -= style.lineSpacing * style.height;
            continue;
        }
        const GlyphSource* glyph = findGlyph(c);
        if (glyph == nullptr) continue;
        drawGlyph(*glyph, at, unit, pen, out);
        at.x += advance;
    }
    return out;
}

bool fontHasGlyph(char c) { return findGlyph(c) != nullptr; }

}  // namespace planner
