#pragma once

#include <memory>
#include <utility>

#include "executor/core/executor.h"

// Hands a built list packet to the executor's list, which owns it from then on (and destroys it
// if refused): the one place where the builder's ownership ends.
inline bool enqueue(Executor& executor, std::unique_ptr<KestCmd> cmd) { return executor.addCmd(cmd.release()); }
