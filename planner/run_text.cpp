#include <string>

#include "executor/planner/run.h"

namespace planner {

namespace {

std::string ofMarks(const RunResult& r) {
    return std::to_string(r.marksDone) + " of " + std::to_string(r.marksPlanned) + " marks";
}

std::string ofPages(const RunResult& r) {
    return std::to_string(r.pagesStored) + " of " + std::to_string(r.pagesPlanned) + " pages";
}

}  // namespace

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Finished:
            return "finished";
        case Outcome::Stopped:
            return "stopped";
        case Outcome::BoardLost:
            return "board lost";
        case Outcome::Refused:
            return "refused";
        case Outcome::NotConnected:
            return "not connected";
        case Outcome::NotBound:
            return "not bound";
        case Outcome::TimedOut:
            return "timed out";
        case Outcome::CutShort:
            return "cut short";
        case Outcome::TooBig:
            return "too big";
    }
    return "unknown outcome";
}

const char* sdkErrorText(SdkError error) {
    switch (error) {
        case SDK_OK:
            return "done";
        case SDK_NOT_ENABLED:
            return "the board did not start its application, or the executor is disabled";
        case SDK_NOT_OFFLINE:
            return "the executor is not in offline mode";
        case SDK_BIND_FAIL:
            return "binding the board failed (it may be bound to another host)";
        case SDK_NOT_BIND_BY_ME:
            return "the board is bound to another host";
        case SDK_OFFLINE_TOO_BIG:
            return "the offline program is larger than the board's flash";
        case SDK_OFFLINE_NO_DATA:
            return "there is no offline program to store";
        case SDK_TRANSFER_NULL:
            return "no transport was given";
        case SDK_OPEN_FAIL:
            return "the transport could not be opened";
    }
    return "unknown result code";
}

std::string RunResult::message() const {
    const bool offline = pagesPlanned != 0 || outcome == Outcome::TooBig;
    std::string line = outcomeName(outcome);
    const std::string why = detail.empty() ? "" : " (" + detail + ")";
    switch (outcome) {
        case Outcome::Finished:
            return line + ": " + (offline ? "stored " + ofPages(*this) : ofMarks(*this));
        case Outcome::TooBig:
            return line + ": the job needs " + std::to_string(imageBytes) + " bytes of flash, the board has " +
                   std::to_string(flashBytes) + why;
        case Outcome::NotConnected:
        case Outcome::NotBound:
            return line + why + ", nothing sent";
        default:
            break;
    }
    if (offline) return line + why + ": stored " + ofPages(*this) + "; the program in flash is incomplete";
    // A board that stopped answering may have run more than it confirmed; one that lost a piece
    // of the job counted the checkpoints after the gap too.
    const char* bound = outcome == Outcome::BoardLost ? "at least " : outcome == Outcome::CutShort ? "at most " : "";
    return line + why + ": " + bound + ofMarks(*this);
}

}  // namespace planner
