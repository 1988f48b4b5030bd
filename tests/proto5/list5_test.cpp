#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness5.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(List5, VectorLayoutCarriesLow16BitsAndTheDelayLast) {
    Harness5 h;
    EXPECT_EQ(h.e5().sendMoveToAbs(Point2dConcept<int>(0x12345, 0x8000), 0, 7), 8u);
    h.e5().sendLineToAbs(Point2dConcept<int>(1, 2), 3, 4);
    h.e5().sendMoveToRel(Point2dConcept<int>(0, 0), 0, 1);
    h.e5().sendLineToRel(Point2dConcept<int>(-1, 0), 0, 0);
    EXPECT_THAT(h.packets(), ElementsAre(ElementsAre(0x02, 0x41, 0, 1, 0x23, 0x45, 0x80, 0x00, 0, 0, 0, 7),
                                         ElementsAre(0x02, 0x43, 0, 3, 0, 1, 0, 2, 0, 0, 0, 4),
                                         ElementsAre(0x02, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1),
                                         ElementsAre(0x02, 0x44, 0, 1, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0)));
}

TEST(List5, DelaysSplitIntoNullMovesOf65535Ticks) {
    struct Case {
        uint32_t ticks;
        std::vector<uint16_t> delays;  // delay field of each packet; every packet has one step
    };
    for (const Case& c :
         {Case{0, {}}, Case{1, {0}}, Case{65535, {65534}}, Case{65536, {65534, 0}}, Case{131070, {65534, 65534}}}) {
        Harness5 h;
        h.e5().sendDelayTime(c.ticks);
        std::vector<uint16_t> delays;
        for (const Bytes& p : h.packets()) {
            EXPECT_THAT(Bytes(p.begin(), p.begin() + 4), ElementsAre(0x02, 0x42, 0, 1));
            delays.push_back(static_cast<uint16_t>(p[10] << 8 | p[11]));
        }
        EXPECT_EQ(delays, c.delays) << c.ticks;
    }
}

