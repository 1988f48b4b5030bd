#include "core/log.h"
#include "executor/core/executor.h"

// Accessors of the cached status records, shared by both protocols.

bool Executor::getDevOfflineState(bool refresh) {
    if (refresh && !getDevState(m_devState, true)) return false;
    return m_devState.offline;
}

bool Executor::getDevFlashState(bool refresh) {
    if (refresh && !getDevState(m_devState, true)) return false;
    return m_devState.flashState;
}

bool Executor::getMarkCount(bool refresh, uint32_t& count) {
    if (refresh && !getDevState(m_devState, true)) {
        count = 0;
        return false;
    }
    count = m_devState.markCount;
    return true;
}

bool Executor::getLaserState(uint8_t& state) {
    if (!getDevExtState(m_devExtState, true)) return false;
    state = m_devExtState.laserState;
    return true;
}

bool Executor::getInPortState(uint32_t& state, bool refresh) {
    if (refresh && !getDevState(m_devState, true)) {
        state = 65535;
        return false;
    }
    state = m_devState.inputs;
    return true;
}

bool Executor::getOutPortState(uint32_t& state, bool refresh) {
    if (refresh && !getDevState(m_devState, true)) {
        state = 0;
        return false;
    }
    state = m_devState.outputs;
    return true;
}

bool Executor::isStopRun() { return m_stopRun; }

bool Executor::setStartMark() {
    if (!isBindByMe()) {
        logError("Executor::setStartMark fail not BindByMe");
        return false;
    }
    // Commands queued before the last reset are stale.
    if (m_stopRun) clearCmdList();
    return setRun();
}

bool Executor::setStopMark() {
    if (!isBindByMe()) {
        logError("Executor::setStopMark fail not BindByMe");
        return false;
    }
    clearCmdList();
    return setReset();
}
