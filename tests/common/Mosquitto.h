// A real mosquitto on 127.0.0.1 with a generated configuration: no anonymous clients, a password
// file, persistence (so a stopped broker keeps queued messages and retained topics), a plain
// listener, a TLS listener and a TLS listener that also demands a client certificate. The
// certificates are made with openssl when the broker is created. Stopped and started again on
// the same ports.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/Loopback.h"

namespace odel::test {

class Mosquitto {
  public:
    static constexpr const char* kUser = "odel";
    static constexpr const char* kPassword = "s3cret pass";

    Mosquitto() {
        char dir[] = "/tmp/odel-mosquitto-XXXXXX";
        if (::mkdtemp(dir)) dir_ = dir;
        plainPort_ = FreePort();
        tlsPort_ = FreePort();
        clientCertPort_ = FreePort();
    }
    ~Mosquitto() {
        stop();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    // Certificates, password file and configuration, then the broker. False with error().
    bool start() {
        if (!prepared_ && !prepare()) return false;
        const std::string log = file("mosquitto.log");
        if (!Spawn({"/usr/sbin/mosquitto", "-c", file("mosquitto.conf")}, log, &pid_))
            return fail("cannot start mosquitto");
        const std::string why =
            AwaitListening("mosquitto", pid_, {plainPort_, tlsPort_, clientCertPort_}, log);
        return why.empty() || fail(why);
    }

    // SIGTERM: the broker writes its persistence file and ends.
    void stop() { Stop(pid_); }

    int plainPort() const { return plainPort_; }
    int tlsPort() const { return tlsPort_; }
    int clientCertPort() const { return clientCertPort_; }
    std::string plainUrl() const { return "mqtt://127.0.0.1:" + std::to_string(plainPort_); }
    std::string tlsUrl() const { return "mqtts://127.0.0.1:" + std::to_string(tlsPort_); }
    // The CA that signed the broker's and the client's certificates, and one that did not.
    std::string caFile() const { return file("ca.crt"); }
    std::string otherCaFile() const { return file("other-ca.crt"); }
    std::string clientCert() const { return file("client.crt"); }
    std::string clientKey() const { return file("client.key"); }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& error() const { return error_; }

  private:
    bool prepare() {
        if (dir_.empty() || !plainPort_ || !tlsPort_ || !clientCertPort_)
            return fail("no temporary dir or port");
        const std::string log = file("setup.log");
        auto ssl = [&](std::vector<std::string> args) {
            args.insert(args.begin(), "/usr/bin/openssl");
            return Spawn(args, log, nullptr);
        };
        const std::vector<std::string> ec = {
            "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2"};
        auto req = [&](std::vector<std::string> args) {
            std::vector<std::string> all = {"req", "-x509"};
            all.insert(all.end(), ec.begin(), ec.end());
            all.insert(all.end(), args.begin(), args.end());
            return ssl(all);
        };
        const bool certs =
            req({"-subj", "/CN=odel test CA", "-keyout", file("ca.key"), "-out", file("ca.crt")}) &&
            req({"-subj", "/CN=another CA", "-keyout", file("other-ca.key"), "-out",
                 file("other-ca.crt")}) &&
            req({"-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-CA",
                 file("ca.crt"), "-CAkey", file("ca.key"), "-keyout", file("server.key"), "-out",
                 file("server.crt")}) &&
            req({"-subj", "/CN=odel client", "-CA", file("ca.crt"), "-CAkey", file("ca.key"),
                 "-keyout", file("client.key"), "-out", file("client.crt")});
        if (!certs) return fail("openssl failed: " + Slurp(log));
        if (!Spawn({"/usr/bin/mosquitto_passwd", "-c", "-b", file("passwd"), kUser, kPassword}, log,
                   nullptr))
            return fail("mosquitto_passwd failed: " + Slurp(log));
        std::ofstream conf(file("mosquitto.conf"));
        const auto tls = [&](int port) {
            return "listener " + std::to_string(port) + " 127.0.0.1\ncafile " + file("ca.crt") +
                   "\ncertfile " + file("server.crt") + "\nkeyfile " + file("server.key") + "\n";
        };
        conf << "user root\nper_listener_settings false\nallow_anonymous false\n"
             << "password_file " << file("passwd") << "\n"
             << "persistence true\npersistence_location " << dir_ << "/\n"
             << "max_queued_messages 100000\nlog_dest stderr\nlog_type error\nlog_type warning\n"
             << "listener " << plainPort_ << " 127.0.0.1\n"
             << tls(tlsPort_) << tls(clientCertPort_) << "require_certificate true\n";
        prepared_ = true;
        return true;
    }

    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }

    std::string dir_, error_;
    int plainPort_ = 0, tlsPort_ = 0, clientCertPort_ = 0;
    bool prepared_ = false;
    pid_t pid_ = -1;
};

// A test suite with one broker for all its tests, started before the first.
class BrokerSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        broker_ = new Mosquitto;
        if (!broker_->start()) FAIL() << broker_->error();
    }
    static void TearDownTestSuite() {
        delete broker_;
        broker_ = nullptr;
    }
    static inline Mosquitto* broker_ = nullptr;
};

}  // namespace odel::test
