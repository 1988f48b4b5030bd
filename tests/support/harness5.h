#pragma once

#include <memory>
#include <vector>

#include "proto5/executor5.h"
#include "support/harness.h"

// A protocol 5 executor whose board runs its application and starts on request, so list
// packets reach the fake transport.
struct Streaming5 : Executor5 {
    BoardMode getBoardMode() override { return BOARD_MODE_APPLICATION; }
    bool setRun() override {
        m_stopRun = false;
        return true;
    }
    bool getDevState(DevBaseState& state, bool /*refresh*/) override {
        state = m_devState;  // the initial cache reports room
        return true;
    }
    void setSubType(BOARD_TYPE_SUB sub) { m_boardTypeSub = sub; }
};

struct Harness5 : Harness {
    Harness5() : Harness(std::make_unique<Streaming5>()) {
        connect();
        executor->setRun();
        transfer.exchanges.clear();
        sleeps.pauses.clear();
    }
    Streaming5& e5() { return static_cast<Streaming5&>(*executor); }
    std::vector<Bytes> packets() { return flushPackets(12); }
};
