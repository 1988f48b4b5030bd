#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "executor/sim/sim_board.h"

namespace net {

struct ServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 0;          // 0: the system picks one, port() tells which
    double dropIncoming = 0.0;  // fraction of arriving datagrams ignored, to test loss
    double dropOutgoing = 0.0;  // fraction of replies not sent
    uint32_t seed = 1;          // for the loss decisions, so a lossy run can be repeated
    // One host owns the board from its first datagram until it lets go or is silent this long;
    // others are told the board is busy meanwhile. 0: every host may talk at any time.
    double ownerIdleSeconds = 5.0;
};

struct ServerStats {
    uint64_t received = 0;    // datagrams that arrived, dropped ones included
    uint64_t executed = 0;    // requests and frames handed to the board
    uint64_t repeated = 0;    // repeats answered from memory
    uint64_t stale = 0;       // requests older than the last one from their host
    uint64_t malformed = 0;   // not our magic, version or kind, or too long
    uint64_t droppedIn = 0;   // lost on purpose on arrival
    uint64_t droppedOut = 0;  // replies lost on purpose
    uint64_t busy = 0;        // requests from a host other than the owner, answered "busy"
};

// Serves one simulated board over UDP, in the datagram format of net/datagram.h, on a thread of
// its own. Each request runs on the board exactly once however often the host has to send it.
class UdpBoardServer {
public:
    // Called on the server thread for every request handed to the board.
    // frame: a list frame, else an immediate request.
    using Observer = std::function<void(bool frame, const uint8_t* payload, uint32_t length)>;

    explicit UdpBoardServer(sim::SimBoard& board, ServerOptions options = ServerOptions());
    ~UdpBoardServer();
    UdpBoardServer(const UdpBoardServer&) = delete;
    UdpBoardServer& operator=(const UdpBoardServer&) = delete;

    // Binds and starts serving; false (see lastError) if the address cannot be bound.
    bool start();
    // Stops the thread and closes the socket; start may be called again.
    void stop();
    bool running() const { return m_thread.joinable(); }
    // The bound address and port, valid once started.
    const std::string& address() const { return m_boundAddress; }
    uint16_t port() const { return m_boundPort; }
    const std::string& lastError() const { return m_lastError; }
    ServerStats stats() const;
    // Set before start.
    void setObserver(Observer observer) { m_observer = std::move(observer); }

private:
    using Clock = std::chrono::steady_clock;

    struct Peer {
        uint32_t sequence = 0;
        std::vector<uint8_t> request;  // the whole datagram, header included
        std::vector<uint8_t> reply;
        Clock::time_point lastSeen;
    };

    void serve();
    void handle(const uint8_t* data, uint32_t length, const void* from, uint32_t fromLen);
    bool lose(double fraction);
    void sendReply(const std::vector<uint8_t>& reply, const void* to, uint32_t toLen);
    // The host's entry, made when there is room; nullptr when every entry is in recent use.
    Peer* peerFor(uint64_t key, Clock::time_point now);
    // Whether the host may talk to the board now; makes it the owner when nobody is.
    bool admit(uint64_t key, Clock::time_point now);

    sim::SimBoard& m_board;
    ServerOptions m_options;
    Observer m_observer;
    std::thread m_thread;
    int m_socket = -1;
    int m_wake[2] = {-1, -1};  // stop() writes here to end the wait for datagrams
    std::string m_boundAddress;
    uint16_t m_boundPort = 0;
    std::string m_lastError;

    // Server thread only.
    std::mt19937 m_random;
    std::map<uint64_t, Peer> m_peers;
    uint64_t m_owner = 0;  // host key (address << 16 | port); 0: nobody
    Clock::time_point m_ownerSeen;

    mutable std::mutex m_statsMutex;
    ServerStats m_stats;
};

}  // namespace net
