#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "executor/export.h"

// One log message, built piece by piece and emitted when the Logger is destroyed:
//
//     Logger(3, "Executor").write("Executor::init openDev fail");
//
// Levels: 0 debug, 1 information, 2 warning, 3 error. Messages below the minimum level are
// dropped. The default sink writes "[level] tag: line" to standard error; a host may install
// its own sink to route messages elsewhere.
class EXECUTOR_API Logger {
public:
    enum Level { kDebug = 0, kInfo = 1, kWarning = 2, kError = 3 };
    using Sink = std::function<void(int level, const std::string& tag, const std::string& line)>;

    Logger(int level, const char* tag);
    ~Logger();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Appends printf-formatted text.
    Logger& printf(const char* format, ...) EXECUTOR_FORMAT(printf, 2, 3);
    Logger& write(const char* text);
    Logger& write(const std::string& text);
    // Wide text is appended as UTF-8.
    Logger& write(const wchar_t* text);
    Logger& write(const std::wstring& text);
    Logger& write(int value);
    Logger& write(unsigned int value);
    Logger& write(long value);
    Logger& write(unsigned long value);
    Logger& write(long long value);
    Logger& write(unsigned long long value);
    // A byte block, as two-digit upper-case hex separated by spaces.
    Logger& write(const uint8_t* data, size_t length);

    // Installs a sink for every later message; an empty function restores the default.
    static void setSink(Sink sink);
    // Messages below this level are dropped (default: warnings and errors).
    static void setMinLevel(int level);
    static int minLevel();

private:
    int m_level;
    std::string m_tag;
    std::string m_line;
};
