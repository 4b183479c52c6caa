#pragma once

// Runs one of the project's programs with arguments and collects its exit status and output, for
// the tests of the command-line programs.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct TProgramRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Output and error output go to temporary files, read once the program has ended; a program
// killed by a signal gives 128 plus the signal's number.
inline TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
    char outPath[] = "/tmp/wm-run-out-XXXXXX";
    char errPath[] = "/tmp/wm-run-err-XXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    TProgramRun run;
    if (outFd < 0 || errFd < 0)
        return run;
    std::vector<std::string> argStrings { program };
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    run.Out = ReadFile(outPath);
    run.Err = ReadFile(errPath);
    std::remove(outPath);
    std::remove(errPath);
    return run;
}
