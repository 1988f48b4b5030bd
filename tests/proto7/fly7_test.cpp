#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

// Packets after the lens packet that sets the scale, if any.
std::vector<Bytes> sent(Harness& h) {
    std::vector<Bytes> out;
    for (Bytes& p : h.flushPackets())
        if (FakeTransfer::opcodeOf(p) != op7::kLenPara.opcode) out.push_back(std::move(p));
    return out;
}

// 1000 device units per millimetre: 50000 units over a 50 mm field.
void scale1000(Executor7& e) {
    TarnParam lens;
    lens.galvo.fieldSize = 50;
    lens.galvo.resolution = 50000;
    e.sendLenPara(lens, false, 2);
}

}  // namespace

TEST(Fly7, FixedLayouts) {
    Running7 h;
    Executor7& e = h.e7();
    e.sendStartFlyMark(true);
    e.sendBitmapMode(false);
    e.sendDelayDistanceClear();
    e.sendDelayTimeClear();
    e.sendBoundaryLength(0x01234567);
    e.sendDelayTimeWait(5);
    e.sendDelayTimeWait(4294968);  // 4294968000 - 2^32 = 704
    EXPECT_THAT(h.flushPackets(), ElementsAre(ElementsAre(0x02, 0x03, 6, 0, 1, 0), ElementsAre(0x02, 0x2E, 6, 0, 0, 0),
                                              ElementsAre(0x02, 0x2A, 6, 0, 0, 0), ElementsAre(0x02, 0x2C, 6, 0, 0, 0),
                                              ElementsAre(0x02, 0x06, 8, 0, 0x23, 0x45, 0x67, 0),
                                              ElementsAre(0x02, 0x2D, 8, 0, 0, 0, 0x13, 0x88),
                                              ElementsAre(0x02, 0x2D, 8, 0, 0, 0, 0x02, 0xC0)));
}

TEST(Fly7, EncoderPacket) {
    struct Case {
        int32_t select;
        bool scale1000;
        Bytes packet;
    };
    const Case cases[] = {
        // 0.01 mm * 546 * 65536 = 357826.56; speed 1000 * 546 * 32768 * 1000 / 1.2e8 = 149094.4
        {0, false, {0x02, 0x22, 16, 0, 0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66, 0}},
        // 0.02 * 546 * 65536 = 715653.12; option 2 of encoder 1 only
        {1, false, {0x02, 0x22, 16, 0, 0x00, 0x0A, 0xEB, 0x85, 2, 0, 0x05, 0x00, 0x02, 0x46, 0x66, 0}},
        {5, false, {0x02, 0x22, 16, 0, 0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66, 0}},
        {-1, false, {0x02, 0x22, 16, 0, 0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66, 0}},
        // 0.01 * 1000 * 65536 = 655360; 1000 * 1000 * 32768 * 1000 / 1.2e8 = 273066.67
        {0, true, {0x02, 0x22, 16, 0, 0x00, 0x0A, 0x00, 0x00, 1, 0, 0x03, 0x00, 0x04, 0x2A, 0xAB, 0}},
    };
    for (const Case& c : cases) {
        Running7 h;
        if (c.scale1000) scale1000(h.e7());
        FlyParam f;
        f.encoderEnable = 1;
        f.encoderOption1[0] = 1;
        f.encoderOption2[1] = 1;
        f.encoderStep[0] = 10.0f;
        f.encoderStep[1] = 20.0f;
        f.flySpeed = 1000.0f;
        f.encoderSelect = c.select;
        h.e7().sendEncoderParam(f);
        EXPECT_THAT(sent(h), ElementsAre(c.packet)) << c.select;
    }
}

