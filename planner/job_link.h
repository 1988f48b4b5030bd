#pragma once
// The transport an executor talks through while the planner runs a job. It passes every call on
// and watches them: once the job is cancelled or has made no progress for too long, every call
// fails at once, so no wait inside the library outlasts the deadline; and it keeps what went
// wrong (a call without answer, a refused flash write) for the one line that reports it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "executor/transfer/forwarding_transfer.h"

namespace planner {

class JobLink : public ForwardingTransfer {
public:
    using Clock = std::chrono::steady_clock;
    enum class Trip { None, Cancelled, Stalled, PastDeadline };

    JobLink(Transfer& inner, const std::atomic<bool>* cancel, Clock::duration noProgress, Clock::time_point deadline);

    // The board did something: the no-progress clock starts again.
    void progress();
    // Cancelled, stalled or past the deadline; checked afresh on every call.
    Trip trip();
    // Lets calls through again after a trip, to stop the board.
    void release() { m_released = true; }

    // Told the number of pages stored after each page the board took.
    std::function<void(uint64_t pages)> pageObserver;

    uint64_t failures() const { return m_failures; }       // calls the transport failed
    uint64_t flashRefusals() const { return m_refusals; }  // erases and page writes the board refused
    uint64_t pagesWritten() const { return m_pages; }
    const std::string& firstFailure() const { return m_firstFailure; }

    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override;

private:
    bool blocked();

    const std::atomic<bool>* m_cancel;
    Clock::duration m_noProgress;
    Clock::time_point m_lastProgress;
    Clock::time_point m_deadline;
    Trip m_trip = Trip::None;
    bool m_released = false;
    uint64_t m_failures = 0;
    uint64_t m_refusals = 0;
    uint64_t m_pages = 0;
    std::string m_firstFailure;
};

}  // namespace planner
