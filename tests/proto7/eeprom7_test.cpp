#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "cmd/wire.h"
#include "proto7/rows7.h"
#include "support/sim_job.h"

// Parameter memory through the simulated board, whose information block puts the user data area
// at 0x400 (header at + 32, data at + 64) and its last address at 8191. Busy, refused, lost and
// corrupt exchanges run there too, in the simulated board suites; plain refusals in the input
// limit suite.

namespace {

struct Memory : sim_job::SimRig {
    Memory() : SimRig(BOARD_PROTOCOL_7) {
        uint32_t addr = 0, size = 0;
        EXPECT_TRUE(init() == SDK_OK && executor->getUserRamInfo(addr, size) && addr == 0x440);
    }
    Bytes at(uint32_t addr, uint32_t n) const {
        const std::string s = board.eepromBytes(addr, n);
        return Bytes(s.begin(), s.end());
    }
};

// A board on a fake transport whose every read piece is the 32-byte information block giving this
// area and highest address.
struct Info : Harness {
    Info(uint32_t area, uint32_t highest) {
        Bytes piece = replyWith(38, {{4, 32}});
        wire::put32be(&piece[6], area);
        wire::put32be(&piece[10], highest);
        transfer.answer(op7::kEepromRead, piece);
        uint32_t dataAddr = 0, size = 0;
        EXPECT_TRUE(executor->getUserRamInfo(dataAddr, size) && dataAddr == area + 64);
        transfer.exchanges.clear();
    }
};

}  // namespace

// Pieces of 32 bytes: a piece longer than the rest of the read fills no more than asked for.
TEST(Eeprom7, RawTransfersStayWithinTheLimitAndTheRequest) {
    Memory m;
    Bytes data(192);
    std::iota(data.begin(), data.end(), uint8_t(1));
    ASSERT_TRUE(m.executor->setEepromData(8000, data.data(), 192));  // ends on the limit
    EXPECT_EQ(m.at(8000, 192), data);
    Bytes out(200, 0xCC);
    ASSERT_TRUE(m.executor->getEepromData(8000, out.data(), 192));
    EXPECT_EQ(out, (data.insert(data.end(), 8, 0xCC), data));

    Info board(0, 0x1FFFF);  // a limit beyond the 16-bit addresses
    ASSERT_TRUE(board.executor->getEepromData(0, out.data(), 10));
    // Address 0, count 10 - 1; one piece.
    EXPECT_EQ(board.transfer.requests(), (std::vector<Bytes>{pkt(0xAAD1, {0, 0, 0, 0, 0, 9}), pkt(0xAAD2)}));
    EXPECT_EQ(slice(out, 10, 20), slice(data, 10, 20));
    board.transfer.exchanges.clear();
    EXPECT_TRUE(board.executor->getEepromData(0xFFE0, out.data(), 32));   // ends exactly at 0x10000
    EXPECT_FALSE(board.executor->getEepromData(0xFFE0, out.data(), 33));  // a 33rd byte would come from 0x0000
    EXPECT_FALSE(board.executor->setEepromData(0xFFE0, out.data(), 33));
    EXPECT_EQ(board.transfer.requests().size(), 2u);
}

// 40-byte requests: address, index of the last byte, data from byte 8; the last piece is blank
// after its data, not left from the piece before.
TEST(Eeprom7, WritePieces) {
    Info board(0, 0xFFFF);
    Bytes data(70);
    std::iota(data.begin(), data.end(), uint8_t(1));
    ASSERT_TRUE(board.executor->setEepromData(100, data.data(), 70));
    const auto req = board.transfer.requestsFor(op7::kEepromWrite);
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(slice(req[1], 0, 10), (Bytes{0xAA, 0xD3, 0, 0, 0, 132, 31, 0, 33, 34}));
    EXPECT_EQ(req[2], pkt(0xAAD3, {0, 0, 0, 164, 5, 0, 65, 66, 67, 68, 69, 70}, 40));
}

// CRC-32 "abc" = 352441C2. "123456789" = CBF43926 is stored saturated as 7FFFFFFF, and so is
// "023456789" = DC8F2D65: saturation hides that change. Data go first: a data write that fails
// leaves the old header.
TEST(UserData7, RoundTripWithSaturatedChecksum) {
    for (const auto& [text, crc] :
         {std::pair<std::string, Bytes>{"abc", {0x35, 0x24, 0x41, 0xC2}}, {"123456789", {0x7F, 0xFF, 0xFF, 0xFF}}}) {
        SCOPED_TRACE(text);
        Memory m;
        const Bytes data(text.begin(), text.end());
        const auto n = static_cast<uint32_t>(data.size());
        ASSERT_TRUE(m.executor->writeUserData(data.data(), n));
        EXPECT_EQ(m.at(0x420, 8), (Bytes{0, 0, 0, uint8_t(n), crc[0], crc[1], crc[2], crc[3]}));
        EXPECT_EQ(m.at(0x440, n), data);
        Bytes out(n);
        uint32_t size = 0;
        EXPECT_TRUE(m.executor->getUserDataSize(size) && m.executor->readUserData(out.data(), n));
        EXPECT_EQ(std::make_pair(size, out), std::make_pair(n, data));
        const uint8_t changed = data[0] ^ 1;
        ASSERT_TRUE(m.executor->setEepromData(0x440, &changed, 1));
        EXPECT_EQ(m.executor->readUserData(out.data(), n), n == 9);
        EXPECT_EQ(m.log.contains("EEPROM read data crc fail"), n != 9);
        m.board.faults().failExchange = m.board.exchanges() + 1;
        EXPECT_FALSE(m.executor->writeUserData(out.data(), 2));
        EXPECT_EQ(m.at(0x420, 4), (Bytes{0, 0, 0, uint8_t(n)}));
    }
}

// 4096 bytes at 0 + 64, then 904 at 0 + 4160 (count fields 4095 and 903).
TEST(UserData7, MoreThan4096BytesAreReadInTwoParts) {
    Info board(0, 0xFFFF);
    Bytes out(5000);
    EXPECT_FALSE(board.executor->readUserData(out.data(), 5000));  // every piece is the information block
    const auto pre = board.transfer.requestsFor(op7::kEepromPreRead);
    ASSERT_EQ(pre.size(), 2u);
    EXPECT_EQ(slice(pre[0], 4, 4), (Bytes{0x00, 0x40, 0x0F, 0xFF}));
    EXPECT_EQ(slice(pre[1], 4, 4), (Bytes{0x10, 0x40, 0x03, 0x87}));
}

// 65535 fits 16 bits, but 64 + 65535 runs past 0xFFFF even from area 0; a header at 0xFFF0 + 32
// would wrap onto the information block.
TEST(UserData7, BlocksPastSixteenBitAddressesAreRefusedWithoutTraffic) {
    Bytes buf(65535);
    for (uint32_t area : {0u, 0xFFF0u}) {
        Info board(area, 0xFFFF);
        uint32_t size = 0;
        EXPECT_FALSE(board.executor->writeUserData(buf.data(), area == 0 ? 65535 : 1));
        EXPECT_TRUE(board.log.contains("EEPROM user data address too big"));
        EXPECT_EQ(board.executor->getUserDataSize(size), area == 0);
        EXPECT_EQ(board.transfer.requests().size(), area == 0 ? 2u : 0u);  // the header read
    }
}
