#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "executor/executor.h"
#include "executor/net/udp_board_server.h"
#include "executor/net/udp_transfer.h"
#include "net/datagram.h"
#include "support/recorders.h"
#include "support/sim_job.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace dg = net::datagram;

// Only keeps a broken peer from hanging the run; nothing waits this long when things work.
constexpr int kHangGuardMs = 10000;

Bytes datagram(uint8_t kind, uint32_t sequence, const Bytes& payload) {
    Bytes out(dg::kHeaderLen);
    dg::putHeader(out.data(), kind, sequence);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

dg::Header headerOf(const Bytes& d) {
    dg::Header h;
    EXPECT_TRUE(dg::readHeader(d.data(), static_cast<uint32_t>(d.size()), h));
    return h;
}

// The protocol 5 probe: the board echoes its opcode, so replies are recognisable.
const Bytes kProbe = {0x01, 0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A plain UDP socket on loopback, to play either end by hand.
class RawSocket {
public:
    RawSocket() : m_fd(socket(AF_INET, SOCK_DGRAM, 0)), m_peer(loopback(0)) {
        socklen_t len = sizeof(m_peer);
        bind(m_fd, reinterpret_cast<sockaddr*>(&m_peer), len);
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&m_peer), &len);
        m_port = ntohs(m_peer.sin_port);
    }
    ~RawSocket() { close(m_fd); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    uint16_t port() const { return m_port; }
    void sendTo(uint16_t port, const Bytes& bytes) {
        m_peer = loopback(port);
        reply(bytes);
    }
    // To whoever sent the last datagram received.
    void reply(const Bytes& bytes) {
        sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&m_peer), sizeof(m_peer));
    }
    // The next datagram; empty if none came within timeoutMs.
    Bytes receive(int timeoutMs = kHangGuardMs) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return Bytes();
        Bytes in(4096);
        socklen_t len = sizeof(m_peer);
        const ssize_t got = recvfrom(m_fd, in.data(), in.size(), 0, reinterpret_cast<sockaddr*>(&m_peer), &len);
        in.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return in;
    }
    size_t drain() {
        size_t n = 0;
        while (!receive(0).empty()) ++n;
        return n;
    }

private:
    static sockaddr_in loopback(uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

    int m_fd;
    sockaddr_in m_peer;
    uint16_t m_port = 0;
};

// A port on loopback with nothing behind it.
uint16_t closedPort() { return RawSocket().port(); }

// --- the jobs, as the in-process end-to-end tests run them ---------------------------------------

using sim_job::markSquare;
using sim_job::runJob;

sim::SimConfig config(BOARD_PROTOCOL protocol) {
    sim::SimConfig c;
    c.protocol = protocol;
    return c;
}

}  // namespace

