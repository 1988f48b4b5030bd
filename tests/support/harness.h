#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "executor/core/executor.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"
#include "support/bytes.h"
#include "support/fake_transfer.h"
#include "support/recorders.h"

// An executor on a fake transport, with pauses and log lines recorded.
struct Harness {
    explicit Harness(BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7)
        : Harness(std::unique_ptr<Executor>(Executor::create(BOARD_TYPE_PROTOCOL7, protocol))) {}
    // For test subclasses of the executors.
    explicit Harness(std::unique_ptr<Executor> e) : executor(std::move(e)) { executor->setTransfer(&transfer); }

    Executor7& e7() { return dynamic_cast<Executor7&>(*executor); }

    // A protocol 7 board that runs its application, has room and is idle.
    void healthyBoard7() {
        transfer.answer(op7::kBoardMode, replyWith(4, {{2, 0x04}}));
        transfer.answer(op7::kDevState, stateReply7(4095, true));
    }

    // Connects on the transport as it is scripted; returns the init result.
    SdkError connect(bool goOnline = false, bool moveToCenter = false) {
        return executor->init(devPar, goOnline, moveToCenter);
    }

    // Healthy board, connected, marking started: list commands now reach the board.
    void running7() {
        healthyBoard7();
        ASSERT_EQ(connect(), SDK_OK);
        ASSERT_TRUE(executor->setRun());
        transfer.exchanges.clear();
        transfer.calls.clear();
        sleeps.pauses.clear();
    }

    // Flushes the list and returns every list packet delivered so far (see packetsOf).
    std::vector<Bytes> flushPackets(size_t packetLen = 0) {
        executor->exeCurCmd(false);
        std::vector<Bytes> packets;
        for (const Bytes& frame : transfer.frames()) {
            const std::vector<Bytes> more = packetsOf(frame, packetLen);
            packets.insert(packets.end(), more.begin(), more.end());
        }
        return packets;
    }

    LogRecorder log;
    SleepRecorder sleeps;
    FakeTransfer transfer;
    DevPar devPar;
    std::unique_ptr<Executor> executor;
};

// A harness whose protocol 7 board is connected and marking.
struct Running7 : Harness {
    Running7() { running7(); }
};