TEST(List5, LensPacketsByLaserType) {
    struct Case {
        LaserType type;
        uint8_t offTime;
        bool redOn;
        MarkType mark;
        bool exchange;
        Bytes first;
    };
    const Case cases[] = {
        {0, 0, false, 2, false, {0x02, 0x11, 0x22, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0}},
        {1, 1, false, 100, false, {0x02, 0x11, 0x33, 0x11, 0x43, 0, 0x01, 0x11, 0, 0, 0, 0}},
        {2, 0, true, 100, true, {0x02, 0x11, 0x00, 0x22, 0x49, 0, 0x02, 0x22, 0, 0, 0, 0}},
        {4, 1, false, 101, false, {0x02, 0x11, 0x44, 0x00, 0x43, 0, 0x04, 0x44, 0, 0, 0, 0}},
        {6, 0, false, 2, false, {0x02, 0x11, 0x22, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0}},
        {9, 0, false, 2, false, {0x02, 0x11, 0x00, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Harness5 h;
        TarnParam lens;
        lens.laser.laserType = c.type;
        lens.laser.offTimeMode1 = lens.laser.offTimeMode4 = c.offTime;
        lens.laser.lensWord1 = 0x0111;
        lens.laser.lensWord2 = 0x0222;
        lens.laser.lensWord3 = 0x0333;
        lens.laser.lensWord4 = 0x0444;
        lens.galvo.exchangeXY = c.exchange;
        lens.galvo.resolution = 0x12345;
        h.e5().sendLenPara(lens, c.redOn, c.mark);
        auto packets = h.packets();
        ASSERT_EQ(packets.size(), 2u);
        EXPECT_EQ(packets[0], c.first) << "type " << c.type;
        EXPECT_THAT(packets[1], ElementsAre(0x02, 0x12, 0, 0, 0, 0, 0x23, 0x45, 0x23, 0x45, 0, 0));
    }
}

TEST(List5, FibrePowerUsesA50MHzClockForType6Only) {
    Harness5 h;
    h.e5().sendFiberPower(LASER_TYPE_6, 20, 10, 100, 0xBEEF);  // width 10*50+0.01 -> 500, period 2500-1
    h.e5().sendFiberPower(LASER_TYPE_2, 20, 10, 50, 0x0102);   // width 480, period 2400, 50*255/100 = 127
    h.e5().sendFiberPower(LASER_TYPE_1, 0, 0, 0, 0);           // zero frequency: period 0
    EXPECT_THAT(h.packets(), ElementsAre(ElementsAre(0x02, 0x10, 0, 0, 0, 0x09, 0xC3, 0x01, 0xF4, 0xFF, 0xBE, 0xEF),
                                         ElementsAre(0x02, 0x10, 0, 0, 0, 0x09, 0x60, 0x01, 0xE0, 0x7F, 0x01, 0x02),
                                         ElementsAre(0x02, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(List5, LaserLevelPacketsAndMopaRepeats) {
    Harness5 h;
    h.e5().sendDASignal(100, true, true);    // 4095
    h.e5().sendSpiPower(50, 1, 7, 8, true);  // 50*40.95 = 2047.5 -> 2048; 40.95 -> 41
    h.e5().sendMOPALaser(LASER_TYPE_3, 0);   // same as the state after connecting: nothing
    h.e5().sendMOPALaser(LASER_TYPE_3, 7);
    h.e5().sendMOPALaser(LASER_TYPE_3, 7);
    h.e5().sendMOPALaser(LASER_TYPE_2, 9);
    h.e5().sendMOSignal(true, 99);
    h.e5().sendMOSignal(false, 99);
    IOParam io;
    io.portSetting = 0x5A;
    h.e5().sendPortPara(io);
    EXPECT_THAT(h.packets(), ElementsAre(ElementsAre(0x02, 0x07, 0x0F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0),
                                         ElementsAre(0x02, 0xA0, 0x08, 0x00, 0x00, 0x29, 7, 8, 0, 1, 0, 0),
                                         ElementsAre(0x02, 0x06, 0xA5, 0x01, 0, 7, 0, 0, 0, 0, 0, 0),
                                         ElementsAre(0x02, 0x81, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                         ElementsAre(0x02, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                         ElementsAre(0x02, 0x13, 0, 0, 0, 0, 0, 0x5A, 0, 0, 0, 0)));
}

TEST(List5, PreionisationAndFpsPackets) {
    Harness5 h;
    LaserParam co2;
    co2.laserType = LASER_TYPE_0;
    co2.preionEnable = 1;
    co2.dutySwitch = 1;
    co2.preionFreq = 5;   // 9600 counts
    co2.preionWidth = 2;  // 96 counts
    co2.dutyA = 25;       // of P = 2400: 600
    co2.dutyB = 12.5f;    // 300
    h.e5().sendCO2PreionFPS(co2, 20);
    LaserParam fiber;
    fiber.laserType = LASER_TYPE_2;
    h.e5().sendCO2PreionFPS(fiber, 20);  // queued without parameters
    LaserParam q;
    q.laserType = LASER_TYPE_4;
    q.fpsEnable4 = 1;
    q.fpsValue4 = 0x1234;
    h.e5().sendPreionFPS(q);
    q.fpsOption4 = 1;
    h.e5().sendPreionFPS(q);
    h.e5().sendPreionFPS(co2);  // type 0 has no FPS: nothing
    EXPECT_THAT(h.packets(),
                ElementsAre(ElementsAre(0x02, 0x17, 0x03, 0, 0x25, 0x80, 0x00, 0x60, 0x02, 0x58, 0x01, 0x2C),
                            ElementsAre(0x02, 0x17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x02, 0x18, 7, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x02, 0x18, 3, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(List5, RedLightAndProtocol7OnlySignalsStaySilent) {
    Harness5 h;
    h.e5().sendRedSignal(true);
    EXPECT_TRUE(h.e5().setRedSignal(true));
    h.e5().sendAPSignal(true);
    h.e5().sendPRRSignal(LASER_TYPE_2, 20, 1);
    h.e5().sendPWMSignal(LaserParam(), 20, 10, false, false);
    h.e5().sendLaserEffectTime(5);
    EXPECT_THAT(h.packets(), IsEmpty());
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(List5, SpiModeTextGoesOnlyToSubType11Boards) {
    Harness5 h;
    EXPECT_TRUE(h.e5().setSPIMode(2));
    EXPECT_TRUE(h.transfer.exchanges.empty());

    h.e5().setSubType(11);
    EXPECT_TRUE(h.e5().setSPIMode(2));
    EXPECT_THAT(h.transfer.requests(),
                ElementsAre(ElementsAre(0x01, 0xA2, 0x80, 0x80, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x01, 0xA0, 0x06, 0x00, 0x53, 0x4D, 0x20, 0x32, 0x0D, 0x0A, 0, 0),
                            ElementsAre(0x01, 0xA1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x01, 0xA2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)));
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(200, 200));

    h.transfer.exchanges.clear();
    h.transfer.failExchange(2);
    EXPECT_FALSE(h.e5().setSPIMode(1));
    EXPECT_EQ(h.transfer.exchanges.size(), 4u);  // all four are sent even after a failure
}
