#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "executor/transfer/transfer.h"

namespace net {

// An IPv4 host name or dotted address; address receives it in network byte order.
bool resolveIPv4(const std::string& host, uint32_t& address);

// A transport to one board over UDP (IPv4), as a network link: the executor binds with the
// addresses of its DevPar and sends 1464-byte frames.
//
// Each request waits up to timeoutMs for its reply and is sent again, with the same sequence
// number, up to retries more times; replies with another sequence number are stale and skipped.
// A host whose port is closed (ICMP port unreachable) fails each try at once, so a call without
// a board behind it ends after the retries without waiting out the timeouts.
//
// A board that belongs to another host answers "busy": the call fails at once and lastError says
// "board busy: bound to ADDRESS:PORT". Closing the transport lets the board go for the next host.
//
// There is no user port over UDP: readData and writeData return false.
//
// Safe for two host threads (a stop from one while another streams): an exchange, the request
// with all its retries and the wait for its reply, holds one mutex, so one thread never takes
// the other's reply for a stale one. Opening and closing hold it too; the counters and
// lastError may be read from any thread.
class UdpTransfer : public Transfer {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 200;
    static constexpr int kDefaultRetries = 5;

    UdpTransfer(std::string host, uint16_t port, uint32_t timeoutMs = kDefaultTimeoutMs, int retries = kDefaultRetries);
    ~UdpTransfer() override;
    UdpTransfer(const UdpTransfer&) = delete;
    UdpTransfer& operator=(const UdpTransfer&) = delete;

    bool isOpen() override;
    bool openDev() override;
    void closeDev() override;
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override;
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override;
    bool isVirtual() override { return false; }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override;
    int32_t getLinkType() override { return 0; }
    bool isDirectLink() override { return false; }
    bool isNetLink() override { return true; }
    bool isFastLink() override { return false; }
    void setLinkMode(bool /*a*/, bool /*b*/) override {}

    // Datagrams sent again after a timeout, and replies skipped as stale, since construction.
    uint64_t resends() const { return m_resends; }
    uint64_t staleReplies() const { return m_stale; }
    // Why the last open or exchange failed.
    std::string lastError() const;

private:
    enum class Outcome { kAnswered, kRefused, kBusy, kNoAnswer };

    bool transact(uint8_t kind, const uint8_t* payload, uint32_t length, uint8_t* reply, uint32_t* replyLen);
    Outcome awaitReply(uint8_t kind, uint32_t sequence, uint8_t* reply, uint32_t* replyLen);

    void closeLocked();

    const std::string m_host;
    const uint16_t m_port;
    const uint32_t m_timeoutMs;
    const int m_retries;
    mutable std::mutex m_mutex;  // guards everything below but the counters
    int m_socket = -1;
    uint32_t m_sequence;
    std::string m_lastError;
    std::atomic<uint64_t> m_resends{0};
    std::atomic<uint64_t> m_stale{0};
};

}  // namespace net
