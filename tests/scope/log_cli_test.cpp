// odelctl log as a process against the simulator: the CSV byte for byte, exit codes, a
// SIGKILL mid-recording and a file-size limit standing in for a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/LogBus.h"
#include "common/OdelctlProcess.h"
#include "scope/IsoTime.h"
#include "sim/SimBus.h"

namespace {

using Proc = odel::test::OdelctlProcess;

std::string Slurp(const std::string& path) { return Proc::Slurp(path); }

// Starts build/bin/odelctl with stdout and stderr in files; fileLimit > 0 sets RLIMIT_FSIZE.
Proc Start(const std::vector<std::string>& args, long fileLimit = 0) {
    return Proc::Start(args, {}, fileLimit);
}

Proc& Wait(Proc& r) { return r.Wait(); }

Proc RunLog(const std::vector<std::string>& args, long fileLimit = 0) {
    return Proc::Run(args, {}, fileLimit);
}

class LogCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start(odel::test::LogBus())) << sim.error();
        port = sim.slavePath();
    }
    std::vector<std::string> Args(std::vector<std::string> more) {
        std::vector<std::string> a{"log", port, "--timeout", "30"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
    odel::sim::SimBus sim;
    std::string port;
};

const char* const kHeader =
    "time,01 7352R CH0 [V],01 7352R CH3 [mV],04 7352R CH1 [mA],15 7382 DI6,note\n";
const char* const kRow = ",+01.500,-250.25,+10.000,1,\n";

// Every line: a timestamp and then exactly the row.
void ExpectRows(const std::string& csv, std::size_t rows) {

    ASSERT_EQ(csv.substr(0, std::string(kHeader).size()), kHeader);
    std::istringstream in(csv.substr(std::string(kHeader).size()));
    std::string line;
    std::size_t n = 0;
    while (std::getline(in, line)) {
        ASSERT_GT(line.size(), 29u) << line;
        EXPECT_TRUE(odel::test::IsIsoLocalTime(line.substr(0, 29))) << line;
        EXPECT_EQ(line.substr(29) + "\n", kRow);
        ++n;
    }
    EXPECT_EQ(n, rows);
}

TEST_F(LogCliTest, WritesTheCsvToStdoutAndToAFile) {
    const std::vector<std::string> inputs{"--input", "01:0",    "--input", "01:CH3",     "--input",
                                          "04m:1",   "--input", "15:di6",  "--interval", "100ms"};
    auto args = Args(inputs);
    args.insert(args.end(), {"--count", "3"});
    Proc r = RunLog(args);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ExpectRows(r.out, 3);

    const std::string file = ::testing::TempDir() + "/log-file.csv";
    args = Args(inputs);
    args.insert(args.end(), {"--duration", "250ms", "--output", file});
    r = RunLog(args);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "");
    ExpectRows(Slurp(file), 3);  // at 0, 100 and 200 ms
    unlink(file.c_str());
}

TEST_F(LogCliTest, BadInputExitsTwoNamingItAndWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"--input", "01:0", "--interval", "50ms"},
         "odelctl: --interval 50ms: must be from 100ms to 1h\n"},
        {{"--input", "01:0", "--interval", "2h"},
         "odelctl: --interval 2h: must be from 100ms to 1h\n"},
        {{"--input", "01:0", "--interval", "fast"},
         "odelctl: --interval fast: not a time (e.g. 500ms, 1s, 2m, 1h)\n"},
        {{"--input", "01:0", "--count", "0"},
         "odelctl: --count 0: must be a whole number from 1\n"},
        {{"--input", "1x:0"}, "odelctl: --input 1x:0: not ADDRESS:INPUT (e.g. 01:0, 04m:DI3)\n"},
        {{"--input", "01:0", "--input", "01:9"},
         "odelctl: --input 01:9: the 7352R at 01 has no input 9 (it has CH0..CH7)\n"},
        {{"--input", "15:DO1"},
         "odelctl: --input 15:DO1: the 7382 at 15 has no input DO1 (it has DI, DI0..DI7)\n"},
        {{"--input", "01:0", "--input", "30:0"},
         "odelctl: --input 30:0: no module answers at address 30\n"},
        {{"--input", "01m:0"}, "odelctl: --input 01m:0: no Modbus module answers at address 01\n"},
    };
    const std::string file = ::testing::TempDir() + "/log-never.csv";
    for (const Case& c : cases) {
        auto args = Args(c.args);
        args.insert(args.end(), {"--output", file});
        const Proc r = RunLog(args);
        EXPECT_EQ(r.rc, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(access(file.c_str(), F_OK), 0) << "file written for " << c.err;
    }
    // --count and --duration exclude each other.
    EXPECT_EQ(RunLog(Args({"--input", "01:0", "--count", "2", "--duration", "1s"})).rc, 2);
}

TEST_F(LogCliTest, SigtermEndsAfterTheSweepAndSigkillKeepsEveryFinishedRow) {
    const std::string file = ::testing::TempDir() + "/log-kill.csv";
    for (int sig : {SIGTERM, SIGKILL}) {
        Proc r = Start(Args({"--input", "01:0", "--input", "01:3", "--input", "04m:1", "--input",
                             "15:6", "--interval", "100ms", "--output", file}));
        std::this_thread::sleep_for(std::chrono::milliseconds(650));
        kill(r.pid, sig);
        Wait(r);
        EXPECT_EQ(r.rc, sig == SIGTERM ? 0 : -SIGKILL);
        std::string csv = Slurp(file);
        // After SIGKILL at most a last line without its end; every whole line is a full row.
        if (sig == SIGKILL && !csv.empty() && csv.back() != '\n') csv.erase(csv.rfind('\n') + 1);
        ASSERT_EQ(csv.back(), '\n');
        const std::size_t rows =
            static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')) - 1;
        EXPECT_GE(rows, 4u);
        EXPECT_LE(rows, 8u);
        ExpectRows(csv, rows);
    }
    unlink(file.c_str());
}

TEST_F(LogCliTest, FileSizeLimitStopsWithAMessageKeepingWholeRows) {
    const std::string file = ::testing::TempDir() + "/log-full.csv";
    const long limit = 400;  // the header and a few rows
    const Proc r = RunLog(Args({"--input", "01:0", "--input", "01:3", "--input", "04m:1", "--input",
                                "15:6", "--interval", "100ms", "--count", "50", "--output", file}),
                          limit);
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "odelctl: " + file + ": File too large; recording stopped\n");
    const std::string csv = Slurp(file);
    EXPECT_LE(csv.size(), static_cast<std::size_t>(limit));
    const std::size_t rows = static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')) - 1;
    EXPECT_GE(rows, 3u);
    ExpectRows(csv, rows);  // no cut row at the end
    unlink(file.c_str());
}

}  // namespace
