#include "proto5/executor5.h"

Executor5::Executor5() : Executor(5) {}

Executor5::~Executor5() = default;

bool Executor5::waitForMoveFinish(uint8_t /*axis*/) { return waitForFinish(); }
