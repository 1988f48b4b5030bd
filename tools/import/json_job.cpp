// The JSON job format, a job written by hand or by a script:
//
// {
//   "units": "mm",                      "mm" (default), "cm" or "in": scales every coordinate,
//                                       size and text height (speeds stay in mm/s)
//   "pens": [                           optional; a job without pens gets one named "default"
//     {"name": "fine",                  required and unique; every other field is optional
//      "markSpeed": 800, "jumpSpeed": 3000,                 mm/s, above zero
//      "power": 40,                                         percent, 0 to 100
//      "frequency": 30,                                     kHz, above zero
//      "pulseWidth": 8,                                     us
//      "laserOnDelay": 100, "laserOffDelay": 120,           us
//      "jumpDelay": 200, "markDelay": 100, "polygonDelay": 50}   us
//   ],
//   "layers": [
//     {"pen": "fine",                   optional: the first pen
//      "shapes": [
//        {"type": "polyline", "points": [[0, 0], [10, 0], [10, 5]], "closed": true},
//        {"type": "line", "from": [0, 0], "to": [20, 20]},
//        {"type": "rect", "at": [0, 0], "width": 20, "height": 10},      at: lower left corner
//        {"type": "circle", "center": [10, 10], "radius": 5},
//        {"type": "arc", "center": [0, 0], "radius": 5, "start": 0, "sweep": 90},
//                                       degrees, counter-clockwise from +x when sweep > 0
//        {"type": "text", "text": "SN 0042", "at": [0, -8], "height": 3}  at: start of the baseline
//      ]}
//   ]
// }
//
// Coordinates are millimetres (or the job's units) with y up. Circles and arcs are flattened to
// within 0.01 mm. Unknown keys are errors, so a misspelt field does not pass unnoticed.

#include "import/json_job.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "executor/planner/font.h"
#include "import/flatten.h"
#include "import/import_error.h"

namespace importer {

using nlohmann::json;
using planner::Point;

namespace {

constexpr double kCircleTolerance = 0.01;  // mm
constexpr std::size_t kPointBudget = 4'000'000;
constexpr std::size_t kMaxTextBytes = 10'000;  // one text shape; its strokes count as points too
constexpr double kPi = 3.14159265358979323846;

struct PenField {
    const char* name;
    double planner::Pen::*member;
    double minimum;
    bool minimumAllowed;  // whether the minimum itself is valid
    double maximum;
};

constexpr double kNoMaximum = 1e300;

const PenField kPenFields[] = {
    {"markSpeed", &planner::Pen::markSpeed, 0, false, kNoMaximum},
    {"jumpSpeed", &planner::Pen::jumpSpeed, 0, false, kNoMaximum},
    {"power", &planner::Pen::power, 0, true, 100},
    {"frequency", &planner::Pen::frequency, 0, false, kNoMaximum},
    {"pulseWidth", &planner::Pen::pulseWidth, 0, true, kNoMaximum},
    {"laserOnDelay", &planner::Pen::laserOnDelay, 0, true, kNoMaximum},
    {"laserOffDelay", &planner::Pen::laserOffDelay, 0, true, kNoMaximum},
    {"jumpDelay", &planner::Pen::jumpDelay, 0, true, kNoMaximum},
    {"markDelay", &planner::Pen::markDelay, 0, true, kNoMaximum},
    {"polygonDelay", &planner::Pen::polygonDelay, 0, true, kNoMaximum},
};

// Reads one JSON object's fields, naming where it is in every error.
class Fields {
public:
    Fields(const json& object, std::string where) : m_object(object), m_where(std::move(where)) {
        if (!object.is_object()) fail("must be an object");
    }

    [[noreturn]] void fail(const std::string& what) const { throw ImportError(m_where + ": " + what); }

    bool has(const char* key) const { return m_object.contains(key); }

    // Every key must be one of `allowed`.
    void onlyKeys(std::initializer_list<const char*> allowed) const {
        for (const auto& item : m_object.items()) {
            bool known = false;
            for (const char* key : allowed) known = known || item.key() == key;
            if (!known) fail("unknown key \"" + item.key() + "\"");
        }
    }

    const json& get(const char* key) const {
        if (!has(key)) fail(std::string("missing \"") + key + "\"");
        return m_object.at(key);
    }

    double number(const char* key) const {
        const json& value = get(key);
        if (!value.is_number() || !std::isfinite(value.get<double>()))
            fail(std::string("\"") + key + "\" must be a number");
        return value.get<double>();
    }

