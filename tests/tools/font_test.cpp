#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "executor/planner/font.h"

using planner::Polyline;
using planner::TextStyle;

namespace {

const std::string kAdvertised = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ .,:;-+/()#%&'\"!?_=*@<>";

std::vector<std::pair<double, double>> pointsOf(const std::vector<Polyline>& strokes) {
    std::vector<std::pair<double, double>> out;
    for (const Polyline& s : strokes)
        for (const auto& p : s.points) out.emplace_back(p.x, p.y);
    return out;
}

}  // namespace

// Height 6 mm makes one grid unit one millimetre: every glyph lies in its 4 x 6 mm cell.
TEST(Font, EveryAdvertisedGlyphIsDrawnInsideItsCell) {
    TextStyle style;
    style.height = 6;
    for (char c : kAdvertised) {
        EXPECT_TRUE(planner::fontHasGlyph(c)) << c;
        const std::vector<Polyline> strokes = planner::textToPolylines(std::string(1, c), {10, 20}, style, 3);
        EXPECT_EQ(strokes.empty(), c == ' ') << c;
        for (const Polyline& s : strokes) {
            EXPECT_EQ(s.pen, 3u) << c;
            for (const auto& p : s.points) {
                EXPECT_TRUE(p.x >= 10 && p.x <= 14 && p.y >= 20 && p.y <= 26) << c << " " << p.x << "," << p.y;
            }
        }
    }
}

TEST(Font, LowerCaseIsDrawnAsCapitalsAndUnknownCharactersTakeNoRoom) {
    const TextStyle style;
    EXPECT_TRUE(planner::fontHasGlyph('q'));
    EXPECT_FALSE(planner::fontHasGlyph('~'));
    EXPECT_EQ(pointsOf(planner::textToPolylines("sn-42a", {}, style, 0)),
              pointsOf(planner::textToPolylines("SN-42A", {}, style, 0)));
    EXPECT_EQ(pointsOf(planner::textToPolylines("A~\t\xC2\xB0"
                                                "B",
                                                {}, style, 0)),
              pointsOf(planner::textToPolylines("AB", {}, style, 0)));
    EXPECT_THROW(planner::textToPolylines("A", {}, TextStyle{0}, 0), std::invalid_argument);
}

// The next glyph starts a cell (two thirds of the height) plus the spacing further; a newline
// goes back to the origin's x, lineSpacing heights lower.
TEST(Font, AdvanceAndNewlines) {
    TextStyle style;
    style.height = 3;
    style.spacing = 0.5;
    style.lineSpacing = 2;
    const auto one = pointsOf(planner::textToPolylines("L", {1, 1}, style, 0));
    const auto row = pointsOf(planner::textToPolylines("LL\nL", {1, 1}, style, 0));
    ASSERT_EQ(row.size(), 3 * one.size());
    for (std::size_t i = 0; i < one.size(); ++i) {
        EXPECT_DOUBLE_EQ(row[i + one.size()].first, one[i].first + 2 + 1.5);
        EXPECT_DOUBLE_EQ(row[i + one.size()].second, one[i].second);
        EXPECT_DOUBLE_EQ(row[i + 2 * one.size()].first, one[i].first);
        EXPECT_DOUBLE_EQ(row[i + 2 * one.size()].second, one[i].second - 6);
    }
}
