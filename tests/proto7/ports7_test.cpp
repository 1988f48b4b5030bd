#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

GpoPar gpo(bool enable, uint32_t port, bool level, uint32_t pulseTime, uint32_t delayMode, uint32_t delay) {
    GpoPar p;
    p.enable = enable;
    p.port = port;
    p.level = level;
    p.pulseTime = pulseTime;
    p.delayMode = delayMode;
    p.delay = delay;
    return p;
}

// Sets the lens scale to resolution / fieldSize device units per millimetre.
void scale(Executor7& e, double fieldSize, int32_t resolution) {
    TarnParam lens;
    lens.galvo.fieldSize = fieldSize;
    lens.galvo.resolution = resolution;
    e.sendLenPara(lens, false, 2);
}

}  // namespace

TEST(Ports7, ListPackets) {
    Running7 h;
    Executor7& e = h.e7();
    e.sendMarkInport(1, 1, 300, true);
    e.sendOutPortStateAll(0x12345678, 0x0000FF01);
    e.sendOutPortState(33, true, 0);  // port 1
    e.sendOutPortState(5, true, 20);  // a pulse: time delay 0, 20 * 1000 = 0x4E20
    e.sendHardwareBlock(40, true);    // port 8
    e.sendHardwareBlock(8, false);
    e.sendGpoPar(gpo(false, 0x1FF, false, 0, 0, 10));  // 10 * 546 = 5460; low byte of the port
    e.sendGpoPar(gpo(true, 3, true, 4294968, 1, 7));   // 7000; 4294968000 wraps to 704
    e.sendGpoPar(gpo(true, 0, false, 1, 2, 3));        // any mode but 1 is a distance: 1638
    EXPECT_THAT(h.flushPackets(),
                ElementsAre(ElementsAre(0x02, 0x90, 16, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x01, 0x2C, 1, 0),
                            ElementsAre(0x02, 0x28, 12, 0, 0x78, 0x56, 0x34, 0x12, 0x01, 0xFF, 0, 0),
                            ElementsAre(0x02, 0x28, 12, 0, 0x02, 0, 0, 0, 0x02, 0, 0, 0),
                            ElementsAre(0x02, 0x29, 16, 0, 0x07, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20),
                            ElementsAre(0x02, 0x02, 12, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0),
                            ElementsAre(0x02, 0x02, 12, 0, 0, 0x01, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x02, 0x29, 16, 0, 0x00, 0, 0xFF, 0, 0, 0, 0x15, 0x54, 0, 0, 0, 0),
                            ElementsAre(0x02, 0x29, 16, 0, 0x07, 0, 3, 0, 0, 0, 0x1B, 0x58, 0, 0, 0x02, 0xC0),
                            ElementsAre(0x02, 0x29, 16, 0, 0x01, 0, 0, 0, 0, 0, 0x06, 0x66, 0, 0, 0x03, 0xE8)));
}

