#include "executor/net/udp_transfer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <utility>

#include "datagram.h"

namespace net {

namespace datagram {

void putHeader(uint8_t* out, uint8_t kind, uint32_t sequence) {
    out[0] = kMagic0;
    out[1] = kMagic1;
    out[2] = kVersion;
    out[3] = kind;
    out[4] = static_cast<uint8_t>(sequence >> 24);
    out[5] = static_cast<uint8_t>(sequence >> 16);
    out[6] = static_cast<uint8_t>(sequence >> 8);
    out[7] = static_cast<uint8_t>(sequence);
}

bool readHeader(const uint8_t* data, uint32_t length, Header& header) {
    if (data == nullptr || length < kHeaderLen) return false;
    if (data[0] != kMagic0 || data[1] != kMagic1 || data[2] != kVersion) return false;
    header.kind = data[3];
    header.sequence = static_cast<uint32_t>(data[4]) << 24 | static_cast<uint32_t>(data[5]) << 16 |
                      static_cast<uint32_t>(data[6]) << 8 | data[7];
    return true;
}

}  // namespace datagram

bool resolveIPv4(const std::string& host, uint32_t& address) {
    in_addr numeric{};
    if (inet_pton(AF_INET, host.c_str(), &numeric) == 1) {
        address = numeric.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

namespace {

using Clock = std::chrono::steady_clock;

// A random start keeps a restarted host that gets its old port back from looking like a
// repeat of its former self to the board.
uint32_t randomSequence() {
    std::random_device source;
    return static_cast<uint32_t>(source());
}

}  // namespace

UdpTransfer::UdpTransfer(std::string host, uint16_t port, uint32_t timeoutMs, int retries)
    : m_host(std::move(host)),
      m_port(port),
      m_timeoutMs(timeoutMs),
      m_retries(std::max(retries, 0)),
      m_sequence(randomSequence()) {}

UdpTransfer::~UdpTransfer() { closeLocked(); }

bool UdpTransfer::isOpen() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_socket >= 0;
}

std::string UdpTransfer::lastError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastError;
}

bool UdpTransfer::openDev() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_socket >= 0) return true;
    uint32_t address = 0;
    if (!resolveIPv4(m_host, address)) {
        m_lastError = "cannot resolve " + m_host;
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        m_lastError = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(m_port);
    peer.sin_addr.s_addr = address;
    // Connected, so the kernel drops datagrams from anyone else and reports a closed port.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) != 0) {
        m_lastError = std::string("connect: ") + std::strerror(errno);
        close(fd);
        return false;
    }
    m_socket = fd;
    return true;
}

void UdpTransfer::closeDev() {
    std::lock_guard<std::mutex> lock(m_mutex);
    closeLocked();
}

void UdpTransfer::closeLocked() {
    if (m_socket < 0) return;
    // Lets the board go at once for the next host; if this is lost, the server's idle time does it.
    uint8_t release[datagram::kHeaderLen];
    datagram::putHeader(release, datagram::kRelease, ++m_sequence);
    (void)send(m_socket, release, sizeof release, 0);
    close(m_socket);
    m_socket = -1;
}

bool UdpTransfer::readData(uint32_t /*channel*/, uint8_t* /*buffer*/, uint32_t /*bufferSize*/, int32_t* length,
                           uint8_t* /*a*/, uint8_t* /*b*/, bool /*flag*/) {
    if (length != nullptr) *length = 0;
    return false;
}

bool UdpTransfer::writeData(const uint8_t* /*data*/, uint32_t /*length*/, uint32_t /*channel*/) { return false; }

bool UdpTransfer::ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                                  bool /*flag*/) {
    return transact(datagram::kRequest, request, requestLen, reply, replyLen);
}

bool UdpTransfer::ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                                   bool /*flag*/) {
    return transact(datagram::kFrame, frame, frameLen, reply, replyLen);
}

bool UdpTransfer::transact(uint8_t kind, const uint8_t* payload, uint32_t length, uint8_t* reply, uint32_t* replyLen) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_socket < 0) {
        m_lastError = "not open";
        return false;
    }
    if ((payload == nullptr && length != 0) || length > datagram::kMaxPayload) {
        m_lastError = "request does not fit a datagram";
        return false;
    }
    const uint32_t sequence = ++m_sequence;
    uint8_t out[datagram::kMaxDatagram];
    datagram::putHeader(out, kind, sequence);
    if (length != 0) std::memcpy(out + datagram::kHeaderLen, payload, length);
    const size_t size = datagram::kHeaderLen + length;

    for (int attempt = 0; attempt <= m_retries; ++attempt) {
        if (attempt > 0) ++m_resends;
        const ssize_t sent = send(m_socket, out, size, 0);
        if (sent != static_cast<ssize_t>(size)) {
            // Typically a closed port reported by an earlier datagram; the next try may pass.
            m_lastError = std::string("send: ") + std::strerror(errno);
            continue;
        }
        switch (awaitReply(kind, sequence, reply, replyLen)) {
            case Outcome::kAnswered:
                return true;
            case Outcome::kRefused:
                m_lastError = "the board gave no answer";
                return false;
            case Outcome::kBusy:
                return false;
            case Outcome::kNoAnswer:
                break;
        }
    }
    return false;
}

UdpTransfer::Outcome UdpTransfer::awaitReply(uint8_t kind, uint32_t sequence, uint8_t* reply, uint32_t* replyLen) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    uint8_t in[datagram::kMaxDatagram];
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{m_socket, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        const ssize_t got = recv(m_socket, in, sizeof(in), 0);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            m_lastError = std::string("recv: ") + std::strerror(errno);
            return Outcome::kNoAnswer;
        }
        datagram::Header header;
        if (!datagram::readHeader(in, static_cast<uint32_t>(got), header) || header.sequence != sequence) {
            ++m_stale;
            continue;
        }
        if (header.kind == (kind | datagram::kRefused)) return Outcome::kRefused;
        if (header.kind == (kind | datagram::kBusy)) {
            m_lastError = "board busy: " + std::string(reinterpret_cast<const char*>(in + datagram::kHeaderLen),
                                                       static_cast<size_t>(got) - datagram::kHeaderLen);
            return Outcome::kBusy;
        }
        if (header.kind != (kind | datagram::kAnswered)) {
            ++m_stale;
            continue;
        }
        const uint32_t bytes = static_cast<uint32_t>(got) - datagram::kHeaderLen;
        if (replyLen != nullptr) {
            const uint32_t n = reply != nullptr ? std::min(*replyLen, bytes) : 0;
            if (n > 0) std::memcpy(reply, in + datagram::kHeaderLen, n);
            *replyLen = n;
        }
        return Outcome::kAnswered;
    }
    m_lastError = "no reply in time";
    return Outcome::kNoAnswer;
}

}  // namespace net
