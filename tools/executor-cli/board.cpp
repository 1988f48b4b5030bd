#include "board.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cli_error.h"
#include "executor/sim/sim_transfer.h"

namespace cli {

namespace {

constexpr const char* kUdpScheme = "udp://";
// This host's hardware address as the board records its owner; any fixed value serves.
constexpr const char* kHostMac = "02-00-00-00-00-01";

struct UdpAddress {
    std::string host;
    uint16_t port = 0;
};

bool parseUdpAddress(const std::string& address, UdpAddress& out) {
    if (address.rfind(kUdpScheme, 0) != 0) return false;
    const std::string rest = address.substr(std::char_traits<char>::length(kUdpScheme));
    const size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    const std::string port = rest.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long value = std::strtoul(port.c_str(), nullptr, 10);
    if (value == 0 || value > 65535) return false;
    out.host = rest.substr(0, colon);
    out.port = static_cast<uint16_t>(value);
    return true;
}

// The address this host sends from to reach the board: the board binds to it.
std::string localAddressTowards(const std::string& host, uint16_t port) {
    std::string local = "127.0.0.1";
    uint32_t address = 0;
    if (!net::resolveIPv4(host, address)) return local;
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return local;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    sockaddr_in self{};
    socklen_t length = sizeof(self);
    char text[INET_ADDRSTRLEN] = {};
    // Connecting a datagram socket sends nothing; it only picks the route.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&self), &length) == 0 &&
        inet_ntop(AF_INET, &self.sin_addr, text, sizeof(text)) != nullptr)
        local = text;
    close(fd);
    return local;
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", value);
    return text;
}

}  // namespace

bool simProtocol(const std::string& address, BOARD_PROTOCOL& protocol) {
    if (address == "sim7")
        protocol = BOARD_PROTOCOL_7;
    else if (address == "sim5")
        protocol = BOARD_PROTOCOL_5;
    else
        return false;
    return true;
}

BoardConnection::BoardConnection(const BoardOptions& options, bool attach) : m_name(options.address) {
    DevPar par;
    par.m_mac = kHostMac;
    UdpAddress udp;
    if (simProtocol(options.address, m_protocol)) {
        sim::SimConfig config;
        config.protocol = m_protocol;
        m_simBoard = std::make_unique<sim::SimBoard>(config);
        m_link = std::make_unique<sim::SimTransfer>(*m_simBoard);
    } else if (parseUdpAddress(options.address, udp)) {
        auto link = std::make_unique<net::UdpTransfer>(udp.host, udp.port, options.timeoutMs, options.retries);
        if (!Executor::getProtocol(link.get(), m_protocol)) {
            const std::string reason = link->lastError().empty() ? "no answer" : link->lastError();
            if (reason.rfind("board busy", 0) == 0) throw CliError(kExitBoard, about(m_name, reason));
            throw CliError(kExitBoard, about(m_name, "board unreachable (" + reason + ")"));
        }
        par.m_localIp = localAddressTowards(udp.host, udp.port);
        m_link = std::move(link);
    } else {
        throw CliError(kExitUsage, about(m_name, "unknown board (sim7, sim5 or udp://HOST:PORT)"));
    }

    m_executor.reset(Executor::create(BOARD_TYPE_PROTOCOL7, m_protocol));
    m_executor->setTransfer(m_link.get());
    if (attach) {
        if (!m_link->isOpen() && !m_link->openDev())
            throw CliError(kExitBoard, about(m_name, "board unreachable (" + linkError() + ")"));
        return;
    }
    const SdkError result = m_executor->init(par, false, false);
    if (result != SDK_OK) {
        const std::string reason = linkError();
        if (reason.rfind("board busy", 0) == 0) throw CliError(kExitBoard, about(m_name, reason));
        if (result == SDK_NOT_ENABLED && m_executor->getBoardMode() == BOARD_MODE_FACTORY)
            throw CliError(kExitBoard, about(m_name,
                                             "board is in boot mode: its marking program is not running "
                                             "(restart the board)"));
        throw CliError(kExitBoard, about(m_name, "board refused the connection (error " + hex(result) +
                                                     (reason.empty() ? "" : ", " + reason) + ")"));
    }
    m_connected = true;
}

BoardConnection::~BoardConnection() { disconnect(); }

std::string BoardConnection::linkError() const {
    const auto* udp = dynamic_cast<const net::UdpTransfer*>(m_link.get());
    return udp != nullptr ? udp->lastError() : std::string();
}

bool BoardConnection::disconnect() {
    if (!m_connected) return true;
    m_connected = false;
    return m_executor->unInit();
}

}  // namespace cli
