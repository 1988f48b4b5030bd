#pragma once

// The executor-sim program started by a test: stdout on a pipe, stderr dropped, killed if the
// test leaves it running.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

class SimProcess {
public:
    // Only keeps a broken program from hanging the run; nothing waits this long when things work.
    static constexpr int kHangGuardMs = 10000;

    explicit SimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), EXECUTOR_SIM_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
    }
    ~SimProcess() {
        if (m_pid > 0 && kill(m_pid, SIGKILL) == 0) waitpid(m_pid, nullptr, 0);
        close(m_out);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // One line of output without its newline; empty at the end of the output.
    std::string readLine() {
        for (size_t nl = m_buffer.find('\n'); nl == std::string::npos; nl = m_buffer.find('\n')) {
            pollfd p{m_out, POLLIN, 0};
            char chunk[256];
            const ssize_t got = poll(&p, 1, kHangGuardMs) > 0 ? read(m_out, chunk, sizeof(chunk)) : 0;
            if (got <= 0) return std::exchange(m_buffer, std::string());
            m_buffer.append(chunk, static_cast<size_t>(got));
        }
        const size_t nl = m_buffer.find('\n');
        const std::string line = m_buffer.substr(0, nl);
        m_buffer.erase(0, nl + 1);
        return line;
    }
    // The port from the first line, 0 if the program did not start serving.
    uint16_t listeningPort() {
        const std::string prefix = "listening on 127.0.0.1:";
        const std::string line = readLine();
        return line.rfind(prefix, 0) == 0 ? static_cast<uint16_t>(std::stoi(line.substr(prefix.size()))) : 0;
    }
    // Once the output has ended: the exit status, or -1.
    int exitStatus() {
        int status = 0;
        if (!readLine().empty() || waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Ends the program, which writes its trace files first; true when it exited cleanly.
    bool stop() {
        int status = 0;
        if (m_pid <= 0 || kill(m_pid, SIGTERM) != 0 || waitpid(m_pid, &status, 0) != m_pid) return false;
        m_pid = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

// Marks in a trace written as JSON events.
inline size_t marksIn(const std::string& json) {
    size_t n = 0;
    for (size_t at = json.find("\"kind\":\"mark\""); at != std::string::npos;
         at = json.find("\"kind\":\"mark\"", at + 1))
        ++n;
    return n;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
