#include <gtest/gtest.h>

#include <vector>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "support/bytes.h"
#include "support/sim_job.h"

namespace {

using sim_job::markSquare;
using sim_job::SimRig;

// Jumps and marks only, without their start times: what a person would see marked.
std::vector<sim::TraceEvent> geometry(const sim::Trace& trace) {
    std::vector<sim::TraceEvent> out;
    for (sim::TraceEvent e : trace.events) {
        if (e.kind != sim::TraceEvent::kJump && e.kind != sim::TraceEvent::kMark) continue;
        e.startTick = 0;
        out.push_back(e);
    }
    return out;
}

}  // namespace

class EndToEnd : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(EndToEnd, SquareJobIsMarkedWhereTheMillimetresSay) {
    SimRig rig(GetParam());
    ASSERT_EQ(rig.init(), SDK_OK);
    markSquare(*rig.executor);
    ASSERT_TRUE(rig.executor->exeCurCmd(true));
    EXPECT_TRUE(rig.executor->unInit());

    const sim::Trace trace = rig.board.trace();
    EXPECT_EQ(rig.board.errors().total(), 0u);
    ASSERT_EQ(trace.marks(), 4u);
    const auto shape = geometry(trace);
    const sim::TraceEvent& last = shape.back();
    // 10 mm * 655.35 = 6553.5, rounded away from zero.
    EXPECT_EQ(last.x1, 32768 - 6554);
    EXPECT_EQ(last.y1, 32768 - 6554);
    EXPECT_EQ(last.ticks, 200u);
    EXPECT_NEAR(trace.markedLength(), 4 * 2 * 6554, 8);
    for (const auto& e : shape) {
        if (e.kind == sim::TraceEvent::kMark) {
            EXPECT_NE(e.laser.pwmPeriod, 0u);
        }
    }
}

TEST_P(EndToEnd, NetworkLinkBindsAndMarksTheSame) {
    SimRig direct(GetParam());
    ASSERT_EQ(direct.init(), SDK_OK);
    markSquare(*direct.executor);
    direct.executor->exeCurCmd(true);

    SimRig net(GetParam(), sim::SimConfig(), true);
    ASSERT_EQ(net.init(), SDK_OK);
    EXPECT_TRUE(net.executor->isBindByMe());
    markSquare(*net.executor);
    net.executor->exeCurCmd(true);
    EXPECT_EQ(geometry(net.board.trace()), geometry(direct.board.trace()));
}

TEST_P(EndToEnd, OfflineProgramRunsLikeTheOnlineJob) {
    SimRig online(GetParam());
    ASSERT_EQ(online.init(), SDK_OK);
    markSquare(*online.executor);
    online.executor->exeCurCmd(true);

    SimRig offline(GetParam());
    ASSERT_EQ(offline.init(), SDK_OK);
    offline.executor->setOfflineMode(true);
    markSquare(*offline.executor);
    SdkError err = SDK_OK;
    ASSERT_TRUE(offline.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OK);
    EXPECT_TRUE(offline.board.trace().marks() == 0u);  // nothing ran while downloading
    ASSERT_TRUE(offline.board.runOfflineProgram());
    EXPECT_EQ(geometry(offline.board.trace()), geometry(online.board.trace()));
}

TEST_P(EndToEnd, UserDataRoundTripThroughParameterMemory) {
    SimRig rig(GetParam());
    ASSERT_EQ(rig.init(), SDK_OK);
    uint32_t dataAddr = 0, size = 0;
    ASSERT_TRUE(rig.executor->getUserRamInfo(dataAddr, size));
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(rig.executor->writeUserData(data.data(), static_cast<uint32_t>(data.size())));
    uint32_t stored = 0;
    ASSERT_TRUE(rig.executor->getUserDataSize(stored));
    EXPECT_EQ(stored, data.size());
    std::vector<uint8_t> back(data.size());
    ASSERT_TRUE(rig.executor->readUserData(back.data(), static_cast<uint32_t>(back.size())));
    EXPECT_EQ(back, data);
    EXPECT_TRUE(rig.log.contains("EEPROM read data crc OK"));
}

TEST_P(EndToEnd, UserPortLoopsBackWhatWasWritten) {
    SimRig rig(GetParam());
    const uint8_t out[3] = {1, 2, 3};
    EXPECT_FALSE(rig.link.writeData(out, 3, 0));  // not open yet
    ASSERT_TRUE(rig.link.openDev());
    ASSERT_TRUE(rig.link.writeData(out, 3, 0));
    uint8_t in[8] = {};
    int32_t length = 0;
    ASSERT_TRUE(rig.link.readData(0, in, 2, &length, nullptr, nullptr, false));
    ASSERT_TRUE(rig.link.readData(0, in + 2, 6, &length, nullptr, nullptr, false));
    EXPECT_EQ(length, 1);
    EXPECT_EQ(Bytes(in, in + 4), (Bytes{1, 2, 3, 0}));
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, EndToEnd, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         [](const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
                             return info.param == BOARD_PROTOCOL_7 ? std::string("Protocol7")
                                                                   : std::string("Protocol5");
                         });
