// Runs the built odelctl as a process; stdout and stderr are captured.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/Slurp.h"

extern char** environ;

namespace odel::test {

struct Result {
    int rc = -1;
    std::string out;
    std::string err;
};

// Runs build/bin/odelctl with the arguments; stdout and stderr are captured in files.
inline Result RunOdelctl(const std::vector<std::string>& args) {
    const std::string exe = std::string(ODEL_BIN_DIR) + "/odelctl";
    char outName[] = "/tmp/odelctl-out-XXXXXX";
    char errName[] = "/tmp/odelctl-err-XXXXXX";
    int outFd = mkstemp(outName);
    int errFd = mkstemp(errName);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    Result r;
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    r.out = Slurp(outName);
    r.err = Slurp(errName);
    unlink(outName);
    unlink(errName);
    return r;
}

}  // namespace odel::test
