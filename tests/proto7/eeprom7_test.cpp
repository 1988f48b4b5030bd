#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cmd/wire.h"
#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
    return b;
}

Bytes slice(const Bytes& b, size_t from, size_t len) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + len));
}

size_t be16At(const Bytes& b, size_t i) { return static_cast<size_t>(b[i] << 8 | b[i + 1]); }

std::vector<size_t> addressesOf(const std::vector<Bytes>& requests) {
    std::vector<size_t> out;
    for (const Bytes& r : requests) out.push_back(be16At(r, 4));
    return out;
}

bool take(int& count) { return count > 0 && count-- > 0; }

int levelOf(const LogRecorder& log, const std::string& line) {
    for (const auto& e : log.entries)
        if (e.line == line) return e.level;
    return -1;
}

// 64 KiB of EEPROM behind the three commands. The counters make the next writes or pre-reads
// busy and the next reads empty or refused; extra hands out bytes beyond the announced count.
struct FakeEeprom {
    explicit FakeEeprom(FakeTransfer& t) {
        t.answer(op7::kEepromWrite, [this](const Bytes& r) {
            if (take(busyWrites)) return replyWith(8, {{4, 1}});
            for (size_t i = 0; i <= r[6]; ++i) memory[(be16At(r, 4) + i) & 0xFFFF] = r[8 + i];
            return replyWith(8, {});
        });
        t.answer(op7::kEepromPreRead, [this](const Bytes& r) {
            if (take(busyPreReads)) return replyWith(8, {{4, 1}});
            at = be16At(r, 4);
            left = be16At(r, 6) + 1;
            return replyWith(8, {});
        });
        t.answer(op7::kEepromRead, [this](const Bytes&) {
            if (take(emptyReads)) return replyWith(8, {});
            if (take(refusedReads)) return replyWith(8, {{2, 1}, {4, 4}});
            const size_t n = std::min<size_t>(32, left + extra);
            Bytes reply = replyWith(6, {{4, static_cast<uint8_t>(n)}});
            for (size_t i = 0; i < n; ++i, ++at) reply.push_back(memory[at & 0xFFFF]);
            left -= std::min(n, left);
            return reply;
        });
    }
    void info(uint32_t area, uint32_t highest) {
        wire::put32be(memory.data(), area);
        wire::put32be(memory.data() + 4, highest);
    }

    Bytes memory = Bytes(0x10000, 0);
    int busyWrites = 0, busyPreReads = 0, emptyReads = 0, refusedReads = 0;
    size_t extra = 0, at = 0, left = 0;
};

// A running protocol 7 executor with the fake EEPROM behind it.
struct Rig {
    Executor& e() { return *h.executor; }
    Running7 h;
    FakeEeprom board{h.transfer};
};

}  // namespace

TEST(EepromWrite, PiecesOf32WithABusyPieceRepeated) {
    Rig r;
    r.board.busyWrites = 1;
    const Bytes data = pattern(70);
    ASSERT_TRUE(r.e().setEepromData(100, data.data(), 70));
    const auto req = r.h.transfer.requestsFor(op7::kEepromWrite);
    EXPECT_THAT(addressesOf(req), ElementsAre(100, 100, 132, 164));
    const uint8_t lastIndex[] = {31, 31, 31, 5};
    for (size_t i = 0; i < req.size(); ++i) {
        ASSERT_EQ(req[i].size(), 40u);
        EXPECT_EQ(be16At(req[i], 2), 0u);
        EXPECT_EQ(req[i][6], lastIndex[i]);
        EXPECT_EQ(req[i][7], 0);
    }
    // The last piece carries data[64..69]; the 26 bytes after it are blank, not left from piece 2.
    EXPECT_EQ(slice(req[3], 8, 6), slice(data, 64, 6));
    EXPECT_EQ(slice(req[3], 14, 26), Bytes(26, 0));
    EXPECT_EQ(slice(r.board.memory, 100, 70), data);
    EXPECT_THAT(r.h.sleeps.pauses, ElementsAre(18, 18, 18, 18));
    EXPECT_EQ(levelOf(r.h.log, "EEPROM write fail count:1"), Logger::kInfo);
}

