// executor-cli: marks drawings and jobs on a board through the executor library, shows what a
// board says about itself, and handles its user data and calibration files. Boards: simulated in
// process (sim7, sim5) or over UDP (udp://HOST:PORT, e.g. an executor-sim).

#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <string>

#include "cli_error.h"
#include "cli_options.h"
#include "executor/platform/logger.h"

namespace {

using namespace cli;

const char* const kExitStatuses =
    "Exit status: 0 done (the board confirmed every mark or stored every page); 2 bad command line;\n"
    "3 bad input file (missing, unreadable, not a drawing, job or calibration file, unknown pen);\n"
    "4 board unreachable, or it refused the connection or a command; 5 job failed (board lost,\n"
    "refused, timed out, cut short, too big for the flash, the board found errors, or out of memory);\n"
    "6 output file not written; 130 interrupted: the board was stopped and the marks it ran are reported.\n";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Marks drawings with a galvo laser board, simulated or real, through the executor library.",
                 "executor-cli");
    app.footer(kExitStatuses);
    app.require_subcommand(1);
    app.fallthrough();
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "show the library's log on standard error");
    Action action;

    addDemoCommand(app, action);
    addMarkCommand(app, action);
    addStatusCommands(app, action);
    addEepromCommand(app, action);
    addCalibCommand(app, action);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "executor-cli: %s (see executor-cli --help)\n", e.what());
        return kExitUsage;
    }

    // The library logs details on standard error; the one-line messages below say what failed.
    if (verbose) {
        Logger::setMinLevel(Logger::kInfo);
    } else {
        Logger::setSink([](int, const std::string&, const std::string&) {});
    }
    try {
        return action ? action() : kExitUsage;
    } catch (const CliError& e) {
        std::fprintf(stderr, "executor-cli: %s\n", e.what());
        return e.exitCode();
    } catch (const std::bad_alloc&) {
        // Outputs are written whole or not at all, so nothing half-written is left behind.
        std::fprintf(stderr, "executor-cli: out of memory: the job did not run through and no output was written\n");
        return kExitJobFailed;
    }
}
