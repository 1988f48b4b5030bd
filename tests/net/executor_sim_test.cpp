#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
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

// The program's last line, what it served: executed, repeated, stale, malformed, lost in and out.
std::vector<unsigned long long> served(SimProcess& sim) {
    std::vector<unsigned long long> n(6);
    EXPECT_EQ(std::sscanf(sim.readLine().c_str(),
                          "executed %llu, repeated %llu, stale %llu, malformed %llu, lost %llu in and %llu out, busy",
                          &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]),
              6);
    return n;
}

// A file of this test process; removed again when the test ends.
struct TempFile {
    explicit TempFile(const std::string& suffix)
        : path(::testing::TempDir() + "executor-sim-" + std::to_string(getpid()) + suffix) {}
    ~TempFile() { std::remove(path.c_str()); }
    std::string path;
};

const char* protocolArg(BOARD_PROTOCOL protocol) { return protocol == BOARD_PROTOCOL_5 ? "5" : "7"; }

}  // namespace

TEST(ExecutorSim, RejectsBadArguments) {
    for (const char* bad : {"--protocol=6", "--listen=nowhere", "--loss=1.5", "--pacing=fast", "--frobnicate",
                            "--ticks-per-poll=0", "--busy-polls=x", "--refuse=0", "--refuse=AA10:100", "--refuse"}) {
        SimProcess sim({bad});
        EXPECT_EQ(sim.exitStatus(), 2) << bad;
    }
}

// The same job in process and over UDP to the program, with 5 % of the datagrams lost each way,
// must leave the same trace, request for request, with the same two boot loader reads first. The paced board makes the
// host poll while frames are in flight, so the losses hit polls and frames alike. A frame run twice would show in the
// trace, any request run twice in the count of requests executed.
class ExecutorSimEndToEnd : public ::testing::TestWithParam<BOARD_PROTOCOL> {
protected:
    LogRecorder log;
    SleepRecorder sleeps;
};

TEST_P(ExecutorSimEndToEnd, LossyRunTraceEqualsTheInProcessRun) {
    const sim::SimConfig config = sim_job::paced(GetParam());
    sim::SimBoard reference(config);
    reference.faults().factoryModeReads = 2;
    sim::SimTransfer local(reference, true);
    ASSERT_TRUE(sim_job::runJob(local, GetParam(), sim_job::markSpiral));

    const TempFile json(".json"), svg(".svg");
    SimProcess sim({"--protocol", protocolArg(GetParam()), "--pacing", "simulated", "--capacity",
                    std::to_string(config.commandMemory), "--ticks-per-poll", std::to_string(config.ticksPerPoll),
                    "--loss", "0.05", "--seed", "20240612", "--factory-reads", "2", "--json", json.path,
                    "--trace=" + svg.path});
    const uint16_t port = sim.listeningPort();
    ASSERT_NE(port, 0);
    net::UdpTransfer link("127.0.0.1", port, 20, 30);
    ASSERT_TRUE(sim_job::runJob(link, GetParam(), sim_job::markSpiral)) << link.lastError();
    kill(sim.pid(), SIGTERM);
    EXPECT_EQ(sim.readLine(), "wrote " + svg.path);
    EXPECT_EQ(sim.readLine(), "wrote " + json.path);
    const std::vector<unsigned long long> n = served(sim);
    EXPECT_EQ(sim.exitStatus(), 0);
    EXPECT_TRUE(readFile(json.path) == reference.trace().toJson());           // not printed: thousands of lines
    EXPECT_EQ(n[0], static_cast<unsigned long long>(reference.exchanges()));  // none lost, none twice
    // Losses both ways, lost replies answered again from memory, nothing malformed.
    EXPECT_TRUE(n[4] > 0 && n[5] > 0 && n[1] > 0 && n[3] == 0 && link.resends() > 0);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, ExecutorSimEndToEnd, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         [](const auto& info) { return std::string("Protocol") + protocolArg(info.param); });
