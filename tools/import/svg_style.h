#pragma once
// The inherited painting properties that decide whether and with which pen an element is drawn.

#include <optional>
#include <string>

namespace importer {

struct SvgStyle {
    std::string stroke = "none";
    std::string fill = "black";
    std::string color = "black";  // what currentColor means
    bool visible = true;
    bool displayed = true;  // not inherited, but display:none hides the whole subtree

    // What a child starts from before its own attributes.
    SvgStyle inherited() const;
    // One property from a presentation attribute or a style declaration; others are ignored.
    void set(const std::string& property, const std::string& value);
    // The declarations of a style attribute ("stroke:#f00; fill:none"), which win over attributes.
    void applyStyleAttribute(const std::string& text);
};

// The canonical name of a paint ("#rrggbb" for colours written by CSS name, in hex or with
// rgb()), nothing for "none". `currentColor` stands for the color property.
std::optional<std::string> paintName(const std::string& paint, const std::string& currentColor);

// The pen colour of an element: its stroke, or its fill when it has no stroke; nothing when it
// is painted with neither or is hidden.
std::optional<std::string> penColour(const SvgStyle& style);

}  // namespace importer