TEST(EepromWrite, EndsOnTheBusyLimitOrAFailedExchange) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> setup;
        bool ok;
        size_t requests, pauses;  // a pause follows every exchange that does not end the write
        const char* count;
        const char* error;
    };
    const auto refuseSecond = [](Rig& r) {
        r.h.transfer.answerSequence(op7::kEepromWrite, {replyWith(8, {}), replyWith(8, {{2, 1}})});
    };
    const Case cases[] = {
        {"101 busy", [](Rig& r) { r.board.busyWrites = 101; }, true, 104, 104, "EEPROM write fail count:101", ""},
        {"102 busy", [](Rig& r) { r.board.busyWrites = 102; }, false, 102, 101, "EEPROM write fail count:102",
         "EEPROM write fail too many count"},
        {"lost", [](Rig& r) { r.h.transfer.failExchange(2); }, false, 2, 1, "EEPROM write fail count:0",
         "EEPROM write transfer fail"},
        {"refused", refuseSecond, false, 2, 1, "EEPROM write fail count:0", "EEPROM write transfer fail"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        c.setup(r);
        const Bytes data = pattern(70);
        EXPECT_EQ(r.e().setEepromData(0, data.data(), 70), c.ok);
        EXPECT_EQ(r.h.transfer.requests().size(), c.requests);
        EXPECT_EQ(r.h.sleeps.pauses.size(), c.pauses);
        EXPECT_EQ(levelOf(r.h.log, c.count), Logger::kInfo);
        EXPECT_EQ(levelOf(r.h.log, c.error), c.ok ? -1 : Logger::kError);
    }
}

TEST(EepromGuards, OutOfRangeOrNullIsRefusedWithoutTraffic) {
    // Initial limit 8192: 8000 + 192 ends on it, 8000 + 200 = 8200 passes it.
    for (uint16_t size : {192, 200}) {
        Rig r;
        const bool allowed = size == 192;
        Bytes buf(size);
        EXPECT_EQ(r.e().setEepromData(8000, buf.data(), size), allowed);
        EXPECT_EQ(r.e().getEepromData(8000, buf.data(), size), allowed);
        EXPECT_EQ(r.h.transfer.requests().empty(), !allowed);
        EXPECT_EQ(levelOf(r.h.log, "EEPROM write range too big"), allowed ? -1 : Logger::kError);
        EXPECT_EQ(levelOf(r.h.log, "EEPROM read range too max"), allowed ? -1 : Logger::kError);
    }
    Rig r;
    EXPECT_FALSE(r.e().setEepromData(0, nullptr, 4));
    EXPECT_FALSE(r.e().getEepromData(0, nullptr, 4));
    EXPECT_TRUE(r.h.transfer.requests().empty());
}

TEST(EepromGuards, AddressesNeverWrapPast0xFFFF) {
    Rig r;
    r.board.info(0, 0x1FFFF);  // limit 0x20000, beyond the 16-bit addresses
    uint32_t dataAddr = 0, size = 0;
    ASSERT_TRUE(r.e().getUserRamInfo(dataAddr, size));
    Bytes buf(33);
    EXPECT_TRUE(r.e().setEepromData(0xFFE0, buf.data(), 32));  // ends exactly at 0x10000
    r.h.transfer.exchanges.clear();
    // A 33rd byte would go to 0x10000, that is to 0x0000.
    EXPECT_FALSE(r.e().setEepromData(0xFFE0, buf.data(), 33));
    EXPECT_FALSE(r.e().getEepromData(0xFFE0, buf.data(), 33));
    EXPECT_TRUE(r.h.transfer.requests().empty());
}

