// odelctl backup, compare and restore as processes against the simulator: output, files and
// exit codes.
#include <QFile>

#include "BackupFixture.h"
#include "common/OdelctlProcess.h"
#include "common/RunOdelctl.h"

using namespace odel::test;

namespace {

class OdelctlBackup : public BackupTest {
  protected:
    std::string dirArg() const { return dir.filePath("bk").toStdString(); }
    Result run(const std::string& command, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{command, bus.slavePath(), dirArg(), "--to", "3"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunOdelctl(args);
    }
};

TEST_F(OdelctlBackup, BackupCompareRestore) {
    startBus({module("7352", 0x01), module("7364", 0x02)});
    link.reset();  // odelctl opens the port itself
    Result b = run("backup");
    EXPECT_EQ(b.rc, 0) << b.err;
    EXPECT_EQ(b.out,
              "01 7352 backed up 01-7352.txt\n02 7364 without settings\n"
              "1 backed up, 1 without settings, 0 failed\n");
    EXPECT_TRUE(QFile::exists(dir.filePath("bk/01-7352.txt")));

    Result same = run("compare");
    EXPECT_EQ(same.rc, 0) << same.err;
    EXPECT_EQ(same.out, "No differences\n");

    bus.modify(0, [](odel::sim::ModuleState& m) { m.enableMask = 0xFB; });
    Result diff = run("compare");
    EXPECT_EQ(diff.rc, 1) << diff.err;
    EXPECT_EQ(diff.out, "--- " + dirArg() + "/01-7352.txt\n+++ " + bus.slavePath() +
                            " (01)7352\n@@ -5,7 +5,7 @@\n Integration Time: 0\n CH0 State: 1\n"
                            " CH1 State: 1\n-CH2 State: 1\n+CH2 State: 0\n CH3 State: 1\n"
                            " CH4 State: 1\n CH5 State: 1\n");

    Result dry = run("restore");
    EXPECT_EQ(dry.rc, 0) << dry.err;
    EXPECT_EQ(dry.out, "restore 01 7352 from 01-7352.txt\n  CH2 State: 0 -> 1\n"
                       "Nothing written: add --yes to restore.\n");
    EXPECT_EQ(bus.module(0).enableMask, 0xFB);

    Result other = run("restore", {"--only", "02", "--yes"});
    EXPECT_EQ(other.rc, 0) << other.err;
    EXPECT_EQ(other.out, "skip 02 7364: 7364 has no settings file\n"
                         "02 7364 skipped: 7364 has no settings file\n");
    EXPECT_EQ(bus.module(0).enableMask, 0xFB);

    Result done = run("restore", {"--yes"});
    EXPECT_EQ(done.rc, 0) << done.err;
    EXPECT_NE(done.out.find("01 7352 restored\n"), std::string::npos) << done.out;
    EXPECT_EQ(bus.module(0).enableMask, 0xFF);
    EXPECT_EQ(run("compare").rc, 0);
}

TEST_F(OdelctlBackup, BadInputExitsWithTwo) {
    startBus({module("7352", 0x01)});
    link.reset();
    ASSERT_EQ(run("backup").rc, 0);
    EXPECT_EQ(run("backup").err, "odelctl: " + dirArg() + ": the folder is not empty\n");
    {
        QFile f(dir.filePath("bk/01-7352.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("Module Name:  ODEL-7352 \nBaudRate: 3\n");
    }
    Result corrupt = run("compare");
    EXPECT_EQ(corrupt.rc, 2);
    EXPECT_EQ(corrupt.err,
              "odelctl: 01 7352: 01-7352.txt line 3: the file ends where \"checkSum\" belongs\n");
    Result restore = run("restore", {"--yes"});
    EXPECT_EQ(restore.rc, 2);
    EXPECT_EQ(restore.out.substr(0, restore.out.find('\n')),
              "skip 01 7352: 01-7352.txt line 3: the file ends where \"checkSum\" belongs; nothing "
              "restored from this file");
    QFile::remove(dir.filePath("bk/backup.json"));
    Result notBackup = run("restore");
    EXPECT_EQ(notBackup.rc, 2);
    EXPECT_EQ(notBackup.err, "odelctl: " + dirArg() + " is not a bus backup: it has no backup.json\n");
    Result empty = RunOdelctl({"backup", bus.slavePath(), dirArg() + "2", "--from", "5", "--to", "6"});
    EXPECT_EQ(empty.rc, 2);
    EXPECT_EQ(empty.err, "odelctl: no module answers on " + bus.slavePath() + "\n");
    EXPECT_EQ(RunOdelctl({"restore", bus.slavePath(), dirArg(), "--only", "1G"}).rc, 2);
}

// Ctrl+C during a restore lets the module being written finish and writes no other.
TEST_F(OdelctlBackup, InterruptedRestoreEndsBetweenModules) {
    startBus({module("7352", 0x01), module("7352", 0x02), module("7352", 0x03)});
    link.reset();
    ASSERT_EQ(run("backup").rc, 0);
    for (int i = 0; i < 3; ++i) bus.modify(i, [](odel::sim::ModuleState& m) { m.enableMask = 0x0F; });
    auto p = OdelctlProcess::Start({"restore", bus.slavePath(), dirArg(), "--to", "3", "--yes"});
    for (int i = 0; i < 3000 && OdelctlProcess::Slurp(p.errPath).find("Restoring (02)") ==
                                    std::string::npos; ++i)
        usleep(10000);
    kill(p.pid, SIGINT);
    p.Wait();
    EXPECT_EQ(p.rc, 1) << p.err;
    EXPECT_EQ(p.err, "Restoring (01)7352 ...\nRestoring (02)7352 ...\n");
    EXPECT_NE(p.out.find("01 7352 restored\n"), std::string::npos) << p.out;
    EXPECT_NE(p.out.find("02 7352 restored\n"), std::string::npos) << p.out;
    EXPECT_NE(p.out.find("03 7352 not done: stopped before this module\n"), std::string::npos)
        << p.out;
    EXPECT_EQ(bus.module(1).enableMask, 0xFF);
    EXPECT_EQ(bus.module(2).enableMask, 0x0F);
}

}  // namespace
