#pragma once
// The one way a subcommand fails: a line for the user and the exit status that goes with it.

#include <stdexcept>
#include <string>

namespace cli {

// Exit statuses of the program; main's --help lists them.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,      // bad command line
    kExitBadInput = 3,   // an input file is missing, unreadable or not a drawing, job or calibration
    kExitBoard = 4,      // the board cannot be reached, or refused the connection or a command
    kExitJobFailed = 5,  // the job did not run through: board lost, refused, timed out, cut short, too big
    kExitOutput = 6,     // an output file could not be written
    kExitStopped = 130,  // interrupted (SIGINT or SIGTERM); the board was stopped
};

// Printed as "executor-cli: <what>", where what names the file or board concerned first.
class CliError : public std::runtime_error {
public:
    CliError(int exitCode, const std::string& what) : std::runtime_error(what), m_exitCode(exitCode) {}
    int exitCode() const { return m_exitCode; }

private:
    int m_exitCode;
};

// "subject: what", unless what already starts with the subject (importers name their file).
inline std::string about(const std::string& subject, const std::string& what) {
    if (what.rfind(subject + ":", 0) == 0) return what;
    return subject + ": " + what;
}

}  // namespace cli
