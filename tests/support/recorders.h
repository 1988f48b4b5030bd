#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "executor/platform/logger.h"
#include "executor/platform/thread.h"

// Collects every log line while alive; restores the default sink and level afterwards.
class LogRecorder {
public:
    struct Entry {
        int level;
        std::string tag;
        std::string line;
    };

    LogRecorder() {
        Logger::setMinLevel(0);
        Logger::setSink([this](int level, const std::string& tag, const std::string& line) {
            entries.push_back(Entry{level, tag, line});
        });
    }
    ~LogRecorder() {
        Logger::setSink({});
        Logger::setMinLevel(Logger::kWarning);
    }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const Entry& e : entries) out.push_back(e.line);
        return out;
    }
    bool contains(const std::string& line) const {
        for (const Entry& e : entries)
            if (e.line == line) return true;
        return false;
    }

    std::vector<Entry> entries;
};

// Replaces real sleeping while alive and records every pause; onSleep may act on each one
// (for example stop a run from "another thread").
class SleepRecorder {
public:
    SleepRecorder() {
        utils::Thread::setSleepHook([this](uint32_t ms) {
            pauses.push_back(ms);
            if (onSleep) onSleep(ms);
        });
    }
    ~SleepRecorder() { utils::Thread::setSleepHook({}); }
    SleepRecorder(const SleepRecorder&) = delete;
    SleepRecorder& operator=(const SleepRecorder&) = delete;

    uint64_t total() const {
        uint64_t sum = 0;
        for (uint32_t ms : pauses) sum += ms;
        return sum;
    }

    std::vector<uint32_t> pauses;
    std::function<void(uint32_t)> onSleep;
};
