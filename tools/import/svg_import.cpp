#include "import/svg_import.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

#include "import/flatten.h"
#include "import/import_error.h"
#include "import/svg_css.h"
#include "import/svg_outline.h"
#include "import/svg_shapes.h"
#include "import/svg_style.h"
#include "import/svg_transform.h"
#include "import/svg_units.h"

namespace importer {

namespace {

// Bounds that keep hostile documents from exhausting memory, stack or time.
constexpr std::size_t kPointBudget = 4'000'000;
constexpr std::size_t kElementBudget = 1'000'000;  // visits, counting each use of a reference
constexpr int kMaxNesting = 200;

// Painting properties a presentation attribute may set.
const char* const kStyleProperties[] = {"stroke", "fill", "color", "visibility", "display"};

std::string localName(const pugi::xml_node& node) {
    const char* name = node.name();
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

// Content a drawing may hold that has no outline to mark; reported when skipped.
bool isUnmarkableElement(const std::string& name) {
    return name == "text" || name == "image" || name == "foreignObject";
}

// Only these containers are entered; defs, symbol, clipPath, mask, marker and pattern hold
// templates that are drawn through a use element, if at all.
bool isGroupElement(const std::string& name) { return name == "g" || name == "a" || name == "switch"; }

class SvgImporter {
public:
    SvgImporter(const std::string& text, const SvgOptions& options)
        : m_text(text), m_flattener(options.tolerance, kPointBudget), m_warnings(options.warnings) {}

    planner::Job run() {
        pugi::xml_parse_result parsed = m_document.load_buffer(m_text.data(), m_text.size());
        if (!parsed)
            throw ImportError("not an XML document: " + std::string(parsed.description()) + " at line " +
                              std::to_string(lineOf(parsed.offset)));
        pugi::xml_node root = m_document.document_element();
        if (localName(root) != "svg") throw ImportError("the root element is <" + localName(root) + ">, not <svg>");
        indexIds(root);

        RootViewport viewport;
        try {
            viewport =
                rootViewport(root.attribute("width").as_string(), root.attribute("height").as_string(),
                             root.attribute("viewBox").as_string(), root.attribute("preserveAspectRatio").as_string());
        } catch (const ImportError& error) {
            throw ImportError(where(root) + ": " + error.what());
        }
        // Mirror about the page's bottom edge so the page keeps its place with y up.
        Affine flip{1, 0, 0, -1, 0, viewport.heightMm.value_or(0)};
        SvgStyle style = styleOf(root, SvgStyle{});
        if (style.displayed) walkChildren(root, flip * viewport.toMm * ownTransform(root), style, 0);
        if (m_warnings != nullptr) {
            for (const auto& [name, count] : m_skipped)
                m_warnings->push_back(std::to_string(count) + " <" + name + "> element" + (count == 1 ? "" : "s") +
                                      " not drawn" + (name == "text" ? " (convert text to paths to mark it)" : ""));
            if (m_flattened != 0)
                m_warnings->push_back(std::to_string(m_flattened) + " element" + (m_flattened == 1 ? "" : "s") +
                                      " with a zero-scale transform not drawn");
        }
        return std::move(m_job);
    }

private:
    std::size_t lineOf(std::ptrdiff_t offset) const {
        if (offset < 0) return 0;
        auto end = m_text.begin() + std::min<std::ptrdiff_t>(offset, static_cast<std::ptrdiff_t>(m_text.size()));
        return 1 + static_cast<std::size_t>(std::count(m_text.begin(), end, '\n'));
    }

    // "line 12, <path id="outline">": where to look for a fault.
    std::string where(const pugi::xml_node& node) const {
        std::string text = "line " + std::to_string(lineOf(node.offset_debug())) + ", <" + localName(node);
        if (const char* id = node.attribute("id").as_string(); *id) text += std::string(" id=\"") + id + "\"";
        return text + ">";
    }

    void indexIds(const pugi::xml_node& root) {
        for (pugi::xml_node node = root; node;) {
            if (const char* id = node.attribute("id").as_string(); *id) m_ids.emplace(id, node);
            if (localName(node) == "style") {
                for (pugi::xml_node text : node.children())
                    if (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata)
                        m_css.addSheet(text.value());
            }
            // Depth-first without recursion: nesting depth is up to the document.
            if (node.first_child()) {
                node = node.first_child();
                continue;
            }
            while (node && node != root && !node.next_sibling()) node = node.parent();
            if (!node || node == root) break;
            node = node.next_sibling();
        }
    }

    SvgStyle styleOf(const pugi::xml_node& node, const SvgStyle& parent) const {
        SvgStyle style = parent.inherited();
        for (const char* property : kStyleProperties)
            if (pugi::xml_attribute attribute = node.attribute(property)) style.set(property, attribute.value());
        if (!m_css.empty())
            m_css.apply(localName(node), node.attribute("id").as_string(), node.attribute("class").as_string(), style);
        style.applyStyleAttribute(node.attribute("style").as_string());
        return style;
    }

    Affine ownTransform(const pugi::xml_node& node) const {
        pugi::xml_attribute attribute = node.attribute("transform");
        if (!attribute) return {};
        try {
            return parseTransform(attribute.value());
        } catch (const ImportError& error) {
            throw ImportError(where(node) + ": " + error.what());
        }
    }

    void walkChildren(const pugi::xml_node& parent, const Affine& toMm, const SvgStyle& style, int depth) {
        for (pugi::xml_node child : parent.children())
            if (child.type() == pugi::node_element) walk(child, toMm, style, depth + 1);
    }

    void walk(const pugi::xml_node& node, const Affine& parentToMm, const SvgStyle& parentStyle, int depth) {
        if (++m_visits > kElementBudget)
            throw ImportError("too many elements to draw (a use element repeating itself?)");
        if (depth > kMaxNesting) throw ImportError(where(node) + ": elements nested too deeply");
        std::string name = localName(node);
        bool shape = isShapeElement(name);
        if (!shape && !isGroupElement(name) && name != "svg" && name != "use") {
            if (isUnmarkableElement(name) && styleOf(node, parentStyle).displayed) ++m_skipped[name];
            return;
        }
        SvgStyle style = styleOf(node, parentStyle);
        if (!style.displayed) return;
        Affine toMm = parentToMm * ownTransform(node);
        // A transform that squashes everything to a line or a point (scale(0)) would mark dots.
        if (toMm.a * toMm.d - toMm.b * toMm.c == 0) {
            ++m_flattened;
            return;
        }
        if (shape) {
            draw(node, name, toMm, style);
        } else if (name == "use") {
            use(node, toMm, style, depth);
        } else if (name == "svg") {
            walkChildren(node, toMm * nestedViewport(node), style, depth);
        } else {
            walkChildren(node, toMm, style, depth);
        }
    }

    // A nested svg element: a viewport at (x, y) with its own viewBox.
    Affine nestedViewport(const pugi::xml_node& node) const {
        try {
            double x = lengthInPx(node.attribute("x").as_string()).value_or(0);
            double y = lengthInPx(node.attribute("y").as_string()).value_or(0);
            Affine place = Affine::translate(x, y);
            std::optional<ViewBox> box = parseViewBox(node.attribute("viewBox").as_string());
            if (!box) return place;
            double w = lengthInPx(node.attribute("width").as_string()).value_or(box->width);
            double h = lengthInPx(node.attribute("height").as_string()).value_or(box->height);
            return place * viewBoxTransform(*box, w, h, node.attribute("preserveAspectRatio").as_string());
        } catch (const ImportError& error) {
            throw ImportError(where(node) + ": " + error.what());
        }
    }

    void use(const pugi::xml_node& node, const Affine& toMm, const SvgStyle& style, int depth) {
        pugi::xml_attribute href = node.attribute("href");
        if (!href) href = node.attribute("xlink:href");
        std::string target = href.as_string();
        if (target.empty() || target[0] != '#') return;
        auto found = m_ids.find(target.substr(1));
        if (found == m_ids.end()) return;
        pugi::xml_node referenced = found->second;
        bool loop = std::find(m_expanding.begin(), m_expanding.end(), referenced) != m_expanding.end();
        for (pugi::xml_node up = node; up && !loop; up = up.parent()) loop = up == referenced;
        if (loop) throw ImportError(where(node) + ": use elements refer to each other in a loop");
        double x = 0, y = 0;
        try {
            x = lengthInPx(node.attribute("x").as_string()).value_or(0);
            y = lengthInPx(node.attribute("y").as_string()).value_or(0);
        } catch (const ImportError& error) {
            throw ImportError(where(node) + ": " + error.what());
        }
        Affine placed = toMm * Affine::translate(x, y);
        m_expanding.push_back(referenced);
        if (localName(referenced) == "symbol") {
            // Drawn like a group; its own viewBox is not applied.
            SvgStyle symbolStyle = styleOf(referenced, style);
            if (symbolStyle.displayed) walkChildren(referenced, placed * ownTransform(referenced), symbolStyle, depth);
        } else {
            walk(referenced, placed, style, depth + 1);
        }
        m_expanding.pop_back();
    }

    void draw(const pugi::xml_node& node, const std::string& name, const Affine& toMm, const SvgStyle& style) {
        std::optional<std::string> colour = penColour(style);
        if (!colour) return;
        OutlineBuilder outline(toMm, m_flattener);
        std::vector<std::vector<planner::Point>> lines;
        try {
            drawShape(node, name, outline);
            lines = outline.take();
        } catch (const ImportError& error) {
            throw ImportError(where(node) + ": " + error.what());
        }
        if (lines.empty()) return;
        std::size_t pen = penFor(*colour);
        for (auto& points : lines) m_job.polylines.push_back({std::move(points), pen});
    }

    std::size_t penFor(const std::string& colour) {
        auto [entry, added] = m_pens.emplace(colour, m_job.pens.size());
        if (added) {
            planner::Pen pen;
            pen.name = colour;
            m_job.pens.push_back(pen);
        }
        return entry->second;
    }

    const std::string& m_text;
    Flattener m_flattener;
    pugi::xml_document m_document;
    std::unordered_map<std::string, pugi::xml_node> m_ids;
    CssRules m_css;
    std::map<std::string, std::size_t> m_pens;
    std::size_t m_visits = 0;
    std::vector<pugi::xml_node> m_expanding;  // targets of the use elements being drawn
    std::vector<std::string>* m_warnings;
    std::size_t m_flattened = 0;                   // elements skipped for a transform without area
    std::map<std::string, std::size_t> m_skipped;  // unmarkable elements by name
    planner::Job m_job;
};

}  // namespace

planner::Job importSvgFile(const std::string& path, const SvgOptions& options) {
    return importFile(path, [&options](const std::string& text) { return importSvgText(text, options); });
}

planner::Job importSvgText(const std::string& text, const SvgOptions& options) {
    return SvgImporter(text, options).run();
}

}  // namespace importer
