#include <gtest/gtest.h>

#include "proto7/rows7.h"

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

}  // namespace

TEST(Ports7, ListPackets) {
    expectList({
        {"mark inport",
         [](Executor7& e) { e.sendMarkInport(1, 1, 300, true); },
         {pkt(0x0290, {16, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x01, 0x2C, 1}, 16)}},
        // Mask and value words least significant byte first; ports count modulo 32.
        {"all outputs",
         [](Executor7& e) { e.sendOutPortStateAll(0x12345678, 0x0000FF01); },
         {pkt(0x0228, {12, 0, 0x78, 0x56, 0x34, 0x12, 0x01, 0xFF})}},
        {"one output", [](Executor7& e) { e.sendOutPortState(33, true, 0); }, {pkt(0x0228, {12, 0, 2, 0, 0, 0, 2})}},
        {"one output low", [](Executor7& e) { e.sendOutPortState(33, false, 0); }, {pkt(0x0228, {12, 0, 2})}},
        // A pulse: time delay 0, 20 * 1000 = 0x4E20.
        {"pulse",
         [](Executor7& e) { e.sendOutPortState(5, true, 20); },
         {pkt(0x0229, {16, 0, 0x07, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20}, 16)}},
        {"hardware block",
         [](Executor7& e) {
             e.sendHardwareBlock(40, true);
             e.sendHardwareBlock(8, false);
         },
         {pkt(0x0202, {12, 0, 0, 0x01, 0, 0, 0, 0x01}), pkt(0x0202, {12, 0, 0, 0x01})}},
        // A distance delay is in device units (10 * 546 = 5460); the port's low byte only.
        {"output parameters, distance",
         [](Executor7& e) { e.sendGpoPar(gpo(false, 0x1FF, false, 0, 0, 10)); },
         {pkt(0x0229, {16, 0, 0x00, 0, 0xFF, 0, 0, 0, 0x15, 0x54}, 16)}},
        // 7000; 4294968000 wraps to 704.
        {"output parameters, time",
         [](Executor7& e) { e.sendGpoPar(gpo(true, 3, true, 4294968, 1, 7)); },
         {pkt(0x0229, {16, 0, 0x07, 0, 3, 0, 0, 0, 0x1B, 0x58, 0, 0, 0x02, 0xC0}, 16)}},
        // Any mode but 1 is a distance: 1638.
        {"output parameters, mode 2",
         [](Executor7& e) { e.sendGpoPar(gpo(true, 0, false, 1, 2, 3)); },
         {pkt(0x0229, {16, 0, 0x01, 0, 0, 0, 0, 0, 0x06, 0x66, 0, 0, 0x03, 0xE8}, 16)}},
        // 1000 units/mm: 10 mm is 10000.
        {"output distance follows the lens",
         [](Executor7& e) {
             TarnParam lens;
             lens.galvo.fieldSize = 50;
             lens.galvo.resolution = 50000;
             e.sendLenPara(lens, false, 2);
             e.sendGpoPar(gpo(true, 0, false, 0, 0, 10));
         },
         {pkt(0x0221, {12, 0, 0xC3, 0x50, 0xC3, 0x50}), pkt(0x0229, {16, 0, 0x01, 0, 0, 0, 0, 0, 0x27, 0x10}, 16)}},
        // The shared implementation turns output parameters into a port operation, dropping the delay.
        {"shared output parameters",
         [](Executor7& e) {
             e.Executor::sendGpoPar(gpo(false, 2, true, 20, 0, 0));
             e.Executor::sendGpoPar(gpo(true, 2, true, 0, 0, 10));
             e.Executor::sendGpoPar(gpo(true, 5, false, 20, 0, 10));
         },
         {pkt(0x0228, {12, 0, 0x04, 0, 0, 0, 0x04}),
          pkt(0x0229, {16, 0, 0x03, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20}, 16)}},
    });
}

