// build/bin/odelctl as a child process with stdout and stderr in files: run to its end (Run), or
// started and waited for by tests that signal it while it runs (Start, Wait).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/Slurp.h"

namespace odel::test {

struct OdelctlProcess {
    pid_t pid = -1;
    std::string outPath, errPath;
    int rc = -1;  // exit status, or minus the signal that ended it
    std::string out, err;

    // env: variables set in the child only; fileLimit > 0 sets its RLIMIT_FSIZE.
    static OdelctlProcess Start(const std::vector<std::string>& args,
                                const std::vector<std::pair<std::string, std::string>>& env = {},
                                long fileLimit = 0) {
        static int serial = 0;
        OdelctlProcess r;
        r.outPath = ::testing::TempDir() + "/odelctl-" + std::to_string(getpid()) + "-" +
                    std::to_string(++serial);
        r.errPath = r.outPath + ".err";
        const std::string exe = std::string(ODEL_BIN_DIR) + "/odelctl";
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        r.pid = fork();
        if (r.pid == 0) {
            const int out = open(r.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(r.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            if (fileLimit > 0) {
                rlimit lim{static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
                setrlimit(RLIMIT_FSIZE, &lim);
            }
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        return r;
    }

    OdelctlProcess& Wait() {
        int status = 0;
        waitpid(pid, &status, 0);
        rc = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        out = Slurp(outPath);
        err = Slurp(errPath);
        unlink(outPath.c_str());
        unlink(errPath.c_str());
        return *this;
    }

    static OdelctlProcess Run(const std::vector<std::string>& args,
                              const std::vector<std::pair<std::string, std::string>>& env = {},
                              long fileLimit = 0) {
        OdelctlProcess r = Start(args, env, fileLimit);
        r.Wait();
        return r;
    }

    static std::string Slurp(const std::string& path) { return odel::test::Slurp(path); }
};

}  // namespace odel::test
