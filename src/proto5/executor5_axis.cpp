#include "core/log.h"
#include "proto5/executor5.h"

// Placeholder until protocol 5 axis moves land.

namespace {

bool unavailable(const char* operation) {
    logUnavailable(operation);
    return false;
}

}  // namespace

// clang-format off
void Executor5::sendMovePulse(AxisID, bool, bool, uint32_t, bool, float, float, uint16_t) { unavailable("Executor5::sendMovePulse"); }
bool Executor5::sendAxisMovePulse(const ExtAxisPar&, int, bool) { return unavailable("Executor5::sendAxisMovePulse"); }
bool Executor5::sendAxisMovePulse(const ExtAxisParArray&, std::vector<int>, std::vector<bool>) { return unavailable("Executor5::sendAxisMovePulse"); }
// clang-format on
