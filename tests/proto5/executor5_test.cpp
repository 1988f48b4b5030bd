#include <gtest/gtest.h>

#include "support/harness.h"

// Until protocol 5 support lands, its operations must fail loudly and leave the board alone.
TEST(Executor5Pending, OperationsFailWithoutTrafficAndSaySo) {
    Harness h(BOARD_PROTOCOL_5);
    DevBaseState s;
    EXPECT_FALSE(h.executor->getDevState(s, true));
    EXPECT_FALSE(h.executor->setReset());
    EXPECT_EQ(h.executor->getBoardMode(), BOARD_MODE_NO_ANSWER);
    EXPECT_FALSE(h.executor->setOutPortState(1, true, 0));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_TRUE(h.log.contains("Executor5::getDevState not supported by this build"));
    EXPECT_TRUE(h.log.contains("Executor5::setOutPortState not supported by this build"));
}

TEST(Executor5Pending, SharedOperationsStillWork) {
    Harness h(BOARD_PROTOCOL_5);
    h.transfer.answer(0x0123, Bytes{0x01, 0x23});
    BOARD_PROTOCOL p = -1;
    ASSERT_TRUE(Executor::getProtocol(&h.transfer, p));
    EXPECT_EQ(p, BOARD_PROTOCOL_5);
    EXPECT_TRUE(h.executor->isBindByMe());
    EXPECT_TRUE(h.executor->exeCurCmd(false));  // stopped: nothing to send
    DevInfo info;
    EXPECT_TRUE(h.executor->getDevInfo(info));
}
