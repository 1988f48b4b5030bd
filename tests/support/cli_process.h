#pragma once

// The executor-cli program started by a test, standard output and error to files, so a test can
// act on the board or the program while it runs and then read what it said.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/sim_process.h"

struct CliRun {
    int status = -1;  // exit status; 128 + N when killed by signal N
    std::string out;
    std::string err;
};

class CliProcess {
public:
    // Only keeps a hanging program from hanging the run.
    static constexpr int kHangGuardMs = 60000;

    explicit CliProcess(std::vector<std::string> args) {
        const std::string stem = ::testing::TempDir() + "cli-" + std::to_string(getpid()) + "-" +
                                 std::to_string(reinterpret_cast<uintptr_t>(this));
        m_outPath = stem + ".out";
        m_errPath = stem + ".err";
        args.insert(args.begin(), EXECUTOR_CLI_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliProcess() {
        if (m_pid > 0 && kill(m_pid, SIGKILL) == 0) waitpid(m_pid, nullptr, 0);
        std::remove(m_outPath.c_str());
        std::remove(m_errPath.c_str());
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Not yet exited; the exit status stays for finish().
    bool running() const {
        siginfo_t info{};
        return m_pid > 0 && waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }
    // Waits for the end (killing a program that outlives the guard) and collects its output.
    CliRun finish() {
        CliRun run;
        int status = 0;
        for (int waited = 0; m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == 0; waited += 10) {
            if (waited >= kHangGuardMs) kill(m_pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (m_pid > 0) run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
        run.out = readFile(m_outPath);
        run.err = readFile(m_errPath);
        return run;
    }

private:
    pid_t m_pid = -1;
    std::string m_outPath, m_errPath;
};

// Runs executor-cli with args (no shell) to its end.
inline CliRun cli(std::vector<std::string> args) { return CliProcess(std::move(args)).finish(); }
