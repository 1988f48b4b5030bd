#pragma once
// The user's files: inputs read whole, outputs written whole.

#include <cstdint>
#include <string>

namespace cli {

// Writes content to path whole and safely (see tools::writeWhole). Throws CliError(kExitOutput)
// naming the path when it cannot.
void writeOutputFile(const std::string& path, const std::string& content);

// Throws CliError(kExitOutput) naming the path when writeOutputFile would refuse it.
void requireOutputFile(const std::string& path);

// Throws CliError(kExitBadInput) naming the path unless it is an existing regular file.
void requireInputFile(const std::string& path);

// Reads an input file whole, or its first limit bytes. Throws CliError(kExitBadInput) naming the
// path when it cannot.
std::string readInputFile(const std::string& path, std::size_t limit = SIZE_MAX);

}  // namespace cli
