// A real ser2net on 127.0.0.1 in front of a device (the simulator's pseudo-terminal): one raw TCP
// port and one telnet port with COM-PORT-OPTION. Stopped and started again on the same ports.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "common/Loopback.h"

namespace odel::test {

class Ser2net {
  public:
    explicit Ser2net(std::string device) : device_(std::move(device)) {
        char dir[] = "/tmp/odel-ser2net-XXXXXX";
        if (::mkdtemp(dir)) dir_ = dir;
        rawPort_ = FreePort();
        rfcPort_ = FreePort();
    }
    ~Ser2net() {
        stop();
        if (!dir_.empty()) {
            std::remove((dir_ + "/ser2net.yaml").c_str());
            std::remove((dir_ + "/ser2net.log").c_str());
            std::remove((dir_ + "/pid").c_str());
            ::rmdir(dir_.c_str());
        }
    }

    static std::string Program() {
        for (const char* p : {"/usr/sbin/ser2net", "/usr/bin/ser2net"})
            if (::access(p, X_OK) == 0) return p;
        return {};
    }

    // Starts ser2net and waits until both ports listen. False with error() when it cannot.
    bool start() {
        const std::string exe = Program();
        if (exe.empty()) return fail("ser2net is not installed");
        if (dir_.empty() || rawPort_ == 0 || rfcPort_ == 0) return fail("no temporary dir or port");
        const std::string yaml = dir_ + "/ser2net.yaml";
        std::ofstream(yaml) << Connection("raw", "tcp", rawPort_)
                            << Connection("rfc", "telnet(rfc2217),tcp", rfcPort_);
        const std::string log = dir_ + "/ser2net.log";
        if (!Spawn({exe, "-n", "-u", "-c", yaml, "-P", dir_ + "/pid"}, log, &pid_))
            return fail("cannot start ser2net");
        const std::string why = AwaitListening("ser2net", pid_, {rawPort_, rfcPort_}, log);
        return why.empty() || fail(why);
    }

    void stop() { Stop(pid_); }

    std::string rawUrl() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }
    std::string rfcUrl() const { return "rfc2217://127.0.0.1:" + std::to_string(rfcPort_); }
    const std::string& error() const { return error_; }

  private:
    std::string Connection(const char* name, const char* accepter, int port) const {
        std::ostringstream out;
        out << "connection: &" << name << "\n"
            << "  accepter: " << accepter << ",127.0.0.1," << port << "\n"
            << "  connector: serialdev," << device_ << ",9600n81,local\n"
            << "  options:\n    kickolduser: true\n";
        return out.str();
    }

    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }

    std::string device_, dir_, error_;
    int rawPort_ = 0, rfcPort_ = 0;
    pid_t pid_ = -1;
};

}  // namespace odel::test
