#pragma once
// The board a subcommand talks to: a simulated board in process (sim7, sim5) or a board behind
// UDP (udp://HOST:PORT, e.g. an executor-sim), connected and bound through an executor, or only
// attached to look at it.

#include <cstdint>
#include <memory>
#include <string>

#include "executor/executor.h"
#include "executor/net/udp_transfer.h"
#include "executor/sim/sim_board.h"

namespace cli {

struct BoardOptions {
    std::string address = "sim7";  // sim7, sim5 or udp://HOST:PORT
    uint32_t timeoutMs = net::UdpTransfer::kDefaultTimeoutMs;
    int retries = net::UdpTransfer::kDefaultRetries;
};

class BoardConnection {
public:
    // Connects: finds the protocol of a UDP board, then init (binding included). Throws
    // CliError(kExitUsage) for an address it cannot read, CliError(kExitBoard) when the board does
    // not answer or refuses.
    // attach: only look, for status, probe and reads: no init, so the board is not reset and its
    // counters and any running job are left alone.
    explicit BoardConnection(const BoardOptions& options, bool attach = false);
    ~BoardConnection();
    BoardConnection(const BoardConnection&) = delete;
    BoardConnection& operator=(const BoardConnection&) = delete;

    Executor& executor() { return *m_executor; }
    // The board itself when it runs in this process, else null.
    sim::SimBoard* simBoard() { return m_simBoard.get(); }
    BOARD_PROTOCOL protocol() const { return m_protocol; }
    // As the user wrote it, e.g. "sim7" or "udp://127.0.0.1:5000".
    const std::string& name() const { return m_name; }
    // Why the last exchange with a UDP board failed, or empty.
    std::string linkError() const;

    // The transport the executor was given.
    Transfer& link() { return *m_link; }
    // Unbinds and closes; false when the board did not take it. Done by the destructor otherwise.
    bool disconnect();

private:
    std::string m_name;
    BOARD_PROTOCOL m_protocol = BOARD_PROTOCOL_7;
    std::unique_ptr<sim::SimBoard> m_simBoard;
    std::unique_ptr<Transfer> m_link;  // the transport to the board itself
    std::unique_ptr<Executor> m_executor;
    bool m_connected = false;
};

// The protocol 5 or 7 board of a sim address, or false for anything else.
bool simProtocol(const std::string& address, BOARD_PROTOCOL& protocol);

}  // namespace cli
