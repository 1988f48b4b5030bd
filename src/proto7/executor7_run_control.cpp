#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

// One 12-byte command, judged by the board's status byte.
bool runCommand(Transfer* transfer, uint16_t opcode, uint16_t param1 = 0) {
    Reply reply;
    auto cmd = makeImmediatePacket(opcode);
    cmd->setParam1(param1);
    return exchangeAccepted(transfer, *cmd, reply);
}

// The pause and online commands carry their value in byte 2 alone.
constexpr uint16_t kByte2(uint8_t value) { return static_cast<uint16_t>(value << 8); }

}  // namespace

bool Executor7::setReset() {
    if (!runCommand(m_transfer, op7::kRunState, op7::kRunStateReset)) return false;
    m_stopRun = true;
    return true;
}

bool Executor7::setReady() {
    if (!runCommand(m_transfer, op7::kRunState, op7::kRunStateReady)) return false;
    m_stopRun = false;
    return true;
}

bool Executor7::setRun() {
    if (!runCommand(m_transfer, op7::kRunState, op7::kRunStateRun)) return false;
    m_stopRun = false;
    return true;
}

bool Executor7::setPauseMark() { return runCommand(m_transfer, op7::kPauseResume, kByte2(0x05)); }

bool Executor7::setResumeMark() { return runCommand(m_transfer, op7::kPauseResume); }

bool Executor7::setDevOffline() { return runCommand(m_transfer, op7::kOnlineOffline, kByte2(0x01)); }

bool Executor7::setDevOnline() { return runCommand(m_transfer, op7::kOnlineOffline); }

bool Executor7::setClearCache() {
    // Nothing to drop while commands go to the offline list or a re-mark is open.
    if (m_offlineMode || m_reMark) return true;
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kClearCache);
    return exchange(m_transfer, *cmd, reply);
}

bool Executor7::setSoftTiggerMark() { return runCommand(m_transfer, op7::kSoftTrigger); }

void Executor7::setResetCount() {
    runCommand(m_transfer, op7::kResetCount);
    m_devState.markCount = 0;
}

bool Executor7::setLedStatus(uint8_t status) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kLedStatus);
    PacketWriter(*cmd).u8(4, status);
    return exchangeAccepted(m_transfer, *cmd, reply);
}

bool Executor7::setBootMode() { return runCommand(m_transfer, op7::kBootMode); }

bool Executor7::setAppMode() { return runCommand(m_transfer, op7::kAppMode); }

void Executor7::sendCountOnce() { enqueue(*this, makeListPacket(op7::kCountOnce)); }
