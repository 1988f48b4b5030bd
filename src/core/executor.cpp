#include "executor/core/executor.h"

#include <new>

#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/identity_opcodes.h"
#include "executor/proto7/executor7.h"
#include "proto5/executor5.h"

namespace {

constexpr uint32_t kDefaultSramMaxSize = 0x100000;
constexpr uint32_t kDefaultEepromLimit = 8192;

}  // namespace

Executor::Executor(int32_t protVer)
    : m_stopRun(true),
      m_valid(false),
      m_enable(false),
      m_offlineMode(false),
      m_reMark(false),
      m_boardType(BOARD_TYPE_UNKNOWN),
      m_boardTypeSub(BOARD_TYPE_SUB_UNKNOWN),
      m_mopaState(0),
      m_markCountBase(0),
      m_offlineBlock(0),
      m_transfer(nullptr),
      m_frameSize(0),
      m_bufferSize(0),
      m_sramMaxSize(kDefaultSramMaxSize),
      m_protVer(protVer),
      m_userDataAddr(0),
      m_eepromLimit(kDefaultEepromLimit),
      m_userDataSize(0),
      m_userDataCrc(0) {}

Executor::~Executor() = default;

Executor* Executor::create(BOARD_TYPE /*type*/, BOARD_PROTOCOL protocol) {
    switch (protocol) {
        case BOARD_PROTOCOL_5:
            return new (std::nothrow) Executor5();
        case BOARD_PROTOCOL_7:
            return new (std::nothrow) Executor7();
        default:
            return nullptr;
    }
}

bool Executor::getProtocol(Transfer* transfer, BOARD_PROTOCOL& protocol) {
    if (transfer == nullptr) return false;
    if (!transfer->isOpen() && !transfer->openDev()) return false;
    transfer->setLinkMode(false, false);

    Reply reply;
    bool ok;
    {
        auto probe = makeImmediatePacket(identity::kProbe);
        ok = exchange(transfer, *probe, reply, false);
    }
    if (!ok) return false;

    // A protocol 5 board echoes the probe's opcode; anything else is a protocol 7 board.
    protocol = reply.be16(0) == identity::kProbe ? BOARD_PROTOCOL_5 : BOARD_PROTOCOL_7;
    const bool proto7 = protocol == BOARD_PROTOCOL_7;
    transfer->setLinkMode(transfer->isNetLink() || proto7, proto7);
    return true;
}

void Executor::setTransfer(Transfer* transfer) {
    m_transfer = transfer;
    setValid(true);
    setEnable(true);
}

void Executor::setBufferSize(uint32_t size) { m_bufferSize = size; }

void Executor::setSRamMaxSize(uint32_t size) { m_sramMaxSize = size; }

void Executor::setEnable(bool enable) { m_enable = enable; }

bool Executor::isEnable() { return isValid() && m_enable; }

int32_t Executor::getProtVer() { return m_protVer; }

bool Executor::isVirtual() { return m_transfer != nullptr && m_transfer->isVirtual(); }

void Executor::setValid(bool valid) { m_valid = valid; }

bool Executor::isValid() { return m_valid && m_transfer != nullptr; }
