#include "executor/net/udp_board_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "datagram.h"

#include "executor/net/udp_transfer.h"

namespace net {

namespace {

// Hosts remembered for repeats. An entry is forgotten only once its host has been silent for
// kPeerMemory, far longer than any retry takes: however many other hosts talk, a retried frame
// always finds its entry and never runs twice. With every entry in recent use a new host waits.
constexpr size_t kMaxPeers = 1024;
constexpr std::chrono::seconds kPeerMemory{60};
// How far behind a host's last sequence number a request counts as a straggler. A host that
// restarts picks a random sequence, which lands this close behind only by rare chance.
constexpr uint32_t kStaleWindow = 1024;
// What a delivered frame is acknowledged with, as the in-process link does.
constexpr uint32_t kFrameAckLen = 4;

// "ADDRESS:PORT" of a host key (IPv4 address << 16 | port).
std::string hostText(uint64_t key) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", unsigned(key >> 40 & 0xFF), unsigned(key >> 32 & 0xFF),
                  unsigned(key >> 24 & 0xFF), unsigned(key >> 16 & 0xFF), unsigned(key & 0xFFFF));
    return text;
}

void closeQuietly(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

bool setFlags(int fd) {
    return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
}

}  // namespace

UdpBoardServer::UdpBoardServer(sim::SimBoard& board, ServerOptions options)
    : m_board(board), m_options(std::move(options)) {}

UdpBoardServer::~UdpBoardServer() { stop(); }

