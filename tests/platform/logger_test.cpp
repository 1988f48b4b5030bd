#include "executor/platform/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Record {
    int level;
    std::string tag;
    std::string line;
};

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logger::setSink([this](int level, const std::string& tag, const std::string& line) {
            m_records.push_back({level, tag, line});
        });
    }
    void TearDown() override {
        Logger::setSink(nullptr);
        Logger::setMinLevel(Logger::kWarning);
    }

    std::vector<Record> m_records;
};

TEST_F(LoggerTest, SinkReceivesLevelTagAndFinishedLine) {
    Logger(Logger::kError, "Executor")
        .write("openDev fail ")
        .write(-5)
        .write(" ")
        .write(4000000000u)
        .write(std::string(" "))
        .write(-9000000000LL);
    ASSERT_EQ(m_records.size(), 1u);
    EXPECT_EQ(m_records[0].level, 3);
    EXPECT_EQ(m_records[0].tag, "Executor");
    EXPECT_EQ(m_records[0].line, "openDev fail -5 4000000000 -9000000000");
}

TEST_F(LoggerTest, MinLevelFilters) {
    EXPECT_EQ(Logger::minLevel(), Logger::kWarning);
    Logger(Logger::kInfo, "t").write("dropped");
    Logger(Logger::kWarning, "t").write("kept");
    Logger::setMinLevel(Logger::kDebug);
    Logger(Logger::kDebug, "t").write("debug");
    ASSERT_EQ(m_records.size(), 2u);
    EXPECT_EQ(m_records[0].line, "kept");
    EXPECT_EQ(m_records[1].line, "debug");
}

TEST_F(LoggerTest, WideTextBecomesUtf8) {
    struct Case {
        std::wstring text;
        std::string utf8;
    };
    std::vector<Case> cases = {
        {L"板卡", "\xE6\x9D\xBF\xE5\x8D\xA1"},
        {L"A\u00E9", "A\xC3\xA9"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
    };
    if (sizeof(wchar_t) == 4) {
        cases.push_back({std::wstring(1, static_cast<wchar_t>(0x110000)), "\xEF\xBF\xBD"});
        cases.push_back({std::wstring(1, static_cast<wchar_t>(0xD800)), "\xEF\xBF\xBD"});
    }
    for (const Case& c : cases) {
        Logger(Logger::kError, "t").write(c.text.c_str());
        Logger(Logger::kError, "t").write(c.text);
    }
    ASSERT_EQ(m_records.size(), cases.size() * 2);
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(m_records[2 * i].line, cases[i].utf8) << "case " << i;
        EXPECT_EQ(m_records[2 * i + 1].line, cases[i].utf8) << "case " << i;
    }
}

TEST_F(LoggerTest, ByteBlockAsSpacedHex) {
    const uint8_t data[] = {0xAA, 0x10, 0x00, 0x01, 0xff};
    Logger(Logger::kError, "t").write("rx: ").write(data, sizeof(data));
    Logger(Logger::kError, "t").write(data, 0);
    ASSERT_EQ(m_records.size(), 2u);
    EXPECT_EQ(m_records[0].line, "rx: AA 10 00 01 FF");
    EXPECT_EQ(m_records[1].line, "");
}

TEST_F(LoggerTest, PrintfIsNotTruncated) {
    const std::string longText(1500, 'x');
    Logger(Logger::kError, "t").write("head ").printf("%s|%d|%05.1f", longText.c_str(), 42, 2.5);
    ASSERT_EQ(m_records.size(), 1u);
    EXPECT_EQ(m_records[0].line, "head " + longText + "|42|002.5");
}

TEST_F(LoggerTest, DefaultSinkWritesOneLineToStderr) {
    Logger::setSink(nullptr);
    ::testing::internal::CaptureStderr();
    Logger(Logger::kError, "Executor").write("init fail");
    Logger(Logger::kWarning, "Executor").write("slow");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[E] Executor: init fail\n[W] Executor: slow\n");
}

TEST_F(LoggerTest, SinkCallsFromSeveralThreadsAreSerialised) {
    // A sink that notices being entered while already running; yielding widens the window.
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};
    std::atomic<int> count{0};
    Logger::setSink([&](int, const std::string&, const std::string&) {
        if (inside.exchange(true)) overlapped = true;
        std::this_thread::yield();
        ++count;
        inside = false;
    });
    const int kThreads = 4;
    const int kMessages = 500;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i) Logger(Logger::kError, "t").write(t).write(":").write(i);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(count, kThreads * kMessages);
}

}  // namespace
