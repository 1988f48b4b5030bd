#pragma once

#include "executor/platform/logger.h"

// Every message of the library carries this tag.
constexpr const char* kLogTag = "Executor";

inline void logError(const char* text) { Logger(Logger::kError, kLogTag).write(text); }
inline void logError(const wchar_t* text) { Logger(Logger::kError, kLogTag).write(text); }
inline void logInfo(const char* text) { Logger(Logger::kInfo, kLogTag).write(text); }

// Operations whose board support has not been built yet say so instead of failing silently.
inline void logUnavailable(const char* operation) {
    Logger(Logger::kError, kLogTag).write(operation).write(" not supported by this build");
}
