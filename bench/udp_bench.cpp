#include <benchmark/benchmark.h>

#include <memory>

#include "bench_support.h"
#include "executor/net/udp_board_server.h"
#include "executor/net/udp_transfer.h"
#include "executor/sim/sim_board.h"
#include "executor/transfer/forwarding_transfer.h"

// Figure 5: vector commands over UDP loopback to a simulated board served in process, with the
// library's flow control (a status exchange before every frame), against the round-trip time of
// one status exchange measured the same way. Two round trips per frame bound the frame rate.
// Wall-clock time: the host mostly waits.

namespace {

// Counts the frames that pass, and forwards everything.
class CountingTransfer : public ForwardingTransfer {
public:
    using ForwardingTransfer::ForwardingTransfer;
    uint64_t frames = 0;

    bool ReadAndWriteData(const uint8_t* frame, uint32_t len, uint8_t* reply, uint32_t* replyLen, bool f) override {
        ++frames;
        return ForwardingTransfer::ReadAndWriteData(frame, len, reply, replyLen, f);
    }
};

// A simulated board behind a UDP server on a loopback port the system picks.
struct UdpBoard {
    UdpBoard() : board(configuration()), server(board) {}
    static sim::SimConfig configuration() {
        sim::SimConfig c;
        c.recordTrace = false;
        return c;
    }
    sim::SimBoard board;
    net::UdpBoardServer server;
};

DevPar networkPar() {
    DevPar par;
    par.m_localIp = "127.0.0.1";
    par.m_mac = "02-00-00-00-00-01";
    return par;
}

void Udp_sendLineToAbs(benchmark::State& state) {
    UdpBoard target;
    if (!target.server.start()) {
        state.SkipWithError("server failed to start");
        return;
    }
    net::UdpTransfer udp("127.0.0.1", target.server.port());
    CountingTransfer link(udp);
    auto executor = bench::connect(state, link, networkPar());
    if (!executor) return;
    Executor& e = *executor;
    uint64_t i = 0;
    const uint64_t framesBefore = link.frames;
    for (auto _ : state) {
        e.sendLineToAbs({static_cast<int>(i % 65536), static_cast<int>(i * 7 % 65536)}, 20, 0);
        ++i;
    }
    e.exeCurCmd(false);
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(link.frames - framesBefore), benchmark::Counter::kIsRate);
    state.counters["resends"] = static_cast<double>(udp.resends());
    e.unInit();
}
BENCHMARK(Udp_sendLineToAbs)->MinTime(1.0)->UseRealTime();

// One status exchange, the request the flow control sends before each frame.
void Udp_roundTrip(benchmark::State& state) {
    UdpBoard target;
    if (!target.server.start()) {
        state.SkipWithError("server failed to start");
        return;
    }
    net::UdpTransfer udp("127.0.0.1", target.server.port());
    auto executor = bench::connect(state, udp, networkPar());
    if (!executor) return;
    DevBaseState status;
    for (auto _ : state) executor->getDevState(status, true);
    state.SetItemsProcessed(state.iterations());
    executor->unInit();
}
BENCHMARK(Udp_roundTrip)->MinTime(1.0)->UseRealTime();

}  // namespace
