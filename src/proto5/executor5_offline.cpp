#include <algorithm>
#include <vector>

#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "proto5/executor5.h"
#include "proto5/opcodes5.h"

namespace {

constexpr size_t kDocEntries = 8;
constexpr uint32_t kLastSector = 0x7FF000;
constexpr uint32_t kLastPage = 0x7FFF00;
constexpr uint8_t kEraseSector = 0x20;
constexpr uint8_t kWritePage = 0x02;
// These boards keep a fixed 1 MiB of offline program memory.
constexpr uint32_t kOfflineRam = 0x100000;
constexpr uint32_t kPageCacheBytes = 0x10000;
constexpr uint32_t kNarrowUnit = 12;
constexpr uint32_t kWideUnit = 16;

std::unique_ptr<KestCmd> listPacket(uint16_t opcode) { return makeImmediatePacket(opcode, op5::kPacketLen); }

}  // namespace

bool Executor5::getOfflineCmdSize(uint32_t& size) {
    // The board stores every command in a fixed unit, whatever its length on the wire.
    const uint32_t unit = m_sysInfo.wideOfflineCmd ? kWideUnit : kNarrowUnit;
    size = static_cast<uint32_t>(m_offlineCmdList.size()) * unit;
    return true;
}

bool Executor5::getOfflineRamSize(uint32_t& size) {
    size = kOfflineRam;
    return true;
}

void Executor5::modifyOfflineAddr(KestCmd* cmd, std::vector<uint32_t> addrs) {
    if (cmd == nullptr || addrs.size() != kDocEntries || cmd->m_cmd < op5::kOfflineParam ||
        cmd->m_cmd > op5::kOfflineParamLast)
        return;
    const auto k = static_cast<size_t>(cmd->m_cmd - op5::kOfflineParam);
    PacketWriter(*cmd).be24(3, addrs[2 * k] >> 1).be24(7, addrs[2 * k + 1] >> 1);
}

bool Executor5::setOfflineClearFile(uint32_t addr) {
    if (addr % 4096 != 0 || addr > kLastSector) return false;
    Reply reply;
    auto cmd = makeImmediatePacket(op5::kOfflineClearFile);
    PacketWriter(*cmd).u8(2, kEraseSector).be24(3, addr);
    return exchange(m_transfer, *cmd, reply);
}

bool Executor5::setOfflineWriteOnePage(uint16_t /*pageCount*/, uint16_t /*pageNo*/, uint32_t addr, const uint8_t* data,
                                       uint16_t len) {
    if ((addr & 0xFF) != 0 || (len & 0xFF) != 0 || addr > kLastPage) return false;
    if (data == nullptr && len != 0) return false;
    auto cmd = makeImmediatePacket(op5::kOfflineWritePage, static_cast<uint16_t>(len + 12));
    PacketWriter(*cmd).u8(2, kWritePage).be24(3, addr).bytes(12, data, len);
    waitForEnoughCache(kPageCacheBytes);
    Reply reply;
    return exchange(m_transfer, *cmd, reply, false);
}

void Executor5::sendOfflineParam(std::vector<OfflineParam> params) {
    OfflineParam table[kDocEntries];
    std::copy_n(params.begin(), std::min(params.size(), kDocEntries), table);
    for (uint16_t k = 0; k < 4; ++k) {
        auto cmd = listPacket(static_cast<uint16_t>(op5::kOfflineParam + k));
        PacketWriter(*cmd)
            .u8(2, static_cast<uint8_t>(table[2 * k].m_value))
            .be24(3, table[2 * k].m_addr / 2)
            .u8(6, static_cast<uint8_t>(table[2 * k + 1].m_value))
            .be24(7, table[2 * k + 1].m_addr / 2);
        enqueue(*this, std::move(cmd));
    }
    getOfflineCmdSize(m_offlineBlock);
}

void Executor5::sendOfflineBlock(uint16_t block, uint32_t value, bool flag) {
    auto cmd = listPacket(op5::kOfflineBlock);
    PacketWriter(*cmd).be16(2, block).u8(4, static_cast<uint8_t>(value)).bit(5, 0, flag);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendSramBack() {
    auto cmd = listPacket(op5::kSramBack);
    PacketWriter(*cmd).be24(3, m_offlineBlock / 2);
    enqueue(*this, std::move(cmd));
}