TEST(EepromRead, PreReadThenPiecesUntilAllArrived) {
    Rig r;
    const Bytes data = pattern(70);
    std::copy(data.begin(), data.end(), r.board.memory.begin() + 100);
    Bytes out(70);
    ASSERT_TRUE(r.e().getEepromData(100, out.data(), 70));
    EXPECT_EQ(out, data);
    // Address 100 = 0x64, count 70 - 1 = 0x45.
    EXPECT_THAT(r.h.transfer.requestsFor(op7::kEepromPreRead),
                ElementsAre(Bytes{0xAA, 0xD1, 0, 0, 0x00, 0x64, 0x00, 0x45, 0, 0, 0, 0}));
    const Bytes read{0xAA, 0xD2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_THAT(r.h.transfer.requestsFor(op7::kEepromRead), ElementsAre(read, read, read));  // 32 + 32 + 6
    EXPECT_THAT(r.h.sleeps.pauses, ElementsAre(18, 18, 18, 18));
}

TEST(EepromRead, SizeZeroOnlyPreReadsAndFails) {
    Rig r;
    uint8_t out = 0;
    EXPECT_FALSE(r.e().getEepromData(10, &out, 0));
    const auto pre = r.h.transfer.requestsFor(op7::kEepromPreRead);
    ASSERT_EQ(pre.size(), 1u);
    EXPECT_EQ(be16At(pre[0], 6), 0xFFFFu);
    EXPECT_TRUE(r.h.transfer.requestsFor(op7::kEepromRead).empty());
    EXPECT_THAT(r.h.sleeps.pauses, ElementsAre(18));
}

TEST(EepromRead, RetriesUpToTheirLimits) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> setup;
        bool ok;
        size_t preReads, reads;
        uint64_t pausedMs;
        const char* error;
    };
    // 10 after a pre-read that is not ready and after an empty piece, 18 after the pre-read that
    // is, after a failed read exchange and after a piece.
    const Case cases[] = {
        {"pre-read busy twice", [](Rig& r) { r.board.busyPreReads = 2; }, true, 3, 1, 10 + 10 + 18 + 18, ""},
        {"pre-read busy thrice", [](Rig& r) { r.board.busyPreReads = 3; }, false, 3, 0, 30, "EEPROM pre read fail"},
        {"pre-read refused",
         [](Rig& r) {
             r.h.transfer.answer(op7::kEepromPreRead, replyWith(8, {{2, 1}}));
         },
         false, 3, 0, 30, "EEPROM pre read fail"},
        {"pre-read lost", [](Rig& r) { r.h.transfer.failOpcode(op7::kEepromPreRead); }, false, 1, 0, 0,
         "EEPROM pre read transfer fail"},
        {"101 empty", [](Rig& r) { r.board.emptyReads = 101; }, true, 1, 102, 18 + 1010 + 18, ""},
        {"102 empty", [](Rig& r) { r.board.emptyReads = 102; }, false, 1, 102, 18 + 1010, "EEPROM read fail too many"},
        {"4 lost",
         [](Rig& r) {
             for (int n = 2; n <= 5; ++n) r.h.transfer.failExchange(n);
         },
         true, 1, 5, 18 + 72 + 18, ""},
        {"5 lost",
         [](Rig& r) {
             for (int n = 2; n <= 6; ++n) r.h.transfer.failExchange(n);
         },
         false, 1, 5, 18 + 72, "EEPROM read transfer err too many"},
        {"5 refused", [](Rig& r) { r.board.refusedReads = 5; }, false, 1, 5, 18 + 72,
         "EEPROM read transfer err too many"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        c.setup(r);
        uint8_t out[4];
        EXPECT_EQ(r.e().getEepromData(0, out, 4), c.ok);
        EXPECT_EQ(r.h.transfer.requestsFor(op7::kEepromPreRead).size(), c.preReads);
        EXPECT_EQ(r.h.transfer.requestsFor(op7::kEepromRead).size(), c.reads);
        EXPECT_EQ(r.h.sleeps.total(), c.pausedMs);
        EXPECT_EQ(levelOf(r.h.log, c.error), c.ok ? -1 : Logger::kError);
    }
}