TEST(UdpDatagram, HeaderRoundTripsAndForeignOnesAreRejected) {
    EXPECT_LE(dg::kMaxDatagram, 1500u - 20u - 8u);  // a whole frame fits one Ethernet frame
    Bytes d = datagram(dg::kFrame, 0xA1B2C3D4u, {});
    EXPECT_EQ(d, (Bytes{'E', 'X', 1, dg::kFrame, 0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(headerOf(d).sequence, 0xA1B2C3D4u);
    dg::Header h;
    EXPECT_FALSE(dg::readHeader(d.data(), dg::kHeaderLen - 1, h));
    d[2] = dg::kVersion + 1;
    EXPECT_FALSE(dg::readHeader(d.data(), dg::kHeaderLen, h));
}

// --- the server, driven by hand ------------------------------------------------------------------

class UdpBoardServerTest : public ::testing::Test {
protected:
    UdpBoardServerTest() : board(config(BOARD_PROTOCOL_5)), server(board) {}
    void SetUp() override { ASSERT_TRUE(server.start()) << server.lastError(); }

    sim::SimBoard board;
    net::UdpBoardServer server;
    RawSocket host;
};

TEST_F(UdpBoardServerTest, RepeatedRequestGetsTheSameReplyAndRunsOnce) {
    EXPECT_EQ(server.address(), "127.0.0.1");
    const Bytes request = datagram(dg::kRequest, 7, kProbe);
    host.sendTo(server.port(), request);
    const Bytes first = host.receive();
    ASSERT_GE(first.size(), dg::kHeaderLen + 2);
    EXPECT_EQ(headerOf(first).kind, dg::kRequest | dg::kAnswered);
    EXPECT_EQ(headerOf(first).sequence, 7u);
    EXPECT_EQ(first[dg::kHeaderLen + 1], 0x23);
    host.sendTo(server.port(), request);
    EXPECT_EQ(host.receive(), first);
    EXPECT_EQ(board.exchanges(), 1);
    EXPECT_EQ(server.stats().repeated, 1u);
    // Another host is told who owns the board until the owner lets go; its sequence numbers are its own.
    RawSocket other;
    other.sendTo(server.port(), request);
    const std::string owner = "bound to 127.0.0.1:" + std::to_string(host.port());
    Bytes busy = datagram(dg::kRequest | dg::kBusy, 7, Bytes(owner.begin(), owner.end()));
    EXPECT_EQ(other.receive(), busy);
    host.sendTo(server.port(), datagram(dg::kRelease, 8, {}));
    other.sendTo(server.port(), request);
    EXPECT_EQ(other.receive(), first);
    EXPECT_EQ(board.exchanges(), 2);
    EXPECT_EQ(server.stats().busy, 1u);
    host.sendTo(server.port(), request);  // the first host waits its turn now
    EXPECT_EQ(headerOf(host.receive()).kind, dg::kRequest | dg::kBusy);
    other.sendTo(server.port(), datagram(dg::kRelease, 9, {}));
    // A frame is acknowledged each time and delivered once.
    const Bytes frame = datagram(dg::kFrame, 100, Bytes(64, 0));
    for (int i = 0; i < 3; ++i) {
        host.sendTo(server.port(), frame);
        EXPECT_EQ(host.receive(), datagram(dg::kFrame | dg::kAnswered, 100, {0, 0, 0, 0}));
    }
    EXPECT_EQ(board.exchanges(), 3);
}

TEST_F(UdpBoardServerTest, StragglersForeignAndMalformedDatagramsAreIgnored) {
    for (uint32_t seq : {10u, 11u, 10u, 12u}) host.sendTo(server.port(), datagram(dg::kRequest, seq, kProbe));
    // Replies come in order, so had the straggler been answered its reply would come third.
    for (uint32_t seq : {10u, 11u, 12u}) EXPECT_EQ(headerOf(host.receive()).sequence, seq);
    EXPECT_EQ(server.stats().stale, 1u);
    Bytes badMagic = datagram(dg::kRequest, 1, kProbe);
    badMagic[0] = 'Q';
    host.sendTo(server.port(), badMagic);
    host.sendTo(server.port(), datagram(0x33, 2, kProbe));
    host.sendTo(server.port(), datagram(dg::kRequest | dg::kAnswered, 3, kProbe));
    host.sendTo(server.port(), Bytes{'E', 'X', 1});
    host.sendTo(server.port(), datagram(dg::kFrame, 5, Bytes(dg::kMaxPayload + 1, 0)));
    host.sendTo(server.port(), datagram(dg::kRequest, 16, kProbe));
    EXPECT_EQ(headerOf(host.receive()).sequence, 16u);
    EXPECT_EQ(server.stats().malformed, 5u);
    EXPECT_EQ(board.exchanges(), 4);
}

TEST_F(UdpBoardServerTest, BoardGivingNoAnswerIsReportedAndNotAskedTwice) {
    // The serving thread reads the faults: change them only while it is stopped.
    server.stop();
    board.faults().failExchange = 1;
    ASSERT_TRUE(server.start());
    const Bytes request = datagram(dg::kRequest, 9, kProbe);
    host.sendTo(server.port(), request);
    const Bytes first = host.receive();
    EXPECT_EQ(first, datagram(dg::kRequest | dg::kRefused, 9, {}));
    host.sendTo(server.port(), request);
    EXPECT_EQ(host.receive(), first);
    EXPECT_EQ(board.exchanges(), 1);
}

TEST_F(UdpBoardServerTest, StartsOnceAndATakenPortFails) {
    EXPECT_FALSE(server.start());
    sim::SimBoard second;
    net::ServerOptions same;
    same.port = server.port();
    net::UdpBoardServer clash(second, same);
    EXPECT_FALSE(clash.start());
    EXPECT_FALSE(clash.lastError().empty());
    server.stop();
    EXPECT_FALSE(server.running());
}

// --- the transport against a scripted board ------------------------------------------------------

// The far end of a transport, answering as each test scripts it on its own thread.
struct ScriptedBoard {
    ~ScriptedBoard() {
        if (thread.joinable()) thread.join();
    }
    RawSocket socket;
    std::thread thread;
};

TEST(UdpTransfer, RefusesUserPortClosedUseAndOversizedRequests) {
    ScriptedBoard board;
    net::UdpTransfer link("127.0.0.1", board.socket.port(), 20, 0);
    uint8_t reply[8];
    uint32_t replyLen = sizeof(reply);
    EXPECT_FALSE(link.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));  // not open yet
    ASSERT_TRUE(link.openDev());
    int32_t length = 5;
    EXPECT_FALSE(link.readData(0, reply, sizeof(reply), &length, nullptr, nullptr, false));
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(link.writeData(reply, 1, 0));
    const Bytes frame(dg::kMaxPayload + 1, 0);
    EXPECT_FALSE(link.ReadAndWriteData(frame.data(), static_cast<uint32_t>(frame.size()), reply, &replyLen, false));
    EXPECT_EQ(board.socket.drain(), 0u);
    link.closeDev();
    EXPECT_FALSE(link.isOpen());
}

TEST(UdpTransfer, StaleAndForeignRepliesAreSkipped) {
    ScriptedBoard board;
    net::UdpTransfer link("127.0.0.1", board.socket.port(), kHangGuardMs, 0);
    ASSERT_TRUE(link.openDev());
    board.thread = std::thread([&] {
        const uint32_t seq = headerOf(board.socket.receive()).sequence;
        board.socket.reply(datagram(dg::kRequest | dg::kAnswered, seq - 1, {0xBB}));  // an older reply
        Bytes foreign = datagram(dg::kRequest | dg::kAnswered, seq, {0xBB});
        foreign[0] = 'Q';
        board.socket.reply(foreign);
        board.socket.reply(datagram(dg::kFrame | dg::kAnswered, seq, {0xBB}));  // wrong kind
        board.socket.reply(datagram(dg::kRequest | dg::kAnswered, seq, {0xAA, 1, 2, 3, 4, 5}));
    });
    uint8_t reply[4] = {};
    uint32_t replyLen = sizeof(reply);
    ASSERT_TRUE(link.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));
    EXPECT_EQ(replyLen, 4u);  // cut to the capacity given
    EXPECT_EQ(reply[0], 0xAA);
    EXPECT_EQ(reply[3], 3);
    EXPECT_EQ(link.staleReplies(), 3u);
}

TEST(UdpTransfer, RetriesWithTheSameSequenceUntilAnswered) {
    ScriptedBoard board;
    net::UdpTransfer link("127.0.0.1", board.socket.port(), 20, 5);
    ASSERT_TRUE(link.openDev());
    std::vector<Bytes> tries;
    board.thread = std::thread([&] {
        for (int i = 0; i < 3; ++i) tries.push_back(board.socket.receive());
        board.socket.reply(datagram(dg::kFrame | dg::kAnswered, headerOf(tries[0]).sequence, {0, 0, 0, 0}));
    });
    const Bytes frame(100, 0x5A);
    uint8_t reply[4];
    uint32_t replyLen = sizeof(reply);
    ASSERT_TRUE(link.ReadAndWriteData(frame.data(), 100, reply, &replyLen, false));
    board.thread.join();
    EXPECT_EQ(tries[0], datagram(dg::kFrame, headerOf(tries[0]).sequence, frame));
    EXPECT_EQ(tries[1], tries[0]);
    EXPECT_EQ(tries[2], tries[0]);
    EXPECT_EQ(link.resends(), 2u);
    EXPECT_EQ(replyLen, 4u);
}

// A silent board costs the first try and three more; one that reports no answer fails at once.
TEST(UdpTransfer, GivesUpAfterTheRetriesOrAtOnceWhenTheBoardHasNoAnswer) {
    for (const bool refused : {false, true}) {
        ScriptedBoard board;
        net::UdpTransfer link("127.0.0.1", board.socket.port(), refused ? kHangGuardMs : 20, 3);
        ASSERT_TRUE(link.openDev());
        if (refused) {
            board.thread = std::thread([&] {
                board.socket.reply(
                    datagram(dg::kRequest | dg::kRefused, headerOf(board.socket.receive()).sequence, {}));
            });
        }
        uint8_t reply[16];
        uint32_t replyLen = sizeof(reply);
        EXPECT_FALSE(link.ReadAndWriteCmd(kProbe.data(), 12, reply, &replyLen, true));
        if (refused) board.thread.join();
        EXPECT_EQ(board.socket.drain(), refused ? 0u : 4u);
        EXPECT_EQ(link.resends(), refused ? 0u : 3u);
    }
}

// --- whole jobs through the library --------------------------------------------------------------
// (jobs served over UDP, lossy or not, run through the executor-sim program: executor_sim_test.cpp)

TEST(UdpEndToEnd, NothingListeningFailsToBindWithoutHanging) {
    LogRecorder log;
    SleepRecorder sleeps;
    for (BOARD_PROTOCOL protocol : {BOARD_PROTOCOL_7, BOARD_PROTOCOL_5}) {
        net::UdpTransfer link("127.0.0.1", closedPort(), kHangGuardMs, 2);
        SdkError err = SDK_OK;
        EXPECT_FALSE(runJob(link, protocol, markSquare, &err));
        EXPECT_EQ(err, SDK_BIND_FAIL);                    // binding is the first exchange on a network link
        EXPECT_NE(link.lastError(), "no reply in time");  // the closed port was noticed, not waited out
    }
}
