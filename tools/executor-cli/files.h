#pragma once
// The user's files: inputs read whole, outputs written whole.

#include <string>

namespace cli {

// Writes content to path whole, through a temporary beside it, so a reader never sees half of it.
// Throws CliError(kExitOutput) naming the path when it cannot.
void writeOutputFile(const std::string& path, const std::string& content);

// Throws CliError(kExitBadInput) naming the path unless it is an existing regular file.
void requireInputFile(const std::string& path);

// Reads a whole input file. Throws CliError(kExitBadInput) naming the path when it cannot.
std::string readInputFile(const std::string& path);

}  // namespace cli