    std::string text(const char* key) const {
        const json& value = get(key);
        if (!value.is_string()) fail(std::string("\"") + key + "\" must be a string");
        return value.get<std::string>();
    }

    bool boolean(const char* key, bool fallback) const {
        if (!has(key)) return fallback;
        const json& value = get(key);
        if (!value.is_boolean()) fail(std::string("\"") + key + "\" must be true or false");
        return value.get<bool>();
    }

    Point point(const json& value, const std::string& what) const {
        if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number())
            fail(what + " must be a pair of numbers [x, y]");
        Point p{value[0].get<double>(), value[1].get<double>()};
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) fail(what + " must be a pair of numbers [x, y]");
        return p;
    }

    Point point(const char* key) const { return point(get(key), std::string("\"") + key + "\""); }

    const json& array(const char* key) const {
        const json& value = get(key);
        if (!value.is_array()) fail(std::string("\"") + key + "\" must be a list");
        return value;
    }

private:
    const json& m_object;
    std::string m_where;
};

class JobReader {
public:
    JobReader() : m_flattener(kCircleTolerance, kPointBudget) {}

    planner::Job read(const json& document) {
        Fields job(document, "job");
        job.onlyKeys({"units", "pens", "layers"});
        if (job.has("units")) m_scale = unitScale(job, job.text("units"));
        if (job.has("pens")) {
            const json& pens = job.array("pens");
            for (std::size_t i = 0; i < pens.size(); ++i) readPen(pens[i], "pen " + std::to_string(i + 1));
        }
        if (m_job.pens.empty()) m_job.pens.push_back(defaultPen());
        if (job.has("layers")) {
            const json& layers = job.array("layers");
            for (std::size_t i = 0; i < layers.size(); ++i) readLayer(layers[i], "layer " + std::to_string(i + 1));
        }
        return std::move(m_job);
    }

private:
    static planner::Pen defaultPen() {
        planner::Pen pen;
        pen.name = "default";
        return pen;
    }

    static double unitScale(const Fields& job, const std::string& units) {
        if (units == "mm") return 1;
        if (units == "cm") return 10;
        if (units == "in") return 25.4;
        job.fail("unknown units \"" + units + "\" (mm, cm or in)");
    }

    void readPen(const json& object, const std::string& where) {
        Fields fields(object, where);
        for (const auto& item : object.items()) {
            bool known = item.key() == "name";
            for (const PenField& field : kPenFields) known = known || item.key() == field.name;
            if (!known) fields.fail("unknown key \"" + item.key() + "\"");
        }
        planner::Pen pen;
        pen.name = fields.text("name");
        if (m_penIndex.count(pen.name)) fields.fail("a second pen named \"" + pen.name + "\"");
        for (const PenField& field : kPenFields) {
            if (!fields.has(field.name)) continue;
            double value = fields.number(field.name);
            bool tooLow = field.minimumAllowed ? value < field.minimum : value <= field.minimum;
            if (tooLow || value > field.maximum) fields.fail(std::string("\"") + field.name + "\" is out of range");
            pen.*field.member = value;
        }
        m_penIndex[pen.name] = m_job.pens.size();
        m_job.pens.push_back(pen);
    }

    void readLayer(const json& object, const std::string& where) {
        Fields layer(object, where);
        layer.onlyKeys({"pen", "shapes"});
        std::size_t pen = 0;
        if (layer.has("pen")) {
            std::string name = layer.text("pen");
            auto found = m_penIndex.find(name);
            if (found == m_penIndex.end()) layer.fail("unknown pen \"" + name + "\"");
            pen = found->second;
        }
        const json& shapes = layer.array("shapes");
        for (std::size_t i = 0; i < shapes.size(); ++i)
            readShape(shapes[i], where + ", shape " + std::to_string(i + 1), pen);
    }

    Point scaled(Point p) const { return {p.x * m_scale, p.y * m_scale}; }

    // Points not yet counted against the budget (arcs count theirs while they are flattened).
    void add(std::vector<Point> points, std::size_t pen, bool counted = false) {
        if (!counted) m_flattener.spend(points.size());
        for (const Point& p : points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) throw ImportError("coordinates too large to draw");
        m_job.polylines.push_back({std::move(points), pen});
    }

    double size(const Fields& shape, const char* key) const {
        double value = shape.number(key);
        if (value < 0) shape.fail(std::string("\"") + key + "\" must not be negative");
        return value * m_scale;
    }

