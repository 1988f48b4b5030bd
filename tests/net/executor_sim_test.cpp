#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "executor/executor.h"
#include "executor/net/udp_transfer.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "support/recorders.h"
#include "support/sim_job.h"
#include "support/sim_process.h"

// The executor-sim program, started on a free loopback port and driven through the library.

namespace {

// The program's last line: what it served.
struct Served {
    unsigned long long executed = 0, repeated = 0, stale = 0, malformed = 0, lostIn = 0, lostOut = 0;
};

bool parseServed(const std::string& line, Served& s) {
    return std::sscanf(line.c_str(),
                       "executed %llu, repeated %llu, stale %llu, malformed %llu, lost %llu in and %llu out, busy",
                       &s.executed, &s.repeated, &s.stale, &s.malformed, &s.lostIn, &s.lostOut) == 6;
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

// The same job in process and over UDP to the program, with 5 % of the datagrams lost each way,
// must leave the same trace, request for request. The paced board makes the host poll while
// frames are in flight, so the losses hit polls and frames alike. A frame run twice would show
// in the trace, any request run twice in the count of requests executed.
class ExecutorSimEndToEnd : public ::testing::TestWithParam<BOARD_PROTOCOL> {
protected:
    LogRecorder log;
    SleepRecorder sleeps;
};

TEST_P(ExecutorSimEndToEnd, LossyRunTraceEqualsTheInProcessRun) {
    const sim::SimConfig config = sim_job::paced(GetParam());
    sim::SimBoard reference(config);
    sim::SimTransfer local(reference, true);
    ASSERT_TRUE(sim_job::runJob(local, GetParam(), sim_job::markSpiral));

    const TempFile json(".json");
    SimProcess sim({"--protocol", protocolArg(GetParam()), "--pacing", "simulated", "--capacity",
                    std::to_string(config.commandMemory), "--ticks-per-poll", std::to_string(config.ticksPerPoll),
                    "--loss", "0.05", "--seed", "20240612", "--json", json.path});
    const uint16_t port = sim.listeningPort();
    ASSERT_NE(port, 0);
    net::UdpTransfer link("127.0.0.1", port, 20, 30);
    ASSERT_TRUE(sim_job::runJob(link, GetParam(), sim_job::markSpiral)) << link.lastError();
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
    EXPECT_GT(served.lostIn, 0u);
    EXPECT_GT(served.lostOut, 0u);
    EXPECT_GT(served.repeated, 0u);  // lost replies answered again from memory
    EXPECT_GT(link.resends(), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, ExecutorSimEndToEnd, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         [](const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
                             return std::string(info.param == BOARD_PROTOCOL_7 ? "Protocol7" : "Protocol5");
                         });
