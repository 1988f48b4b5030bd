#include "executor/platform/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logger::setSink([this](int level, const std::string& tag, const std::string& line) {
            m_lines.push_back(std::to_string(level) + " " + tag + ": " + line);
        });
    }
    void TearDown() override {
        Logger::setSink(nullptr);
        Logger::setMinLevel(Logger::kWarning);
    }

    std::vector<std::string> m_lines;
};

// Wide text: each UTF-8 length at both ends, then (with 32-bit wchar_t) values past the range and
// lone surrogates as U+FFFD, their neighbours kept.
TEST_F(LoggerTest, SinkGetsOneFinishedLineAtOrAboveTheMinimumLevel) {
    const uint8_t bytes[] = {0xAA, 0x10, 0x00, 0xFF};
    const std::string longText(1500, 'x');
    std::wstring wide = L"A\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
    std::string utf8 = "A\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    if (sizeof(wchar_t) == 4) {
        for (uint32_t c : {0x110000u, 0xD800u, 0xDFFFu, 0xD7FFu, 0xE000u}) wide += wchar_t(c);
        utf8 += "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xED\x9F\xBF\xEE\x80\x80";
    }
    Logger(Logger::kError, "Executor").write("fail ").write(-5).write(" ").write(4000000000u).write(-9000000000LL);
    Logger(Logger::kWarning, "t").write("rx: ").write(bytes, sizeof bytes).write(bytes, 0).write(nullptr, 3);
    Logger(Logger::kWarning, "t").write(static_cast<const char*>(nullptr)).printf("%s|%05.1f", longText.c_str(), 2.5);
    Logger(Logger::kError, "w").write(wide.c_str()).write(wide);
    Logger(Logger::kInfo, "t").write("below the minimum");
    Logger::setMinLevel(Logger::kDebug);
    Logger(Logger::kDebug, nullptr).write(std::string("debug"));
    EXPECT_EQ(m_lines,
              (std::vector<std::string>{"3 Executor: fail -5 4000000000-9000000000", "2 t: rx: AA 10 00 FF",
                                        "2 t: (null)" + longText + "|002.5", "3 w: " + utf8 + utf8, "0 : debug"}));
}

TEST_F(LoggerTest, DefaultSinkWritesOneLineWithTheLevelLetterToStderr) {
    Logger::setSink(nullptr);
    Logger::setMinLevel(Logger::kDebug);
    ::testing::internal::CaptureStderr();
    for (int level : {Logger::kDebug, Logger::kInfo, Logger::kWarning, Logger::kError}) {
        Logger(level, "Executor").write(level);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[D] Executor: 0\n[I] Executor: 1\n[W] Executor: 2\n[E] Executor: 3\n");
}

// A sink that notices being entered while already running; yielding widens the window.
TEST_F(LoggerTest, SinkCallsFromSeveralThreadsAreSerialised) {
    std::atomic<bool> inside{false}, overlapped{false};
    std::atomic<int> count{0};
    Logger::setSink([&](int, const std::string&, const std::string&) {
        overlapped = overlapped || inside.exchange(true);
        std::this_thread::yield();
        ++count;
        inside = false;
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) Logger(Logger::kError, "t").write(i);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(count, 2000);
}

}  // namespace
