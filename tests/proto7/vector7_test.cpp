#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Exposes the lens scale that later distance conversions read.
struct Executor7Probe : Executor7 {
    double distScale() const { return m_distScale; }
};

Bytes payloadOf(const Bytes& packet) { return Bytes(packet.begin() + 4, packet.end()); }

TarnParam lens(double fieldSize, int32_t resolution, double areaX = 0, double areaY = 0) {
    TarnParam t;
    t.galvo.fieldSize = fieldSize;
    t.galvo.resolution = resolution;
    t.galvo.areaSizeX = areaX;
    t.galvo.areaSizeY = areaY;
    return t;
}

}  // namespace

TEST(Vector7, JumpToTheCentreLayout) {
    Running7 h;
    EXPECT_EQ(h.e7().sendMoveToAbs(Point2dConcept<int>(32768, 32768), 10000, 500), 10500u);
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_THAT(packets[0],
                ElementsAre(0x02, 0x41, 18, 0, 0x27, 0x10, 0x01, 0xF4, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00, 0, 0, 0, 0));
}

TEST(Vector7, OpcodesStepRulesAndResults) {
    struct Case {
        const char* name;
        uint32_t (Executor7::*send)(Point2dConcept<int>, uint16_t, uint16_t);
        Point2dConcept<int> point;
        uint16_t steps;
        uint16_t delay;
        uint16_t opcode;
        uint16_t sentSteps;
        uint32_t result;
    };
    const Case cases[] = {
        {"abs jump, 0 steps", &Executor7::sendMoveToAbs, {5, 5}, 0, 5, 0x0241, 1, 6},
        {"abs mark, 0 steps", &Executor7::sendLineToAbs, {0, 0}, 0, 0, 0x0245, 1, 1},
        {"rel jump of zero length", &Executor7::sendMoveToRel, {0, 0}, 0, 1, 0x0242, 0, 1},
        {"rel jump", &Executor7::sendMoveToRel, {0, -3}, 0, 1, 0x0242, 1, 2},
        {"rel mark", &Executor7::sendLineToRel, {7, 0}, 0, 0, 0x0246, 1, 1},
        {"rel mark with steps", &Executor7::sendLineToRel, {0, 0}, 40, 2, 0x0246, 40, 42},
    };
    for (const Case& c : cases) {
        Running7 h;
        EXPECT_EQ((h.e7().*c.send)(c.point, c.steps, c.delay), c.result) << c.name;
        auto packets = h.flushPackets();
        ASSERT_EQ(packets.size(), 1u) << c.name;
        EXPECT_EQ(FakeTransfer::opcodeOf(packets[0]), c.opcode) << c.name;
        EXPECT_EQ(packets[0][4] << 8 | packets[0][5], c.sentSteps) << c.name;
        EXPECT_EQ(packets[0][6] << 8 | packets[0][7], c.delay) << c.name;
    }
}

TEST(Vector7, CoordinatesTravelAsTheirLow24Bits) {
    Running7 h;
    h.e7().sendLineToRel(Point2dConcept<int>(-1, 0x12345678), 1, 0);
    auto packets = h.flushPackets();
    EXPECT_THAT(Bytes(packets[0].begin() + 8, packets[0].begin() + 14),
                ElementsAre(0xFF, 0xFF, 0xFF, 0x34, 0x56, 0x78));
}

TEST(Vector7, DelayIsSentInHalfTicksAndZeroIsDropped) {
    Running7 h;
    h.e7().sendDelayTime(0);
    h.e7().sendDelayTime(3);
    h.e7().sendDelayTime(0x80000001u);  // doubling wraps in 32 bits
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_THAT(packets[0], ElementsAre(0x0A, 0x00, 8, 0, 0, 0, 0, 6));
    EXPECT_THAT(payloadOf(packets[1]), ElementsAre(0, 0, 0, 2));
}

