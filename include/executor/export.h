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
