#pragma once
// The user data area of the board's parameter memory: read it out, write it from a file or text.

#include <string>

#include "board.h"

namespace cli {

struct EepromReadOptions {
    std::string outFile;  // the bytes as they are; otherwise printed
    bool hex = false;     // print as a hex dump even when it is text
};

struct EepromWriteOptions {
    std::string inFile;  // either a file...
    std::string text;    // ...or text
};

int runEepromRead(const BoardOptions& board, const EepromReadOptions& options);
int runEepromWrite(const BoardOptions& board, const EepromWriteOptions& options);

}  // namespace cli