bool UdpBoardServer::start() {
    if (running()) {
        m_lastError = "already running";
        return false;
    }
    uint32_t address = 0;
    if (!resolveIPv4(m_options.address, address)) {
        m_lastError = "cannot resolve " + m_options.address;
        return false;
    }
    m_socket = socket(AF_INET, SOCK_DGRAM, 0);
    if (m_socket < 0 || !setFlags(m_socket)) {
        m_lastError = std::string("socket: ") + std::strerror(errno);
        closeQuietly(m_socket);
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_options.port);
    local.sin_addr.s_addr = address;
    socklen_t localLen = sizeof(local);
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &localLen) != 0) {
        m_lastError = std::string("bind ") + m_options.address + ": " + std::strerror(errno);
        closeQuietly(m_socket);
        return false;
    }
    if (pipe(m_wake) != 0 || !setFlags(m_wake[0]) || !setFlags(m_wake[1])) {
        m_lastError = std::string("pipe: ") + std::strerror(errno);
        closeQuietly(m_wake[0]);
        closeQuietly(m_wake[1]);
        closeQuietly(m_socket);
        return false;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local.sin_addr, text, sizeof(text));
    m_boundAddress = text;
    m_boundPort = ntohs(local.sin_port);

    // A restarted server is a new board as far as repeats go.
    m_random.seed(m_options.seed);
    m_peers.clear();
    m_owner = 0;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void UdpBoardServer::stop() {
    if (!running()) return;
    const uint8_t wake = 1;
    while (write(m_wake[1], &wake, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
    closeQuietly(m_wake[0]);
    closeQuietly(m_wake[1]);
    closeQuietly(m_socket);
}

ServerStats UdpBoardServer::stats() const {
    std::lock_guard<std::mutex> lock(m_statsMutex);
    return m_stats;
}

void UdpBoardServer::serve() {
    // One byte more than the largest datagram, to tell an oversized one from a full one.
    std::vector<uint8_t> buffer(datagram::kMaxDatagram + 1);
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents == 0) continue;
        // Drain what is queued, a bounded batch so that a flood cannot hold off stop().
        for (int batch = 0; batch < 64; ++batch) {
            sockaddr_in from{};
            socklen_t fromLen = sizeof(from);
            const ssize_t got =
                recvfrom(m_socket, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (got < 0) {
                if (errno == EINTR) continue;
                break;  // nothing left, or an error report we have no use for
            }
            handle(buffer.data(), static_cast<uint32_t>(got), &from, fromLen);
        }
    }
}

void UdpBoardServer::handle(const uint8_t* data, uint32_t length, const void* from, uint32_t fromLen) {
    auto count = [this](uint64_t ServerStats::*field) {
        std::lock_guard<std::mutex> lock(m_statsMutex);
        ++(m_stats.*field);
    };
    count(&ServerStats::received);
    if (lose(m_options.dropIncoming)) {
        count(&ServerStats::droppedIn);
        return;
    }
    datagram::Header header;
    if (!datagram::readHeader(data, length, header) || length > datagram::kMaxDatagram ||
        (header.kind != datagram::kRequest && header.kind != datagram::kFrame && header.kind != datagram::kRelease) ||
        fromLen < sizeof(sockaddr_in)) {
        count(&ServerStats::malformed);
        return;
    }

    const auto* host = static_cast<const sockaddr_in*>(from);
    const uint64_t key = static_cast<uint64_t>(ntohl(host->sin_addr.s_addr)) << 16 | ntohs(host->sin_port);
    const Clock::time_point now = Clock::now();
    if (header.kind == datagram::kRelease) {
        if (key == m_owner) m_owner = 0;
        return;
    }
    Peer* known = nullptr;
    std::string busy;
    if (!admit(key, now)) {
        busy = "bound to " + hostText(m_owner);
    } else if ((known = peerFor(key, now)) == nullptr) {
        busy = "serving too many hosts";
    }
    if (known == nullptr) {
        count(&ServerStats::busy);
        std::vector<uint8_t> reply(datagram::kHeaderLen + busy.size());
        datagram::putHeader(reply.data(), static_cast<uint8_t>(header.kind | datagram::kBusy), header.sequence);
        std::memcpy(reply.data() + datagram::kHeaderLen, busy.data(), busy.size());
        sendReply(reply, from, fromLen);
        return;
    }
    Peer& peer = *known;
    if (!peer.request.empty()) {
        if (header.sequence == peer.sequence && peer.request.size() == length &&
            std::equal(peer.request.begin(), peer.request.end(), data)) {
            // A retry: its reply was lost or late. Running it again could mark a frame twice.
            count(&ServerStats::repeated);
            sendReply(peer.reply, from, fromLen);
            return;
        }
        const uint32_t behind = peer.sequence - header.sequence;
        if (behind != 0 && behind <= kStaleWindow) {
            count(&ServerStats::stale);
            return;
        }
    }

    const uint8_t* payload = data + datagram::kHeaderLen;
    const uint32_t payloadLen = length - datagram::kHeaderLen;
    std::vector<uint8_t> reply(datagram::kMaxDatagram, 0);
    uint32_t replyLen = 0;
    bool answered;
    if (header.kind == datagram::kRequest) {
        replyLen = datagram::kMaxPayload;
        answered = m_board.exchange(payload, payloadLen, reply.data() + datagram::kHeaderLen, &replyLen);
    } else {
        replyLen = kFrameAckLen;
        answered = m_board.deliverFrame(payload, payloadLen);
    }
    count(&ServerStats::executed);
    if (m_observer) m_observer(header.kind == datagram::kFrame, payload, payloadLen);

    datagram::putHeader(reply.data(),
                        static_cast<uint8_t>(header.kind | (answered ? datagram::kAnswered : datagram::kRefused)),
                        header.sequence);
    reply.resize(datagram::kHeaderLen + (answered ? replyLen : 0));
    peer.sequence = header.sequence;
    peer.request.assign(data, data + length);
    peer.reply = std::move(reply);
    sendReply(peer.reply, from, fromLen);
}

bool UdpBoardServer::lose(double fraction) {
    if (fraction <= 0.0) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < fraction;
}

void UdpBoardServer::sendReply(const std::vector<uint8_t>& reply, const void* to, uint32_t toLen) {
    if (lose(m_options.dropOutgoing)) {
        std::lock_guard<std::mutex> lock(m_statsMutex);
        ++m_stats.droppedOut;
        return;
    }
    // A full send buffer loses the reply like the network would; the host asks again.
    sendto(m_socket, reply.data(), reply.size(), 0, static_cast<const sockaddr*>(to), static_cast<socklen_t>(toLen));
}

bool UdpBoardServer::admit(uint64_t key, Clock::time_point now) {
    if (m_options.ownerIdleSeconds <= 0) return true;
    const auto idle = std::chrono::duration<double>(m_options.ownerIdleSeconds);
    if (m_owner != 0 && m_owner != key && now - m_ownerSeen < idle) return false;
    m_owner = key;
    m_ownerSeen = now;
    return true;
}

UdpBoardServer::Peer* UdpBoardServer::peerFor(uint64_t key, Clock::time_point now) {
    auto it = m_peers.find(key);
    if (it == m_peers.end()) {
        if (m_peers.size() >= kMaxPeers) {
            auto oldest = std::min_element(m_peers.begin(), m_peers.end(), [](const auto& a, const auto& b) {
                return a.second.lastSeen < b.second.lastSeen;
            });
            if (now - oldest->second.lastSeen < kPeerMemory) return nullptr;
            m_peers.erase(oldest);
        }
        it = m_peers.emplace(key, Peer()).first;
    }
    it->second.lastSeen = now;
    return &it->second;
}

}  // namespace net
