#pragma once
// The transform attribute: lists of matrix, translate, scale, rotate (with optional centre),
// skewX and skewY.

#include <string>

#include "import/affine.h"

namespace importer {

// Throws ImportError quoting the offending text when the list is malformed.
Affine parseTransform(const std::string& text);

}  // namespace importer
