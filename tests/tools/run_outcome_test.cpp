// What executor-cli reports when the board misbehaves under a job: every planned mark executed
// and exit 0, or a non-zero exit and one line saying what happened and how many marks ran.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/cli_process.h"

namespace {

constexpr int kMarks = 2000;

// A zigzag of kMarks 1 mm marks: about 4 s of board time at 500 mm/s.
std::string zigzagJob() {
    const std::string path = ::testing::TempDir() + "zigzag-" + std::to_string(getpid()) + ".json";
    std::ofstream out(path);
    out << R"({"pens": [{"name": "p", "markSpeed": 500}], "layers": [{"pen": "p", "shapes": [)"
        << R"({"type": "polyline", "points": [)";
    for (int i = 0; i <= kMarks; ++i) out << (i ? "," : "") << "[" << (i % 40) - 20 << "," << (i / 40) % 2 << "]";
    out << "]}]}]}";
    return path;
}

enum class Act { None, KillBoard, FreezeBoard, Interrupt, SecondClient };

struct Scenario {
    const char* name;
    std::vector<std::string> sim;
    std::vector<std::string> cli;
    Act act;
    int status;         // expected exit status; -1: any, when it comes with one line
    const char* line;   // what the one line on standard error says
    bool boardReports;  // the board survives and writes its trace
};

}  // namespace

TEST(RunOutcome, EveryMisbehaviourEndsInTheTruth) {
    const std::string job = zigzagJob();
    const std::vector<std::string> slow = {"--pacing", "simulated"};
    const Scenario scenarios[] = {
        {"healthy", {}, {}, Act::None, 0, "", true},
        {"second client", slow, {}, Act::SecondClient, 0, "", true},
        {"killed", slow, {}, Act::KillBoard, 5, R"(board lost \(.*\): at least (\d+) of 2000 marks)", false},
        {"frozen", slow, {}, Act::FreezeBoard, 5, R"(board lost \(.*\): at least (\d+) of 2000 marks)", false},
        {"interrupted", slow, {}, Act::Interrupt, 130, R"(^executor-cli: stopped: (\d+) of 2000 marks)", true},
        {"stalled", {"--stall"}, {"--deadline", "2"}, Act::None, 5, R"(timed out \(.*deadline.*\): (\d+) of)", true},
        {"no room", {"--capacity", "8192"}, {"--deadline", "2"}, Act::None, 5, R"(timed out .*: (\d+) of)", true},
        {"lossy", {"--loss", "0.3", "--seed", "3"}, {"--timeout", "20", "--retries", "10"}, Act::None, -1, "", true},
        {"flash refused",
         {"--refuse", "AAA0"},
         {"--offline"},
         Act::None,
         5,
         R"(refused \(the board refused \d+ flash)",
         true},
        {"flash too small",
         {"--flash", "16384"},
         {"--offline"},
         Act::None,
         5,
         R"(too big: the job needs \d+ bytes of flash, the board has 16384)",
         true},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        const std::string trace = ::testing::TempDir() + "outcome-" + std::to_string(getpid()) + ".json";
        std::vector<std::string> simArgs = s.sim;
        simArgs.insert(simArgs.end(), {"--json", trace});
        SimProcess board(simArgs);
        const uint16_t port = board.listeningPort();
        ASSERT_NE(port, 0);
        std::vector<std::string> args = {"mark", job, "--board", "udp://127.0.0.1:" + std::to_string(port)};
        args.insert(args.end(), s.cli.begin(), s.cli.end());
        CliProcess run(args);
        // Act once the board has marked something: the job is under way, whatever the machine's load.
        for (int polls = 0; s.act != Act::None && run.running() && polls < 2000; ++polls) {
            kill(board.pid(), SIGUSR1);
            if (board.readLine() != "wrote " + trace || marksIn(readFile(trace)) > 0) break;
        }
        if (s.act == Act::KillBoard) kill(board.pid(), SIGKILL);
        if (s.act == Act::FreezeBoard) kill(board.pid(), SIGSTOP);
        if (s.act == Act::Interrupt) kill(run.pid(), SIGINT);
        if (s.act == Act::SecondClient) {
            // Told who owns the board; the running job loses nothing.
            const CliRun second = cli({"status", "--board", args[3]});
            EXPECT_EQ(second.status, 4);
            EXPECT_NE(second.err.find(": board busy: bound to 127.0.0.1:"), std::string::npos) << second.err;
        }
        const CliRun result = run.finish();
        if (s.act == Act::FreezeBoard) kill(board.pid(), SIGCONT);

        if (s.status >= 0) {
            EXPECT_EQ(result.status, s.status) << result.err;
        }
        const std::size_t marked = s.boardReports && board.stop() ? marksIn(readFile(trace)) : 0;
        std::remove(trace.c_str());
        if (result.status == 0) {
            EXPECT_TRUE(result.err.empty()) << result.err;
            if (s.boardReports && !s.cli.empty() && s.cli[0] == "--offline") continue;
            EXPECT_EQ(marked, static_cast<std::size_t>(kMarks));
            continue;
        }
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        if (s.status < 0) continue;
        std::smatch found;
        ASSERT_TRUE(std::regex_search(result.err, found, std::regex(s.line))) << result.err;
        // The count is what the board confirmed: never more than it marked, and never the whole job.
        if (found.size() > 1 && found[1].matched) {
            EXPECT_LT(std::stoul(found[1]), static_cast<unsigned long>(kMarks));
            if (s.boardReports) {
                EXPECT_LE(std::stoul(found[1]), marked);
            }
        }
    }
    std::remove(job.c_str());
}
