#include "job_link.h"

#include <string>

#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"

namespace planner {

namespace {

uint16_t opcodeOf(const uint8_t* request, uint32_t length) {
    return length >= 2 ? static_cast<uint16_t>(request[0] << 8 | request[1]) : 0;
}

// Both board generations answer a flash erase or page write with a status byte, 0 for done.
bool isFlashWrite(uint16_t opcode) {
    return opcode == op7::kOfflineWritePage || opcode == op7::kOfflineClearFile || opcode == op5::kOfflineWritePage ||
           opcode == op5::kOfflineClearFile;
}

bool isPageWrite(uint16_t opcode) { return opcode == op7::kOfflineWritePage || opcode == op5::kOfflineWritePage; }

// What the user is told a request was, for the few a job sends.
const char* requestName(uint16_t opcode) {
    switch (opcode) {
        case op7::kDevState:
        case op5::kDevState:
            return "status request";
        case op7::kRunState:
        case op5::kRun:
        case op5::kReset:
            return "run control request";
        case op7::kOfflineWritePage:
        case op5::kOfflineWritePage:
            return "flash page write";
        case op7::kOfflineClearFile:
        case op5::kOfflineClearFile:
            return "flash erase";
        default:
            return "request";
    }
}

}  // namespace

JobLink::JobLink(Transfer& inner, const std::atomic<bool>* cancel, Clock::duration noProgress,
                 Clock::time_point deadline)
    : ForwardingTransfer(inner),
      m_cancel(cancel),
      m_noProgress(noProgress),
      m_lastProgress(Clock::now()),
      m_deadline(deadline) {}

void JobLink::progress() { m_lastProgress = Clock::now(); }

JobLink::Trip JobLink::trip() {
    if (m_trip != Trip::None) return m_trip;
    if (m_cancel != nullptr && m_cancel->load()) {
        m_trip = Trip::Cancelled;
    } else if (Clock::now() > m_deadline) {
        m_trip = Trip::PastDeadline;
    } else if (Clock::now() - m_lastProgress > m_noProgress) {
        m_trip = Trip::Stalled;
    }
    return m_trip;
}

bool JobLink::blocked() { return trip() != Trip::None && !m_released; }

bool JobLink::ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                              bool flag) {
    if (blocked()) return false;
    const uint16_t opcode = opcodeOf(request, requestLen);
    const uint32_t capacity = replyLen != nullptr ? *replyLen : 0;
    if (!ForwardingTransfer::ReadAndWriteCmd(request, requestLen, reply, replyLen, flag)) {
        if (m_failures++ == 0) m_firstFailure = std::string("no answer to a ") + requestName(opcode);
        return false;
    }
    if (isFlashWrite(opcode)) {
        const bool answered = reply != nullptr && replyLen != nullptr && *replyLen > 2 && capacity > 2;
        if (!answered || reply[2] != 0) {
            ++m_refusals;
        } else if (isPageWrite(opcode)) {
            ++m_pages;
            progress();
            if (pageObserver) pageObserver(m_pages);
        }
    }
    return true;
}

bool JobLink::ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen, bool flag) {
    if (blocked()) return false;
    if (!ForwardingTransfer::ReadAndWriteData(frame, frameLen, reply, replyLen, flag)) {
        if (m_failures++ == 0) m_firstFailure = "no answer to a frame";
        return false;
    }
    progress();
    return true;
}

}  // namespace planner
