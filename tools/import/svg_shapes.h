#pragma once
// The drawing elements (path, line, polyline, polygon, rect, circle, ellipse) as path calls.

#include <pugixml.hpp>
#include <string>

#include "import/svg_path.h"

namespace importer {

// Whether `name` (without namespace prefix) is a drawing element.
bool isShapeElement(const std::string& name);

// Sends the element's outline to `sink` in its own user units. Shapes with a zero or negative
// size draw nothing. Throws ImportError for malformed geometry.
void drawShape(const pugi::xml_node& element, const std::string& name, PathSink& sink);

}  // namespace importer
