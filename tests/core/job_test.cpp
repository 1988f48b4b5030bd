#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "support/harness.h"

// A whole small job on a scripted board: connect, describe the lens, mark a square in millimetres
// through the box-calibrated path, stream it, wait for the board to finish, disconnect.
TEST(Job, SquareThroughTheCalibratedPathStreamsAndFinishes) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);

    TarnParam lens;
    lens.galvo.fieldSize = 100;
    lens.galvo.setResolution(65535);
    MarkCtrlData ctrl;
    ctrl.markType = 0;  // calibrated

    ASSERT_TRUE(h.executor->setStartMark());
    h.e7().sendLenPara(lens, false, ctrl.markType);
    const Point2dConcept<double> square[] = {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}, {-10, -10}};
    h.executor->gotoPositionAbs(lens, square[0], 100, 10, ctrl);
    for (int i = 1; i < 5; ++i) h.executor->linetoPositionAbs(lens, square[i], 200, 0, ctrl);

    // Room for the frame, then the job runs for two polls and ends.
    h.transfer.answerSequence(op7::kDevState, {stateReply7(4095, false, 3), stateReply7(4095, false, 3),
                                               stateReply7(4095, false, 3), stateReply7(4095, true, 1)});
    ASSERT_TRUE(h.executor->exeCurCmd(true));

    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 6u);
    EXPECT_EQ(FakeTransfer::opcodeOf(packets[0]), op7::kLenPara.opcode);
    EXPECT_EQ(FakeTransfer::opcodeOf(packets[1]), op7::kMoveToAbs.opcode);
    for (int i = 0; i < 5; ++i) {
        const Bytes& p = packets[static_cast<size_t>(i + 1)];
        if (i > 0) {
            EXPECT_EQ(FakeTransfer::opcodeOf(p), op7::kLineToAbs.opcode);
        }
        // Neutral box coefficients: within one unit of 655.35 units per millimetre around the centre.
        const double x = p[8] << 16 | p[9] << 8 | p[10];
        const double y = p[11] << 16 | p[12] << 8 | p[13];
        EXPECT_NEAR(x, 32768 + square[i].x * 655.35, 1.0) << i;
        EXPECT_NEAR(y, 32768 + square[i].y * 655.35, 1.0) << i;
    }
    EXPECT_EQ(h.transfer.requestsFor(op7::kDevState).size(), 1u + 1u + 3u);  // init, room, job polls

    EXPECT_TRUE(h.executor->unInit());
    EXPECT_FALSE(h.transfer.open);
}