TEST(Ports7, Requests) {
    expectRequests({
        {"all outputs",
         [](Executor7& e) { return e.setOutPortStateAll(0x12345678, 0x80000001); },
         {pkt(0xAA22, {0, 0, 0x78, 0x56, 0x34, 0x12, 0x01, 0, 0, 0x80})},
         false},
        {"one output",
         [](Executor7& e) { return e.setOutPortState(34, true, 0); },
         {pkt(0xAA22, {0, 0, 0x04, 0, 0, 0, 0x04})},
         false},
        {"one output low",
         [](Executor7& e) { return e.setOutPortState(34, false, 0); },
         {pkt(0xAA22, {0, 0, 0x04})},
         false},
        {"pulse",
         [](Executor7& e) { return e.setOutPortState(5, false, 20); },
         {pkt(0xAA23, {0, 0, 0x03, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20}, 16)},
         false},
        {"output parameters",
         [](Executor7& e) { return e.setGpoPar(gpo(true, 9, true, 1, 0, 10)); },
         {pkt(0xAA23, {0, 0, 0x05, 0, 9, 0, 0, 0, 0x15, 0x54, 0, 0, 0x03, 0xE8}, 16)},
         false},
        {"shared output parameters",
         [](Executor7& e) { return e.Executor::setGpoPar(gpo(true, 5, true, 20, 0, 10)); },
         {pkt(0xAA23, {0, 0, 0x07, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20}, 16)},
         false},
        {"input filter 0",
         [](Executor7& e) { return e.setGpiFilter(0, 100); },
         {pkt(0xAA20, {0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x64})},
         true},
        {"input filter 31",
         [](Executor7& e) { return e.setGpiFilter(31, 0x01020304); },
         {pkt(0xAA20, {0, 0, 0, 0, 0, 0x80, 0x01, 0x02, 0x03, 0x04})},
         true},
        {"sweep channel", [](Executor7& e) { return e.setSwitchSweepChannel(true); }, {pkt(0xAAB8, {0, 0, 1})}, true},
    });
    Harness h;
    EXPECT_FALSE(h.e7().setGpiFilter(32, 100));
    EXPECT_FALSE(h.e7().Executor::setGpoPar(gpo(false, 2, true, 0, 0, 0)));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Ports7, TwoFirmwaresSwapTheHalvesOfImmediatePortWords) {
    for (uint16_t version : {0x1579, 0x1700, 0x1701}) {
        const bool swapped = version != 0x1701;
        Harness h;
        h.transfer.answer(op7::kDevType, replyWith(64, {{4, version >> 8}, {5, version & 0xFF}}));
        h.running7();
        ASSERT_TRUE(h.e7().setOutPortStateAll(0x12345678, 0x00000004));
        h.e7().sendOutPortStateAll(0x12345678, 0x00000004);  // the list form never swaps
        EXPECT_EQ(h.transfer.requestsFor(op7::kOutPortStateAll).at(0),
                  swapped ? pkt(0xAA22, {0, 0, 0x56, 0x78, 0x12, 0x34, 0, 0x04})
                          : pkt(0xAA22, {0, 0, 0x78, 0x56, 0x34, 0x12, 0x04}))
            << version;
        EXPECT_EQ(h.flushPackets(), std::vector<Bytes>{pkt(0x0228, {12, 0, 0x78, 0x56, 0x34, 0x12, 4})});
    }
}

// Up to 1460 bytes each way; the reply's data follow its 4-byte header.
TEST(Ports7, DataTransmit) {
    uint8_t data[1461] = {1, 2, 3};
    Harness h;
    Executor7& e = h.e7();
    uint8_t reply[8] = {};
    EXPECT_EQ(e.setDataTransmit(data, 1461, false, reply, 8), -1);
    EXPECT_EQ(e.setDataTransmit(data, 4, false, reply, 1461), -1);
    EXPECT_EQ(e.setDataTransmit(nullptr, 3, false, reply, 8), -1);
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_EQ(e.setDataTransmit(nullptr, 0, false, reply, 0), 0);
    EXPECT_EQ(e.setDataTransmit(data, 3, true, reply, 0), 0);
    EXPECT_EQ(e.setDataTransmit(data, 1460, false, reply, 0), 0);
    ASSERT_EQ(h.transfer.exchanges.size(), 3u);
    EXPECT_EQ(h.transfer.exchanges[0].bytes, (Bytes{0xAA, 0xC0, 4, 0}));
    EXPECT_EQ(h.transfer.exchanges[1].bytes, (Bytes{0xAA, 0xC0, 7, 1, 1, 2, 3}));
    EXPECT_EQ(h.transfer.exchanges[2].bytes.size(), 1464u);
    EXPECT_EQ(h.transfer.exchanges[2].bytes[2], 0xB8);  // 1464 & 0xFF
    for (const auto& x : h.transfer.exchanges) EXPECT_EQ(x.replyCapacity, 1464u);

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
        h.transfer.answer(op7::kDataTransmit, c.answer);
        Bytes out(6, 0xEE);
        EXPECT_EQ(e.setDataTransmit(data, 2, false, out.data(), c.capacity), c.result) << c.answer.size();
        EXPECT_EQ(out, c.reply) << c.answer.size();
    }
    h.transfer.failOpcode(op7::kDataTransmit);
    EXPECT_EQ(e.setDataTransmit(data, 2, false, nullptr, 0), -1);
}
