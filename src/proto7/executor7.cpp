#include "executor/proto7/executor7.h"

namespace {

// Device units per millimetre until a lens is described.
constexpr double kDefaultDistScale = 546.0;

}  // namespace

Executor7::Executor7() : Executor(7), m_distScale(kDefaultDistScale) {}

Executor7::~Executor7() = default;
