#include "executor/platform/param.h"

void GalvoParam::setResolution(int32_t value) {
    resolution = value;
    // Widened so the largest resolution does not overflow.
    center = static_cast<int32_t>((static_cast<int64_t>(value) + 1) / 2);
    if (fieldSize > 0.0) scale = static_cast<double>(value) / fieldSize;
}

// Out of line so the vtables live in the library and dynamic_cast works across its boundary.
ExtParam::~ExtParam() = default;

MRPara::~MRPara() = default;
