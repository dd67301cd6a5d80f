// odel-sim as a process, and programs we did not write (mbpoll) or run as a user does (odelctl).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "sim/RawLink.h"
#include "sim/SimBus.h"

namespace {

const std::string kBin = ODEL_BIN_DIR;

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
    FILE* err = nullptr;
};

// Starts argv with stdout/stderr on pipes.
Child spawn(const std::vector<std::string>& args) {
    int o[2], e[2];
    if (pipe(o) != 0 || pipe(e) != 0) return {};
    Child c;
    c.pid = fork();
    if (c.pid == 0) {
        dup2(o[1], 1);
        dup2(e[1], 2);
        close(o[0]);
        close(e[0]);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(o[1]);
    close(e[1]);
    c.out = fdopen(o[0], "r");
    c.err = fdopen(e[0], "r");
    return c;
}

std::string readLine(FILE* f) {
    char buf[512] = {};
    if (!fgets(buf, sizeof buf, f)) return {};
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

std::string readAll(FILE* f) {
    std::string s;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
}

int waitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    out = readAll(p);
    pclose(p);
    return out;
}

TEST(OdelSimProcess, PrintsPathMakesLinkAndStopsOnSigterm) {
    std::string link = "/tmp/odel-sim-test-link-" + std::to_string(getpid());
    Child c = spawn({kBin + "/odel-sim", "--link", link});
    ASSERT_GT(c.pid, 0);
    std::string path = readLine(c.out);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);
    {
        odel::test::RawLink port(link);  // opened through the symbolic link
        ASSERT_TRUE(port.ok());
        EXPECT_EQ(port.exchange("$01M\r"), "!017352R\r");
    }
    kill(c.pid, SIGTERM);
    EXPECT_EQ(waitExit(c.pid), 0);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // link removed
    fclose(c.out);
    fclose(c.err);
}

TEST(OdelSimProcess, RejectsBadBusFile) {
    std::string file = "/tmp/odel-sim-test-bus-" + std::to_string(getpid());
    std::ofstream(file) << "# two modules\n01 7352\n02 7999 checksum\n";
    Child c = spawn({kBin + "/odel-sim", "--bus", file});
    ASSERT_GT(c.pid, 0);
    std::string out = readAll(c.out);
    std::string err = readAll(c.err);
    EXPECT_EQ(waitExit(c.pid), 2);
    EXPECT_EQ(out, "");  // nothing served
    EXPECT_NE(err.find("line 3: unknown model 7999"), std::string::npos) << err;
    fclose(c.out);
    fclose(c.err);
    unlink(file.c_str());
}

TEST(OdelSimProcess, RefusesBusFilesThatAreNotRegularOrTooLarge) {
    const std::string fifo = "/tmp/odel-sim-test-fifo-" + std::to_string(getpid());
    const std::string big = "/tmp/odel-sim-test-big-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(big) << "01 7352\n";
    ASSERT_EQ(truncate(big.c_str(), odel::sim::kMaxBusFileBytes + 1), 0);
    const struct {
        std::string file, says;
    } cases[] = {{fifo, "not a regular file"},
                 {"/dev/zero", "not a regular file"},
                 {"/tmp", "not a regular file"},
                 {big, "larger than 4194304 bytes"}};
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        Child child = spawn({kBin + "/odel-sim", "--bus", c.file});
        ASSERT_GT(child.pid, 0);
        EXPECT_EQ(readAll(child.out), "") << c.file;
        EXPECT_EQ(readAll(child.err), "odel-sim: " + c.file + ": " + c.says + "\n");
        EXPECT_EQ(waitExit(child.pid), 2) << c.file;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.file;
        fclose(child.out);
        fclose(child.err);
    }
    unlink(fifo.c_str());
    unlink(big.c_str());
}

TEST(OdelSimProcess, MbpollReadsCoilsAndRegisters) {
    if (system("command -v mbpoll > /dev/null") != 0) GTEST_SKIP() << "mbpoll not installed";
    odel::sim::SimBus bus;
    ASSERT_TRUE(bus.startFromText("05 7385 modbus frozen\n0C 7354R modbus frozen\n"));
    bus.modify(0, [](odel::sim::ModuleState& m) {
        m.digitalInputs = 0x05;
        m.digitalOutputs = 0x81;
    });
    const std::string common = "mbpoll -m rtu -b 9600 -P none -1 -q ";
    std::string coils = run(common + "-t 0 -a 5 -r 17 -c 8 " + bus.slavePath() + " 2>&1");
    EXPECT_NE(coils.find("[17]: \t1"), std::string::npos) << coils;
    EXPECT_NE(coils.find("[18]: \t0"), std::string::npos) << coils;
    EXPECT_NE(coils.find("[24]: \t1"), std::string::npos) << coils;
    std::string inputs = run(common + "-t 0 -a 5 -r 1 -c 3 " + bus.slavePath() + " 2>&1");
    EXPECT_NE(inputs.find("[1]: \t1"), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("[2]: \t0"), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("[3]: \t1"), std::string::npos) << inputs;
    std::string regs = run(common + "-t 4:hex -a 12 -r 211 -c 3 " + bus.slavePath() + " 2>&1");
    EXPECT_NE(regs.find("[211]: \t0x7354"), std::string::npos) << regs;
    EXPECT_NE(regs.find("[212]: \t0x5200"), std::string::npos) << regs;
    EXPECT_NE(regs.find("[213]: \t0x0120"), std::string::npos) << regs;
}

TEST(OdelSimProcess, OdelctlSearchOfTheDefaultBus) {
    std::string odelctl = kBin + "/odelctl";
    if (access(odelctl.c_str(), X_OK) != 0) GTEST_SKIP() << "odelctl not built";
    odel::sim::SimBus bus;
    ASSERT_TRUE(bus.start());
    std::string out = run(odelctl + " search --timeout 40 --from 0 --to 7 " + bus.slavePath());
    EXPECT_EQ(out,
              "(*)7354\t0\n(01)7352R\t0\n(02)7354R\t1\n(03)8600X\t0\n\t(S0)8631\n\t(S1)8634\n"
              "\t(S3)8631G\n\t(S4)8672\n\t(S5)86XY\n\t(S7)8681\n(04)7385\t2\n(05)7354\t0\n"
              "(06)7364\t0\n(07)7320\t0\n");
}

}  // namespace