    void readShape(const json& object, const std::string& where, std::size_t pen) {
        Fields shape(object, where);
        std::string type = shape.text("type");
        Fields named(object, where + " (" + type + ")");
        if (type == "polyline") {
            named.onlyKeys({"type", "points", "closed"});
            const json& list = named.array("points");
            if (list.size() < 2) named.fail("\"points\" needs two points or more");
            m_flattener.spend(list.size() + 1);  // before the copy: a huge list stops here
            std::vector<Point> points;
            for (std::size_t i = 0; i < list.size(); ++i)
                points.push_back(scaled(named.point(list[i], "point " + std::to_string(i + 1))));
            if (named.boolean("closed", false)) points.push_back(points.front());
            add(std::move(points), pen, true);
        } else if (type == "line") {
            named.onlyKeys({"type", "from", "to"});
            add({scaled(named.point("from")), scaled(named.point("to"))}, pen);
        } else if (type == "rect") {
            named.onlyKeys({"type", "at", "width", "height"});
            Point a = scaled(named.point("at"));
            double w = size(named, "width"), h = size(named, "height");
            add({a, {a.x + w, a.y}, {a.x + w, a.y + h}, {a.x, a.y + h}, a}, pen);
        } else if (type == "circle") {
            named.onlyKeys({"type", "center", "radius"});
            arc(scaled(named.point("center")), size(named, "radius"), 0, 2 * kPi, pen);
        } else if (type == "arc") {
            named.onlyKeys({"type", "center", "radius", "start", "sweep"});
            double start = named.number("start") * kPi / 180, sweep = named.number("sweep") * kPi / 180;
            if (std::abs(sweep) > 2 * kPi) named.fail("\"sweep\" must be within -360 and 360 degrees");
            arc(scaled(named.point("center")), size(named, "radius"), start, sweep, pen);
        } else if (type == "text") {
            named.onlyKeys({"type", "text", "at", "height"});
            planner::TextStyle style;
            style.height = size(named, "height");
            if (style.height == 0) named.fail("\"height\" must be above zero");
            const std::string text = named.text("text");
            if (text.size() > kMaxTextBytes)
                named.fail("\"text\" has " + std::to_string(text.size()) + " characters; " +
                           std::to_string(kMaxTextBytes) + " at most");
            auto strokes = planner::textToPolylines(text, scaled(named.point("at")), style, pen);
            for (auto& stroke : strokes) add(std::move(stroke.points), pen);
        } else {
            shape.fail("unknown shape type \"" + type + "\"");
        }
    }

    void arc(Point centre, double radius, double start, double sweep, std::size_t pen) {
        if (radius == 0 || sweep == 0) return;
        std::vector<Point> points{{centre.x + radius * std::cos(start), centre.y + radius * std::sin(start)}};
        Point end = std::abs(sweep) == 2 * kPi ? points.front()
                                               : Point{centre.x + radius * std::cos(start + sweep),
                                                       centre.y + radius * std::sin(start + sweep)};
        m_flattener.ellipse(centre, {radius, 0}, {0, radius}, start, sweep, end, points);
        add(std::move(points), pen, true);
    }

    Flattener m_flattener;
    double m_scale = 1;
    std::map<std::string, std::size_t> m_penIndex;
    planner::Job m_job;
};

// nlohmann's messages start with an internal tag such as "[json.exception.parse_error.101] ".
std::string withoutTag(const std::string& message) {
    auto end = message.find("] ");
    return message.compare(0, 1, "[") == 0 && end != std::string::npos ? message.substr(end + 2) : message;
}

}  // namespace

planner::Job importJsonText(const std::string& text) {
    json document;
    try {
        // Keys seen in each open object: a second one with the same name is an error, not a silent overwrite.
        std::vector<std::set<std::string>> keys;
        document = json::parse(text, [&keys](int, json::parse_event_t event, json& parsed) {
            if (event == json::parse_event_t::object_start) keys.emplace_back();
            if (event == json::parse_event_t::object_end) keys.pop_back();
            if (event == json::parse_event_t::key && !keys.back().insert(parsed.get<std::string>()).second)
                throw ImportError("the key \"" + parsed.get<std::string>() + "\" appears twice in one object");
            return true;
        });
    } catch (const json::exception& error) {
        throw ImportError("not a JSON document: " + withoutTag(error.what()));
    }
    return JobReader().read(document);
}

planner::Job importJsonFile(const std::string& path) {
    return importFile(path, [](const std::string& text) { return importJsonText(text); });
}

}  // namespace importer
