#pragma once
// The command line: each subcommand adds itself to the program's parser (next to the code that runs
// it), with the option groups several of them share.

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "board.h"
#include "mark.h"

namespace cli {

// What a parsed subcommand will run; it returns the exit status.
using Action = std::function<int()>;

void addDemoCommand(CLI::App& app, Action& action);
void addMarkCommand(CLI::App& app, Action& action);
void addStatusCommands(CLI::App& app, Action& action);
void addEepromCommand(CLI::App& app, Action& action);
void addCalibCommand(CLI::App& app, Action& action);

// --board, and for UDP boards --timeout and --retries.
void addBoardOptions(CLI::App& command, BoardOptions& board, bool simOnly = false);
// Pen settings that replace those of every pen; speedsOnly leaves out the laser settings.
void addPenOptions(CLI::App& command, PenOverrides& pens, bool speedsOnly = false);
// A validator's answer for a parse: empty when it passes, else why not.
std::string validated(const std::function<void()>& parse);
// A number that is finite, and above zero when positive is asked for.
CLI::Validator finiteNumber(bool positive);

}  // namespace cli
