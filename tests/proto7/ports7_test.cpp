#include <gtest/gtest.h>

#include "proto7/rows7.h"

// Output parameters are enable, port, level, pulse time, delay mode, delay. Mask and value
// words least significant byte first; ports count modulo 32. A distance delay is in device units
// (10 * 546 = 5460), a time in microseconds; the port's low byte only.
TEST(Ports7, ListPackets) {
    expectList({
        {[](E7& e) { e.sendMarkInport(1, 1, 300, true); }, lp(0x0290, 16, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0x2C, 1})},
        {[](E7& e) { e.sendOutPortStateAll(0x12345678, 0xFF01); }, lp(0x0228, 12, {0x78, 0x56, 0x34, 0x12, 1, 0xFF})},
        {[](E7& e) { e.sendOutPortState(33, true, 0); }, lp(0x0228, 12, {2, 0, 0, 0, 2})},
        {[](E7& e) { e.sendOutPortState(33, false, 0); }, lp(0x0228, 12, {2})},
        {[](E7& e) { e.sendOutPortState(5, true, 20); }, lp(0x0229, 16, {7, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20})},
        {[](E7& e) { e.sendHardwareBlock(40, true); }, lp(0x0202, 12, {0, 0x01, 0, 0, 0, 0x01})},
        {[](E7& e) { e.sendHardwareBlock(8, false); }, lp(0x0202, 12, {0, 0x01})},
        {[](E7& e) {
             e.sendGpoPar({false, 0x1FF, false, 0, 0, 10});
         },
         lp(0x0229, 16, {0, 0, 0xFF, 0, 0, 0, 0x15, 0x54})},
        // 4294968000 wraps to 704.
        {[](E7& e) {
             e.sendGpoPar({true, 3, true, 4294968, 1, 7});
         },
         lp(0x0229, 16, {7, 0, 3, 0, 0, 0, 0x1B, 0x58, 0, 0, 0x02, 0xC0})},
        // Any mode but 1 is a distance: 1638.
        {[](E7& e) {
             e.sendGpoPar({true, 0, false, 1, 2, 3});
         },
         lp(0x0229, 16, {1, 0, 0, 0, 0, 0, 0x06, 0x66, 0, 0, 0x03, 0xE8})},
        // The shared implementation turns output parameters into a port operation, dropping the delay.
        {[](E7& e) {
             e.Executor::sendGpoPar({true, 2, true, 0, 0, 10});
         },
         lp(0x0228, 12, {4, 0, 0, 0, 4})},
        {[](E7& e) {
             e.Executor::sendGpoPar({false, 2, true, 20, 0, 0});
         },
         {}},
        {[](E7& e) {
             e.Executor::sendGpoPar({true, 5, false, 20, 0, 10});
         },
         lp(0x0229, 16, {3, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20})},
    });
}

