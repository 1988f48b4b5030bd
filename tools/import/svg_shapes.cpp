#include "import/svg_shapes.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "import/import_error.h"
#include "import/svg_scanner.h"
#include "import/svg_units.h"

namespace importer {

using planner::Point;

namespace {

// A coordinate or size attribute in user units; `fallback` when absent.
double length(const pugi::xml_node& element, const char* attribute, double fallback = 0) {
    try {
        std::optional<double> value = lengthInPx(element.attribute(attribute).as_string());
        return value ? *value : fallback;
    } catch (const ImportError& error) {
        throw ImportError(std::string("attribute ") + attribute + ": " + error.what());
    }
}

std::vector<Point> points(const pugi::xml_node& element) {
    std::string text = element.attribute("points").as_string();
    SvgScanner scan(text);
    std::vector<Point> result;
    while (true) {
        scan.skipSeparators();
        if (scan.atEnd()) break;
        std::size_t start = scan.position();
        Point p;
        bool ok = scan.readNumber(p.x);
        scan.skipSeparators();
        if (!ok || !scan.readNumber(p.y))
            throw ImportError("attribute points: expected a pair of numbers at " + scan.excerpt(start));
        result.push_back(p);
    }
    return result;
}

void drawPoints(const std::vector<Point>& list, bool closed, PathSink& sink) {
    if (list.size() < 2) return;
    sink.moveTo(list[0]);
    for (std::size_t i = 1; i < list.size(); ++i) sink.lineTo(list[i]);
    if (closed) sink.close();
}

void drawRect(const pugi::xml_node& element, PathSink& sink) {
    double x = length(element, "x"), y = length(element, "y");
    double w = length(element, "width"), h = length(element, "height");
    if (!(w > 0 && h > 0)) return;
    // A missing or negative radius takes the other one; both stop at half the side.
    double rx = length(element, "rx", -1), ry = length(element, "ry", -1);
    if (rx < 0) rx = ry;
    if (ry < 0) ry = rx;
    rx = std::clamp(rx, 0.0, w / 2);
    ry = std::clamp(ry, 0.0, h / 2);
    if (rx == 0 || ry == 0) {
        sink.moveTo({x, y});
        sink.lineTo({x + w, y});
        sink.lineTo({x + w, y + h});
        sink.lineTo({x, y + h});
        sink.close();
        return;
    }
    // Clockwise on the page, each straight side skipped when the corners meet.
    auto side = [&](Point to, bool length) {
        if (length) sink.lineTo(to);
    };
    bool horizontal = rx < w / 2, vertical = ry < h / 2;
    sink.moveTo({x + rx, y});
    side({x + w - rx, y}, horizontal);
    sink.arcTo(rx, ry, 0, false, true, {x + w, y + ry});
    side({x + w, y + h - ry}, vertical);
    sink.arcTo(rx, ry, 0, false, true, {x + w - rx, y + h});
    side({x + rx, y + h}, horizontal);
    sink.arcTo(rx, ry, 0, false, true, {x, y + h - ry});
    side({x, y + ry}, vertical);
    sink.arcTo(rx, ry, 0, false, true, {x + rx, y});
    sink.close();
}

void drawEllipse(double cx, double cy, double rx, double ry, PathSink& sink) {
    if (!(rx > 0 && ry > 0)) return;
    sink.moveTo({cx + rx, cy});
    sink.arcTo(rx, ry, 0, false, true, {cx - rx, cy});
    sink.arcTo(rx, ry, 0, false, true, {cx + rx, cy});
    sink.close();
}

}  // namespace

bool isShapeElement(const std::string& name) {
    return name == "path" || name == "line" || name == "polyline" || name == "polygon" || name == "rect" ||
           name == "circle" || name == "ellipse";
}

void drawShape(const pugi::xml_node& element, const std::string& name, PathSink& sink) {
    if (name == "path") {
        parsePathData(element.attribute("d").as_string(), sink);
    } else if (name == "line") {
        sink.moveTo({length(element, "x1"), length(element, "y1")});
        sink.lineTo({length(element, "x2"), length(element, "y2")});
    } else if (name == "polyline" || name == "polygon") {
        drawPoints(points(element), name == "polygon", sink);
    } else if (name == "rect") {
        drawRect(element, sink);
    } else if (name == "circle") {
        double r = length(element, "r");
        drawEllipse(length(element, "cx"), length(element, "cy"), r, r, sink);
    } else if (name == "ellipse") {
        drawEllipse(length(element, "cx"), length(element, "cy"), length(element, "rx"), length(element, "ry"), sink);
    }
}

}  // namespace importer
