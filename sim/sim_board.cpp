#include "executor/sim/sim_board.h"

#include <algorithm>
#include <cstring>

#include "sim_model.h"

namespace sim {

SimBoard::SimBoard(const SimConfig& config) : m_model(std::make_unique<SimModel>(config)) {}

SimBoard::~SimBoard() = default;

bool SimBoard::exchange(const uint8_t* request, uint32_t length, uint8_t* reply, uint32_t* replyLength) {
    std::lock_guard<std::mutex> lock(m_mutex);
    SimModel& m = *m_model;
    const int number = ++m.exchangeCount;
    if (number == m.faults.failExchange) return false;
    if (request == nullptr || reply == nullptr || replyLength == nullptr) return false;
    Bytes answer = m.personality().answer(m, Bytes(request, request + length));
    if (answer.empty() || number == m.faults.dropReply) return false;
    if (number == m.faults.corruptReply) {
        for (size_t i = 2; i < answer.size(); ++i) answer[i] = static_cast<uint8_t>(answer[i] ^ 0xA5);
    }
    const uint32_t n = std::min<uint32_t>(*replyLength, static_cast<uint32_t>(answer.size()));
    std::memcpy(reply, answer.data(), n);
    *replyLength = n;
    return true;
}

bool SimBoard::deliverFrame(const uint8_t* frame, uint32_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    SimModel& m = *m_model;
    const int number = ++m.exchangeCount;
    if (number == m.faults.failExchange || frame == nullptr) return false;
    return m.receiveFrame(Bytes(frame, frame + length)) && number != m.faults.dropReply;
}

bool SimBoard::runOfflineProgram() {
    std::lock_guard<std::mutex> lock(m_mutex);
    SimModel& m = *m_model;
    // The stored program ends where erased flash begins.
    std::vector<Bytes> packets = m.personality().split(m, m.flash);
    auto end = std::find_if(packets.begin(), packets.end(),
                            [](const Bytes& p) { return p.size() < 2 || (p[0] == 0xFF && p[1] == 0xFF); });
    if (end == packets.begin()) return false;
    for (auto it = packets.begin(); it != end; ++it) m.personality().execute(m, *it);
    return true;
}

const SimConfig& SimBoard::config() const { return m_model->config; }

Faults& SimBoard::faults() { return m_model->faults; }

Trace SimBoard::trace() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->trace;
}

void SimBoard::clearTrace() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->trace.clear();
}

BoardErrors SimBoard::errors() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->errors;
}

uint64_t SimBoard::clock() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->clock;
}

int SimBoard::exchanges() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->exchangeCount;
}

int32_t SimBoard::x() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->x;
}

int32_t SimBoard::y() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->y;
}

LaserState SimBoard::laser() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->laser;
}

uint32_t SimBoard::outputs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->outputs;
}

void SimBoard::setInputs(uint32_t inputs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model->inputs = inputs;
}

std::string SimBoard::eepromBytes(uint32_t address, uint32_t length) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto& e = m_model->eeprom;
    if (address >= e.size()) return std::string();
    const uint32_t n = std::min<uint32_t>(length, static_cast<uint32_t>(e.size()) - address);
    return std::string(e.begin() + address, e.begin() + address + n);
}

}  // namespace sim
