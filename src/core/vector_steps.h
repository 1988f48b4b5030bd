#pragma once

#include <cstdint>

#include "executor/types.h"

// Step counts of vector commands, the same on every board: a move must take at least one tick;
// only a relative move of zero length may take none.
namespace vector_steps {

inline uint16_t absolute(uint16_t steps) { return steps == 0 ? 1 : steps; }

inline uint16_t relative(uint16_t steps, Point2dConcept<int> offset) {
    return steps == 0 && (offset.x != 0 || offset.y != 0) ? 1 : steps;
}

}  // namespace vector_steps