TEST(Fly7, TriggerPacket) {
    struct Case {
        const char* name;
        int32_t modeA;
        float distanceA, timeA;
        int32_t modeB;
        float distanceB, timeB;
        uint8_t flag;
        Bytes payload;  // bytes 4-15; trigger distance 10 mm * 546 = 5460 throughout
    };
    const Case cases[] = {
        {"A time", 2, 9.0f, 0.25f, 0, 5.0f, 5.0f, 0, {0x03, 0, 0, 0xFA, 0, 0, 0, 0, 0, 0, 0x15, 0x54}},
        // 0.5 * 546 = 273
        {"A off, B distance", 0, 3.0f, 1.0f, 1, 0.5f, 9.0f, 1, {0x14, 0, 0, 0, 0, 0, 0x01, 0x11, 0, 0, 0x15, 0x54}},
        // 0.0025f * 1000 in single precision is 2.5 and rounds to 3 (in double it is 2.49999994)
        {"B time, single precision", 0, 0, 0, 2, 9.0f, 0.0025f, 0, {0x0C, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x15, 0x54}},
        // -1 * 546 = 0xFFFFFDDE, A keeps its low 24 bits
        {"A other mode, cut", 7, -1.0f, 1.0f, 0, 0, 0, 0, {0x01, 0xFF, 0xFD, 0xDE, 0, 0, 0, 0, 0, 0, 0x15, 0x54}},
        // 2.5 * 546 = 1365
        {"B negative mode", 0, 0, 0, -1, 2.5f, 1.0f, 0, {0x04, 0, 0, 0, 0, 0, 0x05, 0x55, 0, 0, 0x15, 0x54}},
    };
    for (const Case& c : cases) {
        Running7 h;
        FlyParam f;
        f.triggerAMode = c.modeA;
        f.triggerADistance = c.distanceA;
        f.triggerATime = c.timeA;
        f.triggerBMode = c.modeB;
        f.triggerBDistance = c.distanceB;
        f.triggerBTime = c.timeB;
        f.triggerFlag = c.flag;
        f.triggerDistance = 10.0f;
        h.e7().sendTriggerParam(f);
        Bytes expected{0x02, 0x23, 16, 0};
        expected.insert(expected.end(), c.payload.begin(), c.payload.end());
        EXPECT_THAT(sent(h), ElementsAre(expected)) << c.name;
    }
}

TEST(Fly7, DistancesFollowTheLensScale) {
    Running7 h;
    h.e7().sendDelayDistanceWait(2.5f, 0.0f);  // 2.5 * 546 = 1365
    scale1000(h.e7());
    h.e7().sendDelayDistanceWait(1.5f, -0.25f);
    FlyParam f;
    f.triggerAMode = 1;
    f.triggerADistance = 0.125f;
    f.triggerDistance = 3.0f;
    h.e7().sendTriggerParam(f);
    EXPECT_THAT(sent(h), ElementsAre(ElementsAre(0x02, 0x2B, 12, 0, 0, 0, 0x05, 0x55, 0, 0, 0, 0),
                                     // 1500 and -250
                                     ElementsAre(0x02, 0x2B, 12, 0, 0, 0, 0x05, 0xDC, 0xFF, 0xFF, 0xFF, 0x06),
                                     // 125 and 3000
                                     ElementsAre(0x02, 0x23, 16, 0, 0x01, 0, 0, 125, 0, 0, 0, 0, 0, 0, 0x0B, 0xB8)));
}

TEST(Fly7, BitmapLightMask) {
    uint8_t lit[81];
    std::fill(std::begin(lit), std::end(lit), 1);
    const uint8_t pattern[10] = {9, 0, 0, 0, 0, 0, 0, 0, 0, 5};
    Running7 h;
    Executor7& e = h.e7();
    e.sendBitmapLight(lit, 81);     // refused
    e.sendBitmapLight(nullptr, 3);  // refused
    e.sendBitmapLight(nullptr, 0);
    e.sendBitmapLight(lit, 80);
    e.sendBitmapLight(pattern, 10);  // dot 9 is bit 1 of the second byte
    e.sendBitmapLight(pattern, 9);
    EXPECT_THAT(h.flushPackets(),
                ElementsAre(ElementsAre(0x02, 0x2F, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x02, 0x2F, 14, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF),
                            ElementsAre(0x02, 0x2F, 14, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x02, 0x2F, 14, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(Fly7, WatchDogIsJudgedByTheTransportOnly) {
    Harness h;
    h.transfer.answer(op7::kWatchDog, replyWith(4, {{2, 0x01}}));
    EXPECT_TRUE(h.e7().setWatchDog(true, 300));
    EXPECT_TRUE(h.e7().setWatchDog(false, 0xABCD));
    h.transfer.failOpcode(op7::kWatchDog);
    EXPECT_FALSE(h.e7().setWatchDog(true, 1));
    EXPECT_THAT(h.transfer.requests(), ElementsAre(ElementsAre(0xAA, 0x24, 0, 0, 1, 0, 0x01, 0x2C, 0, 0, 0, 0),
                                                   ElementsAre(0xAA, 0x24, 0, 0, 0, 0, 0xAB, 0xCD, 0, 0, 0, 0),
                                                   ElementsAre(0xAA, 0x24, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0)));
}
