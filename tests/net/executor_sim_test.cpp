#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "executor/executor.h"
#include "executor/net/udp_transfer.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "support/recorders.h"
#include "support/sim_job.h"

// The executor-sim program, started on a free loopback port and driven through the library.

extern char** environ;

namespace {

// Only keeps a broken program from hanging the run; nothing waits this long when things work.
constexpr int kHangGuardMs = 10000;

// The program with its stdout on a pipe; killed if a test leaves it running.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), EXECUTOR_SIM_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
    }
    ~SimProcess() {
        if (m_pid > 0 && kill(m_pid, SIGKILL) == 0) waitpid(m_pid, nullptr, 0);
        close(m_out);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // One line of output without its newline; empty at the end of the output.
    std::string readLine() {
        for (size_t nl = m_buffer.find('\n'); nl == std::string::npos; nl = m_buffer.find('\n')) {
            pollfd p{m_out, POLLIN, 0};
            char chunk[256];
            const ssize_t got = poll(&p, 1, kHangGuardMs) > 0 ? read(m_out, chunk, sizeof(chunk)) : 0;
            if (got <= 0) return std::exchange(m_buffer, std::string());
            m_buffer.append(chunk, static_cast<size_t>(got));
        }
        const size_t nl = m_buffer.find('\n');
        const std::string line = m_buffer.substr(0, nl);
        m_buffer.erase(0, nl + 1);
        return line;
    }
    // The port from the first line, 0 if the program did not start serving.
    uint16_t listeningPort() {
        const std::string prefix = "listening on 127.0.0.1:";
        const std::string line = readLine();
        return line.rfind(prefix, 0) == 0 ? static_cast<uint16_t>(std::stoi(line.substr(prefix.size()))) : 0;
    }
    // Once the output has ended: the exit status, or -1.
    int exitStatus() {
        int status = 0;
        if (!readLine().empty() || waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

// The program's last line: what it served.
struct Served {
    unsigned long long executed = 0, repeated = 0, stale = 0, malformed = 0, lostIn = 0, lostOut = 0;
};

bool parseServed(const std::string& line, Served& s) {
    return std::sscanf(line.c_str(),
                       "executed %llu, repeated %llu, stale %llu, malformed %llu, lost %llu in and %llu out",
                       &s.executed, &s.repeated, &s.stale, &s.malformed, &s.lostIn, &s.lostOut) == 6;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t marksIn(const std::string& json) {
    size_t n = 0;
    for (size_t at = json.find("\"kind\":\"mark\""); at != std::string::npos;
         at = json.find("\"kind\":\"mark\"", at + 1))
        ++n;
    return n;
}

// A file name of this test run; removed again when the test ends.
struct TempFile {
    explicit TempFile(const std::string& suffix) {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test) c = c == '/' ? '-' : c;  // parameterised names
        path = ::testing::TempDir() + "executor-sim-" + std::to_string(getpid()) + "-" + test + suffix;
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string path;
};

const char* protocolArg(BOARD_PROTOCOL protocol) { return protocol == BOARD_PROTOCOL_5 ? "5" : "7"; }

}  // namespace

TEST(ExecutorSim, ServesJobsAndWritesTheTraceOnSignals) {
    LogRecorder log;
    SleepRecorder sleeps;
    const TempFile svg(".svg"), json(".json");
    SimProcess sim({"--listen", "127.0.0.1:0", "--protocol", "5", "--trace", svg.path, "--json=" + json.path});
    ASSERT_GT(sim.pid(), 0);
    const uint16_t port = sim.listeningPort();
    ASSERT_NE(port, 0);
    net::UdpTransfer link("127.0.0.1", port);

    BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7;
    ASSERT_TRUE(Executor::getProtocol(&link, protocol));
    EXPECT_EQ(protocol, BOARD_PROTOCOL_5);  // as the command line asked
    ASSERT_TRUE(sim_job::runJob(link, BOARD_PROTOCOL_5, sim_job::markSquare));
    kill(sim.pid(), SIGUSR1);  // writes and keeps serving
    EXPECT_EQ(sim.readLine(), "wrote " + svg.path);
    EXPECT_EQ(sim.readLine(), "wrote " + json.path);
    EXPECT_EQ(marksIn(readFile(json.path)), 4u);

    ASSERT_TRUE(sim_job::runJob(link, BOARD_PROTOCOL_5, sim_job::markSquare));
    kill(sim.pid(), SIGTERM);
    EXPECT_EQ(sim.readLine(), "wrote " + svg.path);
    EXPECT_EQ(sim.readLine(), "wrote " + json.path);
    Served served;
    EXPECT_TRUE(parseServed(sim.readLine(), served));
    EXPECT_EQ(served.repeated + served.stale + served.malformed + served.lostIn + served.lostOut, 0u);
    EXPECT_EQ(sim.exitStatus(), 0);
    EXPECT_EQ(marksIn(readFile(json.path)), 8u);
    std::ifstream picture(svg.path);
    std::string first;
    EXPECT_TRUE(std::getline(picture, first) && first.find("<svg") != std::string::npos) << first;
}

TEST(ExecutorSim, RejectsBadArguments) {
    for (const char* bad : {"--protocol=6", "--listen=nowhere", "--loss=1.5", "--pacing=fast", "--frobnicate",
                            "--ticks-per-poll=0", "--busy-polls=x", "--refuse=0", "--refuse=AA10:100", "--refuse"}) {
        SimProcess sim({bad});
        EXPECT_EQ(sim.exitStatus(), 2) << bad;
    }
}

TEST(ExecutorSim, FaultOptionsReachTheBoard) {
    LogRecorder log;
    SleepRecorder sleeps;
    SimProcess sim({"--protocol", "5", "--factory-reads", "3", "--refuse", "0120:2"});
    const uint16_t port = sim.listeningPort();
    ASSERT_NE(port, 0);
    net::UdpTransfer link("127.0.0.1", port);
    std::unique_ptr<Executor> executor(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_5));
    executor->setTransfer(&link);
    EXPECT_EQ(executor->init(sim_job::devPar(), false, false), SDK_NOT_ENABLED);  // three boot loader reads
    executor->setTransfer(&link);  // a failed init leaves the executor disabled until then
    EXPECT_EQ(executor->init(sim_job::devPar(), false, false), SDK_OK);
    EXPECT_FALSE(executor->setSoftTiggerMark());
    executor->unInit();
}

// The same job in process and over UDP to the program must leave the same trace, request for
// request; with 5 % of the datagrams lost each way as well.
struct ProgramCase {
    BOARD_PROTOCOL protocol;
    bool lossy;
};

class ExecutorSimEndToEnd : public ::testing::TestWithParam<ProgramCase> {
protected:
    LogRecorder log;
    SleepRecorder sleeps;
};

TEST_P(ExecutorSimEndToEnd, TraceEqualsTheInProcessRun) {
    const ProgramCase c = GetParam();
    // Over a lossy link the paced board makes the host poll while frames are in flight, so the
    // losses hit polls and frames alike. A frame run twice would show in the trace, any request
    // run twice in the count of requests executed.
    sim::SimConfig config = sim_job::paced(c.protocol);
    std::vector<std::string> args = {"--protocol", protocolArg(c.protocol)};
    if (c.lossy) {
        args.insert(args.end(),
                    {"--pacing", "simulated", "--capacity", std::to_string(config.commandMemory), "--ticks-per-poll",
                     std::to_string(config.ticksPerPoll), "--loss", "0.05", "--seed", "20240612"});
    } else {
        config = sim::SimConfig();
        config.protocol = c.protocol;
    }
    void (*job)(Executor&) = c.lossy ? sim_job::markSpiral : sim_job::markSquare;

    sim::SimBoard reference(config);
    sim::SimTransfer local(reference, true);
    ASSERT_TRUE(sim_job::runJob(local, c.protocol, job));

    const TempFile json(".json");
    args.insert(args.end(), {"--json", json.path});
    SimProcess sim(args);
    const uint16_t port = sim.listeningPort();
    ASSERT_NE(port, 0);
    net::UdpTransfer link("127.0.0.1", port, c.lossy ? 20 : net::UdpTransfer::kDefaultTimeoutMs, c.lossy ? 30 : 5);
    ASSERT_TRUE(sim_job::runJob(link, c.protocol, job)) << link.lastError();
    kill(sim.pid(), SIGTERM);
    EXPECT_EQ(sim.readLine(), "wrote " + json.path);
    Served served;
    ASSERT_TRUE(parseServed(sim.readLine(), served));
    EXPECT_EQ(sim.exitStatus(), 0);

    const std::string trace = readFile(json.path);
    EXPECT_EQ(marksIn(trace), reference.trace().marks());
    EXPECT_TRUE(trace == reference.trace().toJson());  // not printed: thousands of lines
    EXPECT_EQ(served.executed, static_cast<unsigned long long>(reference.exchanges()));  // none lost, none twice
    EXPECT_EQ(served.malformed, 0u);
    if (c.lossy) {
        EXPECT_GT(served.lostIn, 0u);
        EXPECT_GT(served.lostOut, 0u);
        EXPECT_GT(served.repeated, 0u);  // lost replies answered again from memory
        EXPECT_GT(link.resends(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, ExecutorSimEndToEnd,
                         ::testing::Values(ProgramCase{BOARD_PROTOCOL_7, false}, ProgramCase{BOARD_PROTOCOL_5, false},
                                           ProgramCase{BOARD_PROTOCOL_7, true}, ProgramCase{BOARD_PROTOCOL_5, true}),
                         [](const ::testing::TestParamInfo<ProgramCase>& info) {
                             return std::string(info.param.protocol == BOARD_PROTOCOL_7 ? "Protocol7" : "Protocol5") +
                                    (info.param.lossy ? "Lossy" : "");
                         });