TEST(Ports7, ImmediateRequests) {
    Harness h;
    Executor7& e = h.e7();
    EXPECT_TRUE(e.setOutPortStateAll(0x12345678, 0x80000001));
    EXPECT_TRUE(e.setOutPortState(34, true, 0));  // port 2
    EXPECT_TRUE(e.setOutPortState(5, false, 20));
    EXPECT_TRUE(e.setGpoPar(gpo(true, 9, true, 1, 0, 10)));  // 5460, 1000
    EXPECT_TRUE(e.setGpiFilter(0, 100));
    EXPECT_TRUE(e.setGpiFilter(31, 0x01020304));
    EXPECT_TRUE(e.setSwitchSweepChannel(true));
    EXPECT_THAT(h.transfer.requests(),
                ElementsAre(ElementsAre(0xAA, 0x22, 0, 0, 0x78, 0x56, 0x34, 0x12, 0x01, 0, 0, 0x80),
                            ElementsAre(0xAA, 0x22, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0),
                            ElementsAre(0xAA, 0x23, 0, 0, 0x03, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20),
                            ElementsAre(0xAA, 0x23, 0, 0, 0x05, 0, 9, 0, 0, 0, 0x15, 0x54, 0, 0, 0x03, 0xE8),
                            ElementsAre(0xAA, 0x20, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x64),
                            ElementsAre(0xAA, 0x20, 0, 0, 0, 0, 0, 0x80, 0x01, 0x02, 0x03, 0x04),
                            ElementsAre(0xAA, 0xB8, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(Ports7, TwoFirmwaresSwapTheHalvesOfImmediatePortWords) {
    for (uint16_t version : {0x1579, 0x1700, 0x1701}) {
        const bool swapped = version != 0x1701;
        Harness h;
        h.transfer.answer(op7::kDevType, replyWith(64, {{4, version >> 8}, {5, version & 0xFF}}));
        h.running7();
        ASSERT_TRUE(h.e7().setOutPortStateAll(0x12345678, 0x00000004));
        h.e7().sendOutPortStateAll(0x12345678, 0x00000004);  // the list form never swaps
        const Bytes words = h.transfer.requestsFor(op7::kOutPortStateAll).at(0);
        if (swapped) {
            EXPECT_THAT(words, ElementsAre(0xAA, 0x22, 0, 0, 0x56, 0x78, 0x12, 0x34, 0, 0x04, 0, 0)) << version;
        } else {
            EXPECT_THAT(words, ElementsAre(0xAA, 0x22, 0, 0, 0x78, 0x56, 0x34, 0x12, 0x04, 0, 0, 0)) << version;
        }
        EXPECT_THAT(h.flushPackets(), ElementsAre(ElementsAre(0x02, 0x28, 12, 0, 0x78, 0x56, 0x34, 0x12, 4, 0, 0, 0)));
    }
}

TEST(Ports7, GpoDistanceDelayFollowsTheLensScale) {
    Running7 h;
    scale(h.e7(), 50, 50000);  // 1000 units/mm: 10 mm -> 10000
    h.e7().sendGpoPar(gpo(true, 0, false, 0, 0, 10));
    scale(h.e7(), 2, 1001);  // 500.5 units/mm: 1 mm rounds half away to 501
    h.e7().sendGpoPar(gpo(true, 0, false, 0, 0, 1));
    ASSERT_TRUE(h.e7().setGpoPar(gpo(true, 0, false, 0, 0, 1)));
    EXPECT_THAT(h.transfer.requestsFor(op7::kGpoParNow).at(0),
                ElementsAre(0xAA, 0x23, 0, 0, 1, 0, 0, 0, 0, 0, 0x01, 0xF5, 0, 0, 0, 0));
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 4u);  // with the two lens packets
    EXPECT_THAT(packets[1], ElementsAre(0x02, 0x29, 16, 0, 1, 0, 0, 0, 0, 0, 0x27, 0x10, 0, 0, 0, 0));
    EXPECT_THAT(packets[3], ElementsAre(0x02, 0x29, 16, 0, 1, 0, 0, 0, 0, 0, 0x01, 0xF5, 0, 0, 0, 0));
}

TEST(Ports7, Verdicts) {
    Harness h;
    Executor7& e = h.e7();
    h.transfer.defaultReply = Bytes{0, 0, 1};  // the board refuses everything
    EXPECT_TRUE(e.setOutPortStateAll(1, 1));
    EXPECT_TRUE(e.setOutPortState(1, true, 5));
    EXPECT_FALSE(e.setGpiFilter(1, 1));
    EXPECT_FALSE(e.setSwitchSweepChannel(true));
    h.transfer.failOpcode(op7::kOutPortStateAll);
    h.transfer.failOpcode(op7::kGpoParNow);
    EXPECT_FALSE(e.setOutPortState(1, true, 0));
    EXPECT_FALSE(e.setOutPortState(1, true, 5));

    h.transfer.exchanges.clear();
    EXPECT_FALSE(e.setGpiFilter(32, 100));
    EXPECT_THAT(h.transfer.exchanges, IsEmpty());
}

// The shared implementation turns a GpoPar into a port operation of the board's own kind,
// dropping its delay.
TEST(Ports7, SharedGpoParRoutesThroughPortOperations) {
    Running7 h;
    Executor& base = h.e7();
    EXPECT_FALSE(base.Executor::setGpoPar(gpo(false, 2, true, 0, 0, 0)));
    base.Executor::sendGpoPar(gpo(false, 2, true, 20, 0, 0));
    EXPECT_TRUE(base.Executor::setGpoPar(gpo(true, 2, true, 0, 0, 10)));
    EXPECT_TRUE(base.Executor::setGpoPar(gpo(true, 5, true, 20, 0, 10)));
    base.Executor::sendGpoPar(gpo(true, 2, true, 0, 0, 10));
    base.Executor::sendGpoPar(gpo(true, 5, false, 20, 0, 10));
    EXPECT_THAT(h.transfer.requests(),
                ElementsAre(ElementsAre(0xAA, 0x22, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0),
                            ElementsAre(0xAA, 0x23, 0, 0, 0x07, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20)));
    EXPECT_THAT(h.flushPackets(),
                ElementsAre(ElementsAre(0x02, 0x28, 12, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0),
                            ElementsAre(0x02, 0x29, 16, 0, 0x03, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20)));
}

TEST(Ports7, DataTransmitRequests) {
    uint8_t data[1461] = {1, 2, 3};
    uint8_t reply[8] = {};
    Harness h;
    Executor7& e = h.e7();
    EXPECT_EQ(e.setDataTransmit(data, 1461, false, reply, 8), -1);
    EXPECT_EQ(e.setDataTransmit(data, 4, false, reply, 1461), -1);
    EXPECT_EQ(e.setDataTransmit(nullptr, 3, false, reply, 8), -1);
    EXPECT_THAT(h.transfer.exchanges, IsEmpty());

    EXPECT_EQ(e.setDataTransmit(nullptr, 0, false, reply, 0), 0);
    EXPECT_EQ(e.setDataTransmit(data, 3, true, reply, 0), 0);
    EXPECT_EQ(e.setDataTransmit(data, 1460, false, reply, 0), 0);
    ASSERT_EQ(h.transfer.exchanges.size(), 3u);
    EXPECT_THAT(h.transfer.exchanges[0].bytes, ElementsAre(0xAA, 0xC0, 4, 0));
    EXPECT_THAT(h.transfer.exchanges[1].bytes, ElementsAre(0xAA, 0xC0, 7, 1, 1, 2, 3));
    EXPECT_EQ(h.transfer.exchanges[2].bytes.size(), 1464u);
    EXPECT_EQ(h.transfer.exchanges[2].bytes[2], 0xB8);  // 1464 & 0xFF
    for (const auto& x : h.transfer.exchanges) EXPECT_EQ(x.replyCapacity, 1464u);
}

TEST(Ports7, DataTransmitReplyCopy) {
    uint8_t data[2] = {7, 7};
    struct Case {
        Bytes answer;
        uint16_t capacity;
        int result;
        Bytes reply;  // the caller's 6 bytes afterwards; 0xEE is untouched
    };
    const Case cases[] = {
        {{0, 0, 1, 0, 9, 8, 7}, 6, 3, {9, 8, 7, 0xEE, 0xEE, 0xEE}},  // status byte not judged
        {{0, 0, 0, 0, 9, 8, 7, 6, 5}, 4, 4, {9, 8, 7, 6, 0xEE, 0xEE}},
        {{0, 0, 0, 0}, 6, 0, Bytes(6, 0xEE)},
        {{0, 0, 0}, 6, 0, Bytes(6, 0xEE)},
    };
    for (const Case& c : cases) {
        Harness h;
        h.transfer.answer(op7::kDataTransmit, c.answer);
        uint8_t reply[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        EXPECT_EQ(h.e7().setDataTransmit(data, 2, false, reply, c.capacity), c.result) << c.answer.size();
        EXPECT_EQ(Bytes(reply, reply + 6), c.reply) << c.answer.size();
    }
    Harness h;
    h.transfer.failOpcode(op7::kDataTransmit);
    EXPECT_EQ(h.e7().setDataTransmit(data, 2, false, nullptr, 0), -1);
}