TEST(Vector7, LensRanges) {
    struct Case {
        const char* name;
        TarnParam lens;
        MarkType type;
        Bytes payload;
    };
    const Case cases[] = {
        {"no field: resolution", lens(0, 65535, 50, 50), 100, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"fly, half the area", lens(100, 65536, 50, 25), 100, {0x80, 0x00, 0x40, 0x00, 0, 0, 0, 0}},
        {"fly, area beyond field", lens(100, 65536, 150, 100), 199, {0x00, 0x00, 0x00, 0x00, 0, 0, 1, 1}},
        {"not fly: resolution", lens(100, 0x10000, 50, 50), 2, {0x00, 0x00, 0x00, 0x00, 0, 0, 1, 1}},
        {"just outside fly range", lens(100, 1000, 50, 50), 200, {0x03, 0xE8, 0x03, 0xE8, 0, 0, 0, 0}},
        {"ceil", lens(300, 1000, 100, 100), 150, {0x01, 0x4E, 0x01, 0x4E, 0, 0, 0, 0}},  // 333.3 -> 334
    };
    for (const Case& c : cases) {
        Running7 h;
        h.e7().sendLenPara(c.lens, true, c.type);
        auto packets = h.flushPackets();
        ASSERT_EQ(packets.size(), 1u) << c.name;
        EXPECT_EQ(packets[0][2], 12) << c.name;
        EXPECT_EQ(payloadOf(packets[0]), c.payload) << c.name;
    }
}

TEST(Vector7, LensExchangeFlagFollowsTheCalibrationInForce) {
    struct Case {
        bool use9Point;
        bool boxExchange;
        int32_t nineExchange;
        uint8_t sent;
    };
    for (const Case& c :
         {Case{false, true, 0, 1}, Case{false, false, 5, 0}, Case{true, false, 5, 1}, Case{true, true, 0, 0}}) {
        Running7 h;
        TarnParam t = lens(100, 65535);
        t.galvo.use9Point = c.use9Point;
        t.galvo.exchangeXY = c.boxExchange;
        t.galvo.calPar.exchangeXY = c.nineExchange;
        h.e7().sendLenPara(t, false, 2);
        EXPECT_EQ(h.flushPackets().at(0)[8], c.sent);
    }
}

TEST(Vector7, LensSetsTheScaleOnlyForAPositiveField) {
    Harness h(std::make_unique<Executor7Probe>());
    auto& probe = static_cast<Executor7Probe&>(*h.executor);
    EXPECT_DOUBLE_EQ(probe.distScale(), 546.0);
    probe.sendLenPara(lens(0, 65535), false, 2);
    EXPECT_DOUBLE_EQ(probe.distScale(), 546.0);
    probe.sendLenPara(lens(110, 65535), false, 2);
    EXPECT_DOUBLE_EQ(probe.distScale(), 65535 / 110.0);
    probe.sendLenPara(lens(std::nan(""), 1000), false, 2);
    EXPECT_DOUBLE_EQ(probe.distScale(), 65535 / 110.0);
}

TEST(Vector7, LightDelaysTravelBFirst) {
    Running7 h;
    PenParam pen;
    pen.lightDelayA = 0x0102;
    pen.lightDelayB = 0x0304;
    h.e7().sendLightOnDelay(pen);
    EXPECT_THAT(h.flushPackets().at(0), ElementsAre(0x02, 0x08, 8, 0, 0x03, 0x04, 0x01, 0x02));
}

TEST(Vector7, RedLightListAndImmediateForms) {
    Running7 h;
    h.e7().sendRedSignal(true);
    h.e7().sendRedSignal(false);
    auto packets = h.flushPackets();
    EXPECT_THAT(packets, ElementsAre(ElementsAre(0x02, 0x12, 6, 0, 1, 0), ElementsAre(0x02, 0x12, 6, 0, 0, 0)));

    EXPECT_TRUE(h.e7().setRedSignal(true));
    EXPECT_THAT(h.transfer.requests().back(), ElementsAre(0xAA, 0x2E, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    h.transfer.answer(0xAA2E, replyWith(4, {{2, 1}}));
    EXPECT_FALSE(h.e7().setRedSignal(false));
    EXPECT_THAT(h.transfer.requests().back(), ElementsAre(0xAA, 0x2E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(Vector7, EncodersQueueEvenWhileStopped) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);
    h.e7().sendLineToAbs(Point2dConcept<int>(1, 2), 3, 4);
    EXPECT_THAT(h.transfer.frames(), IsEmpty());
    h.executor->setRun();
    EXPECT_EQ(h.flushPackets().size(), 1u);
}
