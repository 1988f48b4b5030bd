#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "executor/executor.h"
#include "executor/net/udp_board_server.h"
#include "executor/net/udp_transfer.h"
#include "net/datagram.h"
#include "support/sim_job.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace dg = net::datagram;

// Only keeps a broken peer from hanging the run; nothing waits this long when things work.
constexpr int kHangGuardMs = 10000;

Bytes datagram(uint8_t kind, uint32_t sequence, const Bytes& payload = {}) {
    Bytes out(dg::kHeaderLen);
    dg::putHeader(out.data(), kind, sequence);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}
uint32_t sequenceOf(const Bytes& d) {
    dg::Header h;
    EXPECT_TRUE(dg::readHeader(d.data(), static_cast<uint32_t>(d.size()), h));
    return h.sequence;
}
// A reply's header and first two payload bytes.
Bytes head(Bytes d) {
    d.resize(std::min<size_t>(d.size(), dg::kHeaderLen + 2));
    return d;
}

// The protocol 5 probe: the board echoes its opcode, so replies are recognisable.
const Bytes kProbe = {0x01, 0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
Bytes request(uint32_t sequence) { return datagram(dg::kRequest, sequence, kProbe); }
Bytes answer(uint32_t sequence) { return datagram(dg::kRequest | dg::kAnswered, sequence, {0x01, 0x23}); }

// A plain UDP socket on loopback, to play either end by hand.
struct RawSocket {
    RawSocket() {
        socklen_t len = sizeof(peer);
        bind(fd, reinterpret_cast<sockaddr*>(&peer), len);
        getsockname(fd, reinterpret_cast<sockaddr*>(&peer), &len);
        port = ntohs(peer.sin_port);
    }
    ~RawSocket() { close(fd); }
    // To that port, or to whoever sent the last datagram received.
    void send(const Bytes& bytes, uint16_t to = 0) {
        peer.sin_port = to != 0 ? htons(to) : peer.sin_port;
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer));
    }
    // The next datagram; empty if none came within timeoutMs.
    Bytes receive(int timeoutMs = kHangGuardMs) {
        pollfd p{fd, POLLIN, 0};
        Bytes in(4096);
        socklen_t len = sizeof(peer);
        const ssize_t got = poll(&p, 1, timeoutMs) <= 0
                                ? 0
                                : recvfrom(fd, in.data(), in.size(), 0, reinterpret_cast<sockaddr*>(&peer), &len);
        in.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return in;
    }

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in peer{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    uint16_t port = 0;
};

sim::SimBoard board5() { return sim::SimBoard(sim_job::SimRig::withProtocol(sim::SimConfig(), BOARD_PROTOCOL_5)); }

std::string protocolName(const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
    return info.param == BOARD_PROTOCOL_5 ? "Protocol5" : "Protocol7";
}

}  // namespace

// Datagrams sent by hand from two hosts, and what comes back to each. A repeat is answered from
// memory and runs once, a straggler or anything malformed is ignored, another host's sequence
// numbers are its own once the board is theirs, and a board giving no answer is reported and not asked twice.
TEST(UdpBoardServer, AnswersEachRequestOnceAndIgnoresTheRest) {
    sim::SimBoard board = board5();
    net::UdpBoardServer server(board);
    ASSERT_TRUE(server.start()) << server.lastError();
    RawSocket host, other;
    Bytes badMagic = request(20), badVersion = request(24);
    badMagic[0] = 'Q';
    badVersion[2] = dg::kVersion + 1;
    const Bytes frame = datagram(dg::kFrame, 9, Bytes(64, 0)), ack = datagram(dg::kFrame | dg::kAnswered, 9, {0, 0});
    for (const Bytes& d :
         {request(7), request(7), request(8), request(7), frame, frame, badMagic, datagram(0x33, 21, kProbe),
          datagram(dg::kRequest | dg::kAnswered, 22, kProbe), Bytes{'E', 'X', 1},
          datagram(dg::kFrame, 23, Bytes(dg::kMaxPayload + 1, 0)), badVersion, request(10)})
        host.send(d, server.port());
    other.send(request(7), server.port());
    for (const Bytes& r : {answer(7), answer(7), answer(8), ack, ack, answer(10)}) EXPECT_EQ(head(host.receive()), r);
    // The other host is told who owns the board, and is served once the owner lets go.
    const std::string owner = "bound to 127.0.0.1:" + std::to_string(host.port);
    EXPECT_EQ(other.receive(), datagram(dg::kRequest | dg::kBusy, 7, Bytes(owner.begin(), owner.end())));
    host.send(datagram(dg::kRelease, 30, {}), server.port());
    other.send(request(7), server.port());
    EXPECT_EQ(head(other.receive()), answer(7));
    other.send(datagram(dg::kRelease, 8, {}), server.port());
    net::ServerStats s = server.stats();
    EXPECT_EQ((std::vector<uint64_t>{s.executed, s.repeated, s.stale, s.malformed, s.busy}),
              (std::vector<uint64_t>{5, 2, 1, 6, 1}));
    EXPECT_EQ(board.exchanges(), 5);
    server.stop();  // the serving thread reads the faults
    board.faults().failExchange = 6;
    ASSERT_TRUE(server.start());
    for (int i = 0; i < 2; ++i) {
        host.send(request(11), server.port());
        EXPECT_EQ(host.receive(), (Bytes{'E', 'X', 1, dg::kRequest | dg::kRefused, 0, 0, 0, 11}));
    }
    EXPECT_EQ(board.exchanges(), 6);
    EXPECT_FALSE(server.start());
    net::UdpBoardServer clash(board, {"127.0.0.1", server.port()});  // a port taken
    EXPECT_FALSE(clash.start() || clash.lastError().empty());
    server.stop();
    EXPECT_FALSE(server.running());
}

