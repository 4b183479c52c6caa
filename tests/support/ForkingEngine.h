#pragma once

// UCI engines written as shell scripts that leave a child behind (a sleeper), for the tests that
// check that an engine's processes end with it. Standard library and POSIX only.

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

// Writes an executable script at `path` that starts a sleeper in the background, writes its
// process id to `pidFile` and then runs `body` (shell commands, such as "exec ENGINE").
inline bool WriteForkingEngine(
    const std::string& path, const std::string& pidFile, const std::string& body) {
    {
        std::ofstream script(path, std::ios::trunc);
        script << "#!/bin/sh\nsleep 600 &\necho $! > '" << pidFile << "'\n" << body << '\n';
        if (!script)
            return false;
    }
    return chmod(path.c_str(), 0755) == 0;
}

// The process id the script wrote, or 0 once `timeoutMs` has passed without one.
inline pid_t ReadSleeperPid(const std::string& pidFile, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        std::ifstream in(pidFile);
        long pid = 0;
        if (in >> pid && pid > 0)
            return pid_t(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

// The process has ended (gone, or a zombie waiting for its new parent to collect it).
inline bool ProcessEnded(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// Waits up to `timeoutMs` for the process to end; `pump` runs between the looks (an event loop's
// turn in a test that needs one).
template <typename TPump = void (*)()>
bool WaitForProcessEnd(
    pid_t pid, int timeoutMs = 5000, TPump pump = [] {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ProcessEnded(pid)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