TEST(EepromRead, PieceLongerThanItsReplyFails) {
    // A piece of 10 needs 6 + 10 = 16 reply bytes.
    for (size_t len : {15, 16}) {
        Rig r;
        r.h.transfer.answer(op7::kEepromRead, [len](const Bytes&) {
            Bytes reply(len, 0xEE);
            reply[2] = 0;
            reply[4] = 10;
            return reply;
        });
        uint8_t out[10] = {};
        EXPECT_EQ(r.e().getEepromData(0, out, 10), len == 16);
        EXPECT_EQ(r.h.log.contains("EEPROM return data size too max"), len == 15);
    }
}

TEST(EepromRead, BytesBeyondTheRequestAreDropped) {
    Rig r;
    r.board.extra = 22;  // 10 asked for, a piece of 32 handed out
    const Bytes data = pattern(32);
    std::copy(data.begin(), data.end(), r.board.memory.begin());
    Bytes out(18, 0xCC);
    ASSERT_TRUE(r.e().getEepromData(0, out.data(), 10));
    EXPECT_EQ(slice(out, 0, 10), slice(data, 0, 10));
    EXPECT_EQ(slice(out, 10, 8), Bytes(8, 0xCC));
    EXPECT_EQ(r.h.transfer.requestsFor(op7::kEepromRead).size(), 1u);
}

TEST(UserData, RamInfoMovesTheAreaAndTheLimit) {
    Rig r;
    r.board.info(0x100, 0x0FFF);
    uint32_t dataAddr = 0, size = 0;
    ASSERT_TRUE(r.e().getUserRamInfo(dataAddr, size));
    EXPECT_EQ(dataAddr, 0x140u);  // 0x100 + 64
    EXPECT_EQ(size, 0x0FFFu);
    EXPECT_EQ(be16At(r.h.transfer.requestsFor(op7::kEepromPreRead)[0], 6), 31u);
    const uint8_t b[2] = {};
    EXPECT_TRUE(r.e().setEepromData(0x0FFF, b, 1));  // limit 0x1000
    EXPECT_FALSE(r.e().setEepromData(0x0FFF, b, 2));

    r.h.transfer.failOpcode(op7::kEepromPreRead);
    dataAddr = 7;
    EXPECT_FALSE(r.e().getUserRamInfo(dataAddr, size));
    EXPECT_EQ(dataAddr, 7u);
}

TEST(UserData, RoundTripWithSaturatedChecksum) {
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
        r.board.info(0x100, 0x1FFF);
        uint32_t dataAddr = 0, size = 0;
        ASSERT_TRUE(r.e().getUserRamInfo(dataAddr, size));
        const Bytes data(c.text.begin(), c.text.end());
        const auto n = static_cast<uint32_t>(data.size());
        r.h.transfer.exchanges.clear();
        ASSERT_TRUE(r.e().writeUserData(data.data(), n));
        EXPECT_THAT(addressesOf(r.h.transfer.requestsFor(op7::kEepromWrite)), ElementsAre(0x140, 0x120));
        Bytes header(32, 0);
        header[3] = static_cast<uint8_t>(n);
        std::copy(c.crc.begin(), c.crc.end(), header.begin() + 4);
        EXPECT_EQ(slice(r.board.memory, 0x120, 32), header);
        EXPECT_EQ(slice(r.board.memory, 0x140, n), data);

        ASSERT_TRUE(r.e().getUserDataSize(size));
        EXPECT_EQ(size, n);
        Bytes out(n);
        EXPECT_TRUE(r.e().readUserData(out.data(), n));
        EXPECT_EQ(out, data);
        EXPECT_EQ(levelOf(r.h.log, "EEPROM read data crc OK"), Logger::kError);
        r.board.memory[0x140] ^= 1;
        EXPECT_EQ(r.e().readUserData(out.data(), n), !c.flipSeen);
        EXPECT_EQ(levelOf(r.h.log, "EEPROM read data crc fail"), c.flipSeen ? Logger::kError : -1);

        // A failed data write leaves the old header.
        r.h.transfer.failOpcode(op7::kEepromWrite);
        EXPECT_FALSE(r.e().writeUserData(out.data(), 2));
        EXPECT_EQ(slice(r.board.memory, 0x120, 32), header);
    }
}

