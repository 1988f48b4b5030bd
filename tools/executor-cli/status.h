#pragma once
// What a board says about itself: its state and counters (status), its identity (probe).

#include "board.h"

namespace cli {

int runStatus(const BoardOptions& board);
int runProbe(const BoardOptions& board);

}  // namespace cli