// A transport against a board played by hand: replies with another sequence number, kind or
// magic are skipped; one reporting no answer fails at once; a silent board costs the first try
// and three more of the same datagram; a closed port is noticed, not waited out.
TEST(UdpTransfer, SkipsStaleRepliesRetriesAndGivesUp) {
    RawSocket board;
    net::UdpTransfer link("127.0.0.1", board.port, kHangGuardMs, 3);
    uint8_t reply[4] = {};
    uint32_t replyLen = sizeof(reply);
    EXPECT_FALSE(link.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));  // not open yet
    ASSERT_TRUE(link.openDev());
    std::thread script([&] {
        const uint32_t seq = sequenceOf(board.receive());
        Bytes foreign = answer(seq);
        foreign[0] = 'Q';
        for (const Bytes& d : {answer(seq - 1), foreign, datagram(dg::kFrame | dg::kAnswered, seq, {0xBB}),
                               datagram(dg::kRequest | dg::kAnswered, seq, {0xAA, 1, 2, 3, 4, 5})})
            board.send(d);
        board.send(datagram(dg::kRequest | dg::kRefused, sequenceOf(board.receive())));
    });
    EXPECT_TRUE(link.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));
    EXPECT_EQ(Bytes(reply, reply + replyLen), (Bytes{0xAA, 1, 2, 3}));  // cut to the capacity given
    EXPECT_FALSE(link.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));
    script.join();
    EXPECT_EQ(std::make_tuple(link.staleReplies(), link.resends(), link.lastError()),
              std::make_tuple(uint64_t{3}, uint64_t{0}, std::string("the board gave no answer")));

    net::UdpTransfer silent("127.0.0.1", board.port, 20, 3), closed("127.0.0.1", RawSocket().port, kHangGuardMs, 3);
    ASSERT_TRUE(silent.openDev() && closed.openDev());
    EXPECT_FALSE(silent.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));
    const Bytes first = board.receive();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(board.receive(), first);
    EXPECT_TRUE(board.receive(0).empty() && silent.resends() == 3 && silent.lastError() == "no reply in time");
    EXPECT_FALSE(closed.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));
    EXPECT_NE(closed.lastError().find("Connection refused"), std::string::npos) << closed.lastError();

    int32_t length = 5;  // no user port over UDP, and nothing longer than a datagram
    EXPECT_FALSE(link.readData(0, reply, sizeof(reply), &length, nullptr, nullptr, false) || length != 0);
    EXPECT_FALSE(link.writeData(reply, 1, 0));
    const Bytes frame(dg::kMaxPayload + 1, 0);
    EXPECT_FALSE(link.ReadAndWriteData(frame.data(), static_cast<uint32_t>(frame.size()), reply, &replyLen, false));
    EXPECT_TRUE(board.receive(0).empty());
    link.closeDev();
    EXPECT_FALSE(link.isOpen());
}

// A job streams over UDP on one thread while a second watches the board and stops the job after
// a random few frames. Every stop must get its own reply, end the streaming thread and leave the
// board idle. Run under ThreadSanitizer by scripts/test.
class UdpConcurrency : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(UdpConcurrency, StopFromASecondThreadEndsEveryJob) {
    sim::SimConfig config = sim_job::paced(GetParam());
    config.recordTrace = false;
    sim::SimBoard board(config);
    net::UdpBoardServer server(board);
    std::atomic<int> frames{0};
    server.setObserver([&](bool frame, const uint8_t*, uint32_t) { frames += frame; });
    ASSERT_TRUE(server.start()) << server.lastError();
    net::UdpTransfer link(server.address(), server.port());
    std::unique_ptr<Executor> e(Executor::create(BOARD_TYPE_PROTOCOL7, GetParam()));
    e->setTransfer(&link);
    utils::Thread::setSleepHook([](uint32_t) { std::this_thread::yield(); });
    ASSERT_EQ(e->init(sim_job::devPar(), false, false), SDK_OK);
    std::mt19937 random(GetParam());
    for (int round = 0; round < 30; ++round) {
        const int stopAfter = 1 + static_cast<int>(random() % 6);
        frames = 0;
        ASSERT_TRUE(e->setStartMark());
        std::packaged_task<void()> job([&] {
            for (int i = 0; i < 3000; ++i)
                e->linetoPositionAbs(sim_job::lens(), {i % 40 - 20.0, i % 37 - 18.0}, 50, 0, sim_job::linear());
            e->exeCurCmd(true);
        });
        std::future<void> done = job.get_future();
        std::thread streamer(std::move(job));
        DevBaseState state;  // watched meanwhile, as a host shows progress
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (frames < stopAfter && done.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               std::chrono::steady_clock::now() < giveUp)
            e->getDevState(state, true);
        const bool stopped = e->setStopMark();
        const bool ended = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        // A stop whose reply was lost leaves the streaming thread waiting for room; a second one
        // that gets through ends its waits, so it can be joined.
        for (int again = 0; !ended && again < 10 && !e->setReset(); ++again) std::this_thread::yield();
        if (!ended) link.closeDev();  // a closed link fails every call at once: the join cannot hang
        streamer.join();
        ASSERT_TRUE(ended && stopped) << "round " << round << ": " << link.lastError();
        ASSERT_TRUE(e->getDevState(state, true));
        EXPECT_LT(state.workState, 2u) << "round " << round;
    }
    utils::Thread::setSleepHook({});
    e->unInit();
}

INSTANTIATE_TEST_SUITE_P(Protocols, UdpConcurrency, ::testing::Values(BOARD_PROTOCOL_5, BOARD_PROTOCOL_7),
                         protocolName);