TEST(UserData, MoreThan4096BytesAreReadInTwoParts) {
    Rig r;
    const Bytes data = pattern(5000);
    ASSERT_TRUE(r.e().writeUserData(data.data(), 5000));
    uint32_t size = 0;
    ASSERT_TRUE(r.e().getUserDataSize(size));
    r.h.transfer.exchanges.clear();
    Bytes out(5000);
    EXPECT_TRUE(r.e().readUserData(out.data(), 5000));
    EXPECT_EQ(out, data);
    // 4096 bytes at 0 + 64, then 904 at 0 + 4160 (count fields 4095 and 903).
    const auto pre = r.h.transfer.requestsFor(op7::kEepromPreRead);
    ASSERT_EQ(pre.size(), 2u);
    EXPECT_EQ(slice(pre[0], 4, 4), (Bytes{0x00, 0x40, 0x0F, 0xFF}));
    EXPECT_EQ(slice(pre[1], 4, 4), (Bytes{0x10, 0x40, 0x03, 0x87}));
}

TEST(UserData, BlocksPastSixteenBitAddressesAreRefusedWithoutTraffic) {
    Rig r;
    Bytes buf(65536);
    EXPECT_FALSE(r.e().writeUserData(buf.data(), 65536));
    EXPECT_FALSE(r.e().readUserData(buf.data(), 65536));
    EXPECT_EQ(levelOf(r.h.log, "EEPROM user data size too big"), Logger::kError);
    // 65535 fits 16 bits, but 64 + 65535 runs past 0xFFFF even from area 0.
    EXPECT_FALSE(r.e().writeUserData(buf.data(), 65535));
    EXPECT_EQ(levelOf(r.h.log, "EEPROM user data address too big"), Logger::kError);
    EXPECT_TRUE(r.h.transfer.requests().empty());

    r.board.info(0xFFF0, 0xFFFF);  // header at 0xFFF0 + 32 would wrap onto the information block
    uint32_t dataAddr = 0, size = 0;
    ASSERT_TRUE(r.e().getUserRamInfo(dataAddr, size));
    r.h.transfer.exchanges.clear();
    EXPECT_FALSE(r.e().getUserDataSize(size));
    EXPECT_FALSE(r.e().writeUserData(buf.data(), 1));
    EXPECT_TRUE(r.h.transfer.requests().empty());
}

namespace {

// Raw transfers replaced the way another board protocol does it.
class MemoryBoard : public Executor7 {
public:
    bool setEepromData(uint16_t addr, const uint8_t* data, uint16_t size) override {
        std::copy_n(data, size, memory.begin() + addr);
        return true;
    }
    bool getEepromData(uint16_t addr, uint8_t* data, uint16_t size) override {
        std::copy_n(memory.begin() + addr, size, data);
        return true;
    }
    Bytes memory = Bytes(0x10000, 0);
};

}  // namespace

TEST(UserData, GoesThroughTheBoardsOwnRawTransfers) {
    MemoryBoard board;
    const Bytes data{'a', 'b', 'c'};
    ASSERT_TRUE(board.writeUserData(data.data(), 3));
    EXPECT_EQ(slice(board.memory, 32, 8), (Bytes{0, 0, 0, 3, 0x35, 0x24, 0x41, 0xC2}));
    EXPECT_EQ(slice(board.memory, 64, 3), data);
    uint32_t size = 0;
    ASSERT_TRUE(board.getUserDataSize(size));
    Bytes out(3);
    EXPECT_TRUE(board.readUserData(out.data(), 3));
    EXPECT_EQ(out, data);
}
