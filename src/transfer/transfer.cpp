#include "executor/transfer/transfer.h"

// Out of line so the interface's type information lives in the library.
Transfer::~Transfer() = default;
