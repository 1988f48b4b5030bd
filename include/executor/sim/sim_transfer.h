#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "executor/sim/sim_board.h"
#include "executor/transfer/transfer.h"

namespace sim {

// A transport to a simulated board in the same process. As a direct link it needs no binding
// and uses small frames; as a network link it binds and uses network frames. Safe for two host
// threads: one mutex guards every call, the board's exchange included.
class SimTransfer : public Transfer {
public:
    explicit SimTransfer(SimBoard& board, bool networkLink = false) : m_board(board), m_network(networkLink) {}

    bool isOpen() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_open;
    }
    bool openDev() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        return true;
    }
    void closeDev() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
    }
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override;
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override;
    bool isVirtual() override { return false; }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override;
    int32_t getLinkType() override { return 0; }
    bool isDirectLink() override { return !m_network; }
    bool isNetLink() override { return m_network; }
    bool isFastLink() override { return false; }
    void setLinkMode(bool a, bool b) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_linkMode = std::make_pair(a, b);
    }

    SimBoard& board() { return m_board; }

private:
    SimBoard& m_board;
    const bool m_network;
    std::mutex m_mutex;  // guards everything below
    bool m_open = false;
    std::pair<bool, bool> m_linkMode{false, false};
    std::vector<uint8_t> m_userPort;  // what the host wrote, read back by the host
};

}  // namespace sim
