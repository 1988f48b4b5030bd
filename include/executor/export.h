#pragma once

// Symbols are hidden by default; only what carries EXECUTOR_API is exported.
#if defined(_WIN32)
#if defined(EXECUTOR_BUILDING)
#define EXECUTOR_API __declspec(dllexport)
#else
#define EXECUTOR_API __declspec(dllimport)
#endif
#else
#define EXECUTOR_API __attribute__((visibility("default")))
#endif

// Lets GCC and Clang check printf/scanf-style arguments; other compilers take the header as it is.
#if defined(__GNUC__) || defined(__clang__)
#define EXECUTOR_FORMAT(kind, formatIndex, firstArg) __attribute__((format(kind, formatIndex, firstArg)))
#else
#define EXECUTOR_FORMAT(kind, formatIndex, firstArg)
#endif
