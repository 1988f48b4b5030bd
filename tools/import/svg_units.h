#pragma once
// Lengths with units and the viewBox: how many millimetres a document unit is, and where the
// document's drawing lands.

#include <optional>
#include <string>

#include "import/affine.h"

namespace importer {

constexpr double kMmPerInch = 25.4;
constexpr double kPxPerInch = 96;
constexpr double kMmPerPx = kMmPerInch / kPxPerInch;

// A length such as "210mm", "8.5in", "12pt" or "300" (px) in px; nothing for an empty value or a
// percentage, which needs a viewport we do not have. Throws ImportError on an unknown unit or a
// malformed number.
std::optional<double> lengthInPx(const std::string& text);

struct ViewBox {
    double x = 0, y = 0, width = 0, height = 0;
};

// Nothing for an empty attribute; throws ImportError for a malformed one or a non-positive size.
std::optional<ViewBox> parseViewBox(const std::string& text);

// The map from viewBox coordinates into a viewport of the given size, honouring
// preserveAspectRatio ("xMidYMid meet" when empty).
Affine viewBoxTransform(const ViewBox& box, double viewportWidth, double viewportHeight,
                        const std::string& preserveAspectRatio);

// The root element's map from document units to millimetres (y still down) and the document
// height in millimetres (nothing when neither height nor viewBox tell it).
struct RootViewport {
    Affine toMm;
    std::optional<double> heightMm;
};
RootViewport rootViewport(const std::string& width, const std::string& height, const std::string& viewBox,
                          const std::string& preserveAspectRatio);

}  // namespace importer