TEST(Ports7, Requests) {
    expectRequests({
        {[](E7& e) { return e.setOutPortStateAll(0x12345678, 0x80000001); },
         pkt(0xAA22, {0, 0, 0x78, 0x56, 0x34, 0x12, 1, 0, 0, 0x80}), false},
        {[](E7& e) { return e.setOutPortState(34, true, 0); }, pkt(0xAA22, {0, 0, 4, 0, 0, 0, 4}), false},
        {[](E7& e) { return e.setOutPortState(5, false, 20); },
         pkt(0xAA23, {0, 0, 3, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20}, 16), false},
        {[](E7& e) {
             return e.setGpoPar({true, 9, true, 1, 0, 10});
         },
         pkt(0xAA23, {0, 0, 5, 0, 9, 0, 0, 0, 0x15, 0x54, 0, 0, 0x03, 0xE8}, 16), false},
        {[](E7& e) {
             return e.Executor::setGpoPar({true, 5, true, 20, 0, 10});
         },
         pkt(0xAA23, {0, 0, 7, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x4E, 0x20}, 16), false},
        {[](E7& e) { return e.setGpiFilter(0, 100); }, pkt(0xAA20, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0x64}), true},
        {[](E7& e) { return e.setGpiFilter(31, 0x01020304); }, pkt(0xAA20, {0, 0, 0, 0, 0, 0x80, 1, 2, 3, 4}), true},
        {[](E7& e) { return e.setSwitchSweepChannel(true); }, pkt(0xAAB8, {0, 0, 1}), true},
    });
    Harness h;
    EXPECT_FALSE(h.e7().setGpiFilter(32, 100));
    EXPECT_FALSE(h.e7().Executor::setGpoPar({false, 2, true, 0, 0, 0}));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Ports7, TwoFirmwaresSwapTheHalvesOfImmediatePortWords) {
    for (uint16_t version : {0x1579, 0x1700, 0x1701}) {
        Harness h;
        h.transfer.answer(op7::kDevType, replyWith(64, {{4, version >> 8}, {5, version & 0xFF}}));
        h.running7();
        ASSERT_TRUE(h.e7().setOutPortStateAll(0x12345678, 0x00000004));
        h.e7().sendOutPortStateAll(0x12345678, 0x00000004);  // the list form never swaps
        EXPECT_EQ(h.transfer.requestsFor(op7::kOutPortStateAll).at(0),
                  version != 0x1701 ? pkt(0xAA22, {0, 0, 0x56, 0x78, 0x12, 0x34, 0, 4})
                                    : pkt(0xAA22, {0, 0, 0x78, 0x56, 0x34, 0x12, 4}))
            << version;
        EXPECT_EQ(h.flushPackets(), std::vector<Bytes>{lp(0x0228, 12, {0x78, 0x56, 0x34, 0x12, 4})});
    }
}

// Up to 1460 bytes each way; the reply's data follow its 4-byte header, whose status byte is not
// judged. A reply too short for its header, or no reply area, copies nothing.
TEST(Ports7, DataTransmit) {
    uint8_t data[1461] = {1, 2, 3};
    Harness h;
    E7& e = h.e7();
    Bytes out(6, 0xEE);
    EXPECT_EQ(e.setDataTransmit(data, 1461, false, out.data(), 6), -1);
    EXPECT_EQ(e.setDataTransmit(data, 4, false, out.data(), 1461), -1);
    EXPECT_EQ(e.setDataTransmit(nullptr, 3, false, out.data(), 6), -1);
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_EQ(e.setDataTransmit(nullptr, 0, false, out.data(), 0), 0);
    EXPECT_EQ(e.setDataTransmit(data, 3, true, out.data(), 0), 0);
    EXPECT_EQ(e.setDataTransmit(data, 1460, false, nullptr, 1460), 0);
    ASSERT_EQ(h.transfer.exchanges.size(), 3u);
    EXPECT_EQ(h.transfer.exchanges[0].bytes, (Bytes{0xAA, 0xC0, 4, 0}));
    EXPECT_EQ(h.transfer.exchanges[1].bytes, (Bytes{0xAA, 0xC0, 7, 1, 1, 2, 3}));
    EXPECT_EQ(h.transfer.exchanges[2].bytes.size(), 1464u);
    EXPECT_EQ(h.transfer.exchanges[2].bytes[2], 0xB8);  // 1464 & 0xFF
    for (const auto& x : h.transfer.exchanges) EXPECT_EQ(x.replyCapacity, 1464u);

    h.transfer.answer(op7::kDataTransmit, Bytes{0, 0, 1, 0, 9, 8, 7, 6, 5});
    EXPECT_EQ(e.setDataTransmit(data, 2, false, out.data(), 4), 4);
    EXPECT_EQ(out, (Bytes{9, 8, 7, 6, 0xEE, 0xEE}));
    EXPECT_EQ(e.setDataTransmit(data, 2, false, out.data() + 1, 6), 5);
    EXPECT_EQ(out, (Bytes{9, 9, 8, 7, 6, 5}));
    h.transfer.answer(op7::kDataTransmit, Bytes{0, 0, 0});
    EXPECT_EQ(e.setDataTransmit(data, 2, false, out.data(), 6), 0);
    h.transfer.failOpcode(op7::kDataTransmit);
    EXPECT_EQ(e.setDataTransmit(data, 2, false, nullptr, 0), -1);
}
