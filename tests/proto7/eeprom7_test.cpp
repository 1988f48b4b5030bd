#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cmd/wire.h"
#include "proto7/rows7.h"

// Busy, refused, lost and corrupt exchanges and the plain refusals are run through the simulated
// board and the input limit suites; here the byte layout, the bounds and the checksum.

namespace {

Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
    return b;
}

size_t be16At(const Bytes& b, size_t i) { return static_cast<size_t>(b[i] << 8 | b[i + 1]); }

bool take(int& count) { return count > 0 && count-- > 0; }

int levelOf(const LogRecorder& log, const std::string& line) {
    for (const auto& e : log.entries)
        if (e.line == line) return e.level;
    return -1;
}

// A running executor with 64 KiB of parameter memory behind the three commands. busyWrites makes
// the next writes busy; extra hands out bytes beyond the announced count.
struct Rig : Running7 {
    Rig() {
        transfer.answer(op7::kEepromWrite, [this](const Bytes& r) {
            if (take(busyWrites)) return replyWith(8, {{4, 1}});
            for (size_t i = 0; i <= r[6]; ++i) memory[(be16At(r, 4) + i) & 0xFFFF] = r[8 + i];
            return replyWith(8, {});
        });
        transfer.answer(op7::kEepromPreRead, [this](const Bytes& r) {
            at = be16At(r, 4);
            left = be16At(r, 6) + 1;
            return replyWith(8, {});
        });
        transfer.answer(op7::kEepromRead, [this](const Bytes&) {
            const size_t n = std::min<size_t>(32, left + extra);
            Bytes reply = replyWith(6, {{4, static_cast<uint8_t>(n)}});
            for (size_t i = 0; i < n; ++i, ++at) reply.push_back(memory[at & 0xFFFF]);
            left -= std::min(n, left);
            return reply;
        });
    }
    // The information block: where user data go and the highest address; returns the data address.
    uint32_t info(uint32_t area, uint32_t highest) {
        wire::put32be(memory.data(), area);
        wire::put32be(memory.data() + 4, highest);
        uint32_t dataAddr = 0, size = 0;
        EXPECT_TRUE(executor->getUserRamInfo(dataAddr, size));
        EXPECT_EQ(size, highest);
        transfer.exchanges.clear();
        return dataAddr;
    }

    Bytes memory = Bytes(0x10000, 0);
    int busyWrites = 0;
    size_t extra = 0, at = 0, left = 0;
};

}  // namespace

TEST(Eeprom7, WriteInPiecesOf32AndReadAfterAPreRead) {
    Rig r;
    r.busyWrites = 1;
    const Bytes data = pattern(70);
    ASSERT_TRUE(r.executor->setEepromData(100, data.data(), 70));
    // 40-byte requests: address, index of the last byte, data from byte 8; a busy piece is repeated.
    const auto req = r.transfer.requestsFor(op7::kEepromWrite);
    ASSERT_EQ(req.size(), 4u);
    EXPECT_EQ(req[0], req[1]);
    EXPECT_EQ(slice(req[2], 0, 8), (Bytes{0xAA, 0xD3, 0, 0, 0, 132, 31, 0}));
    // data[64..69], blank after the data, not left from the piece before
    EXPECT_EQ(req[3], pkt(0xAAD3, {0, 0, 0, 164, 5, 0, 0xC1, 0xC8, 0xCF, 0xD6, 0xDD, 0xE4}, 40));
    EXPECT_EQ(slice(r.memory, 100, 70), data);

    r.transfer.exchanges.clear();
    r.extra = 22;  // the last piece hands out 28 bytes more than asked for
    Bytes out(72, 0xCC);
    ASSERT_TRUE(r.executor->getEepromData(100, out.data(), 70));
    EXPECT_EQ(slice(out, 0, 70), data);
    EXPECT_EQ(slice(out, 70, 2), Bytes(2, 0xCC));
    // Address 100 = 0x64, count 70 - 1 = 0x45; then three pieces: 32 + 32 + 6.
    EXPECT_EQ(r.transfer.requests(),
              (std::vector<Bytes>{pkt(0xAAD1, {0, 0, 0x00, 0x64, 0x00, 0x45}), pkt(0xAAD2), pkt(0xAAD2), pkt(0xAAD2)}));

    // Size 0 only pre-reads (count field 0xFFFF) and fails.
    r.transfer.exchanges.clear();
    EXPECT_FALSE(r.executor->getEepromData(10, out.data(), 0));
    EXPECT_EQ(r.transfer.requests(), std::vector<Bytes>{pkt(0xAAD1, {0, 0, 0, 10, 0xFF, 0xFF})});
}

