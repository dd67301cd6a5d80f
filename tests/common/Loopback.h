// Ports on 127.0.0.1 for the servers the tests start themselves (ser2net, mosquitto), and the
// starting of those servers.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Slurp.h"

extern char** environ;

namespace odel::test {

// A port nobody listens on now: the kernel's pick for an ephemeral bind.
inline int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

// Whether a socket listens on the port (state 0A in the kernel's table), without connecting:
// a connection would make ser2net open the device.
inline bool Listening(int port) {
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const auto colon = local.rfind(':');
            if (colon == std::string::npos || state != "0A") continue;
            if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port) return true;
        }
    }
    return false;
}

// Runs a program with stdout and stderr appended to the log. With pid, it is left running and
// its id stored; without, it is waited for and true means exit status 0.
inline bool Spawn(const std::vector<std::string>& args, const std::string& log, pid_t* pid) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = -1;
    const int rc = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    if (pid) {
        *pid = child;
        return true;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Ends a server started with a pid: SIGTERM, then waits for it. pid is -1 afterwards.
inline void Stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// Waits up to 10 s until every port listens while the server runs. Empty when they do; else why
// not: "NAME ended: " with its log (pid is then -1), or "NAME does not listen".
inline std::string AwaitListening(const std::string& name, pid_t& pid,
                                  std::initializer_list<int> ports, const std::string& log) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::all_of(ports.begin(), ports.end(), Listening)) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return name + " ended: " + Slurp(log);
        }
        if (std::chrono::steady_clock::now() > until) return name + " does not listen";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

}  // namespace odel::test
