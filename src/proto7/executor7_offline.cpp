#include <algorithm>
#include <vector>

#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

constexpr size_t kDocEntries = 8;
constexpr uint32_t kLastSector = 0x7FF000;
constexpr uint32_t kLastPage = 0x7FFF00;
constexpr uint8_t kEraseSector = 0x20;
// Room the board needs before a flash page may follow the list.
constexpr uint32_t kPageCacheBytes = 0x10000;

bool isDocumentPacket(const KestCmd& cmd) {
    return cmd.m_cmd >= op7::kOfflineParam.opcode && cmd.m_cmd <= op7::kOfflineParamLast;
}

void queuePlain(Executor& e, const op7::ListOp& op, std::initializer_list<uint32_t> leWords) {
    auto cmd = makeListPacket(op);
    PacketWriter w(*cmd);
    int offset = 4;
    for (uint32_t word : leWords) {
        w.le32(offset, word);
        offset += 4;
    }
    enqueue(e, std::move(cmd));
}

}  // namespace

bool Executor7::getOfflineCmdSize(uint32_t& size) {
    size = m_offlineCmdList.totalBytes();
    return true;
}

bool Executor7::getOfflineRamSize(uint32_t& size) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kOfflineRamSize);
    if (!exchangeAccepted(m_transfer, *cmd, reply)) return false;
    size = reply.be32(4);
    return true;
}

void Executor7::modifyOfflineAddr(KestCmd* cmd, std::vector<uint32_t> addrs) {
    if (cmd == nullptr || addrs.size() != kDocEntries || !isDocumentPacket(*cmd)) return;
    const auto k = static_cast<size_t>(cmd->m_cmd - op7::kOfflineParam.opcode);
    // Byte positions in the image become 16-bit word addresses.
    PacketWriter(*cmd).be32(8, addrs[2 * k] >> 1).be32(16, addrs[2 * k + 1] >> 1);
}

bool Executor7::setOfflineClearFile(uint32_t addr) {
    if (addr % 4096 != 0 || addr > kLastSector) return false;
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kOfflineClearFile);
    PacketWriter(*cmd).u8(4, kEraseSector).be24(5, addr);
    return exchangeAccepted(m_transfer, *cmd, reply);
}

bool Executor7::setOfflineWriteOnePage(uint16_t pageCount, uint16_t pageNo, uint32_t addr, const uint8_t* data,
                                       uint16_t len) {
    if ((addr & 0xFF) != 0 || (len & 0xFF) != 0 || addr > kLastPage) return false;
    if (data == nullptr && len != 0) return false;
    // The board places the page by its number; the address itself is not sent.
    auto cmd = makeImmediatePacket(op7::kOfflineWritePage, static_cast<uint16_t>(len + 8));
    PacketWriter(*cmd).be16(4, pageCount).be16(6, pageNo).bytes(8, data, len);
    waitForEnoughCache(kPageCacheBytes);
    Reply reply;
    return exchange(m_transfer, *cmd, reply, false);
}

void Executor7::sendOfflineParam(std::vector<OfflineParam> params) {
    OfflineParam table[kDocEntries];
    std::copy_n(params.begin(), std::min(params.size(), kDocEntries), table);
    for (uint16_t k = 0; k < 4; ++k) {
        auto cmd = makeListPacket(static_cast<uint16_t>(op7::kOfflineParam.opcode + k), op7::kOfflineParam.length);
        PacketWriter(*cmd)
            .le32(4, table[2 * k].m_value)
            .be32(8, table[2 * k].m_addr / 2)
            .le32(12, table[2 * k + 1].m_value)
            .be32(16, table[2 * k + 1].m_addr / 2);
        enqueue(*this, std::move(cmd));
    }
    getOfflineCmdSize(m_offlineBlock);
}

void Executor7::sendOfflineBlock(uint16_t block, uint32_t value, bool flag) {
    auto cmd = makeListPacket(op7::kOfflineBlock);
    PacketWriter(*cmd).le32(4, value).be16(8, block).bit(10, 0, flag);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendOfflineStopIo(uint32_t io1, uint32_t io2) { queuePlain(*this, op7::kOfflineStopIo, {io1, io2}); }

void Executor7::sendOfflineWarnIo(uint32_t io1, uint32_t io2, uint32_t io3, uint32_t io4) {
    queuePlain(*this, op7::kOfflineWarnIo, {io1, io2, io3, io4});
}

void Executor7::sendSramBack() {
    auto cmd = makeListPacket(op7::kSramBack);
    PacketWriter(*cmd).be32(4, m_offlineBlock / 2);
    enqueue(*this, std::move(cmd));
}
