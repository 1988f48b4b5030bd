#include "import/svg_units.h"

#include <algorithm>

#include "import/import_error.h"
#include "import/svg_scanner.h"

namespace importer {

namespace {

struct Unit {
    const char* name;
    double px;
};

constexpr Unit kUnits[] = {
    {"px", 1},          {"mm", kPxPerInch / kMmPerInch}, {"cm", 10 * kPxPerInch / kMmPerInch},
    {"in", kPxPerInch}, {"pt", kPxPerInch / 72},         {"pc", kPxPerInch / 6},
};

}  // namespace

std::optional<double> lengthInPx(const std::string& text) {
    SvgScanner scan(text);
    scan.skipSpaces();
    if (scan.atEnd()) return std::nullopt;
    double value = 0;
    if (!scan.readNumber(value)) throw ImportError("bad length " + scan.excerpt(0));
    std::string unit;
    while (!scan.atEnd() && scan.peek() != ' ') unit += scan.take();
    scan.skipSpaces();
    if (!scan.atEnd()) throw ImportError("bad length " + scan.excerpt(0));
    if (unit == "%") return std::nullopt;
    if (unit.empty()) return value;
    for (const Unit& known : kUnits)
        if (unit == known.name) return value * known.px;
    throw ImportError("unknown unit \"" + unit + "\" in length " + scan.excerpt(0));
}

std::optional<ViewBox> parseViewBox(const std::string& text) {
    SvgScanner scan(text);
    scan.skipSpaces();
    if (scan.atEnd()) return std::nullopt;
    double values[4];
    for (double& value : values) {
        scan.skipSeparators();
        if (!scan.readNumber(value)) throw ImportError("bad viewBox " + scan.excerpt(0));
    }
    scan.skipSpaces();
    if (!scan.atEnd()) throw ImportError("bad viewBox " + scan.excerpt(0));
    if (!(values[2] > 0 && values[3] > 0)) throw ImportError("viewBox needs a positive width and height");
    return ViewBox{values[0], values[1], values[2], values[3]};
}

Affine viewBoxTransform(const ViewBox& box, double viewportWidth, double viewportHeight,
                        const std::string& preserveAspectRatio) {
    double sx = viewportWidth / box.width, sy = viewportHeight / box.height;
    std::string align = "xMidYMid";
    bool slice = false;
    SvgScanner scan(preserveAspectRatio);
    scan.skipSpaces();
    std::string word;
    while (!scan.atEnd()) {
        char c = scan.take();
        if (c != ' ') word += c;
        if ((c == ' ' || scan.atEnd()) && !word.empty()) {
            if (word == "slice")
                slice = true;
            else if (word != "meet" && word != "defer")
                align = word;
            word.clear();
        }
    }
    if (align != "none") {
        sx = sy = slice ? std::max(sx, sy) : std::min(sx, sy);
    }
    // Where the scaled box sits in the viewport on each axis: 0 start, 0.5 middle, 1 end.
    auto place = [&](const std::string& axis) {
        if (align.find(axis + "Min") != std::string::npos) return 0.0;
        if (align.find(axis + "Max") != std::string::npos) return 1.0;
        return 0.5;
    };
    double tx = (viewportWidth - box.width * sx) * place("x") - box.x * sx;
    double ty = (viewportHeight - box.height * sy) * place("Y") - box.y * sy;
    return {sx, 0, 0, sy, tx, ty};
}

RootViewport rootViewport(const std::string& width, const std::string& height, const std::string& viewBox,
                          const std::string& preserveAspectRatio) {
    std::optional<double> w = lengthInPx(width), h = lengthInPx(height);
    if ((w && !(*w > 0)) || (h && !(*h > 0))) throw ImportError("the document's width and height must be positive");
    std::optional<ViewBox> box = parseViewBox(viewBox);
    if (!box) {
        // Without a viewBox a document unit is a px whatever the page size.
        RootViewport result{Affine::scale(kMmPerPx, kMmPerPx), std::nullopt};
        if (h) result.heightMm = *h * kMmPerPx;
        return result;
    }
    // A missing size follows the viewBox: its units as px, or its aspect ratio when one side is given.
    if (!w && !h) {
        w = box->width;
        h = box->height;
    } else if (!w) {
        w = *h * box->width / box->height;
    } else if (!h) {
        h = *w * box->height / box->width;
    }
    Affine toPx = viewBoxTransform(*box, *w, *h, preserveAspectRatio);
    return {Affine::scale(kMmPerPx, kMmPerPx) * toPx, *h * kMmPerPx};
}

}  // namespace importer