// The limit is 8192 until the information block moves it; addresses never wrap past 0xFFFF.
TEST(Eeprom7, RangesEndOnTheLimitWithoutWrapping) {
    Rig r;
    Bytes buf(256);
    EXPECT_TRUE(r.executor->setEepromData(8000, buf.data(), 192));
    EXPECT_TRUE(r.executor->getEepromData(8000, buf.data(), 192));
    r.info(0, 0x1FFFF);                                              // limit 0x20000, beyond the 16-bit addresses
    EXPECT_TRUE(r.executor->setEepromData(0xFFE0, buf.data(), 32));  // ends exactly at 0x10000
    r.transfer.exchanges.clear();
    EXPECT_FALSE(r.executor->setEepromData(0xFFE0, buf.data(), 33));  // a 33rd byte would go to 0x0000
    EXPECT_FALSE(r.executor->getEepromData(0xFFE0, buf.data(), 33));
    EXPECT_TRUE(r.transfer.requests().empty());
}

TEST(UserData7, RoundTripWithSaturatedChecksum) {
    struct Case {
        std::string text;
        Bytes crc;
        bool flipSeen;  // after the first byte is changed
    };
    // CRC-32 "abc" = 352441C2, "`bc" = 34E62BF5. "123456789" = CBF43926 is stored saturated as
    // 7FFFFFFF, and so is "023456789" = DC8F2D65: saturation hides that change.
    for (const Case& c :
         {Case{"abc", {0x35, 0x24, 0x41, 0xC2}, true}, Case{"123456789", {0x7F, 0xFF, 0xFF, 0xFF}, false}}) {
        SCOPED_TRACE(c.text);
        Rig r;
        EXPECT_EQ(r.info(0x100, 0x1FFF), 0x140u);  // header at + 32, data at + 64
        const Bytes data(c.text.begin(), c.text.end());
        const auto n = static_cast<uint32_t>(data.size());
        ASSERT_TRUE(r.executor->writeUserData(data.data(), n));
        Bytes header(32, 0);
        header[3] = static_cast<uint8_t>(n);
        std::copy(c.crc.begin(), c.crc.end(), header.begin() + 4);
        EXPECT_EQ(slice(r.memory, 0x120, 32), header);
        EXPECT_EQ(slice(r.memory, 0x140, n), data);

        uint32_t size = 0;
        ASSERT_TRUE(r.executor->getUserDataSize(size));
        EXPECT_EQ(size, n);
        Bytes out(n);
        EXPECT_TRUE(r.executor->readUserData(out.data(), n));
        EXPECT_EQ(out, data);
        EXPECT_EQ(levelOf(r.log, "EEPROM read data crc OK"), Logger::kError);
        r.memory[0x140] ^= 1;
        EXPECT_EQ(r.executor->readUserData(out.data(), n), !c.flipSeen);
        EXPECT_EQ(levelOf(r.log, "EEPROM read data crc fail"), c.flipSeen ? Logger::kError : -1);

        // Data go first: a failed data write leaves the old header.
        r.transfer.failOpcode(op7::kEepromWrite);
        EXPECT_FALSE(r.executor->writeUserData(out.data(), 2));
        EXPECT_EQ(slice(r.memory, 0x120, 32), header);
    }
}

TEST(UserData7, MoreThan4096BytesAreReadInTwoParts) {
    Rig r;
    const Bytes data = pattern(5000);
    ASSERT_TRUE(r.executor->writeUserData(data.data(), 5000));
    uint32_t size = 0;
    ASSERT_TRUE(r.executor->getUserDataSize(size));
    r.transfer.exchanges.clear();
    Bytes out(5000);
    EXPECT_TRUE(r.executor->readUserData(out.data(), 5000));
    EXPECT_EQ(out, data);
    // 4096 bytes at 0 + 64, then 904 at 0 + 4160 (count fields 4095 and 903).
    const auto pre = r.transfer.requestsFor(op7::kEepromPreRead);
    ASSERT_EQ(pre.size(), 2u);
    EXPECT_EQ(slice(pre[0], 4, 4), (Bytes{0x00, 0x40, 0x0F, 0xFF}));
    EXPECT_EQ(slice(pre[1], 4, 4), (Bytes{0x10, 0x40, 0x03, 0x87}));
}

// 65535 fits 16 bits, but 64 + 65535 runs past 0xFFFF even from area 0; a header at 0xFFF0 + 32
// would wrap onto the information block.
TEST(UserData7, BlocksPastSixteenBitAddressesAreRefusedWithoutTraffic) {
    Rig r;
    Bytes buf(65535);
    EXPECT_FALSE(r.executor->writeUserData(buf.data(), 65535));
    EXPECT_EQ(levelOf(r.log, "EEPROM user data address too big"), Logger::kError);
    r.info(0xFFF0, 0xFFFF);
    uint32_t size = 0;
    EXPECT_FALSE(r.executor->getUserDataSize(size));
    EXPECT_FALSE(r.executor->writeUserData(buf.data(), 1));
    EXPECT_TRUE(r.transfer.requests().empty());
}
