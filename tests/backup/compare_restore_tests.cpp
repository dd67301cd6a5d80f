// Compare and restore against the simulator: exactly the lines changed, modules brought back,
// another model never written, a module that stops answering, a lost port, corrupt backups.
#include <QFile>

#include "BackupFixture.h"

using namespace odel::test;
using namespace odel::backup;
using State = ModuleComparison::State;
using Result = RestoreOutcome::Result;

namespace {

class CompareRestore : public BackupTest {
  protected:
    // 7352 at 01, 7354R at 02, 7361 at 03, backed up into the folder.
    void backUpThree() {
        startBus({module("7352", 0x01), module("7354R", 0x02), module("7361", 0x03)});
        backUp();
    }
    void backUp() {
        const BackupFolder b = BackUpBus(*link, "/dev/ttySIM", search(0, 4));
        QString error;
        ASSERT_TRUE(WriteBackupFolder(folder(), b, &error)) << error.toStdString();
    }
    QString folder() const { return dir.filePath("bk"); }
    BackupFolder read() {
        BackupFolder b;
        QString error;
        EXPECT_TRUE(ReadBackupFolder(folder(), b, &error)) << error.toStdString();
        return b;
    }
    QList<ModuleComparison> compare() { return CompareBus(*link, read(), search(0, 4)); }
    // The two changes made behind the program's back: channel 1 off, watchdog 12.3 s.
    void changeTwo() {
        bus.modify(0, [](odel::sim::ModuleState& m) { m.enableMask &= ~0x02; });
        bus.modify(1, [](odel::sim::ModuleState& m) { m.watchdog = 123; });
    }
    static QString rows(const QList<ModuleComparison>& c) {
        QStringList out;
        for (const auto& m : c) {
            QString row = m.address + " " + StateName(m.state);
            for (const auto& d : m.lines) row += " [" + d.key + ": " + d.backup + " / " + d.current + "]";
            if (!m.reason.isEmpty()) row += " (" + m.reason + ")";
            out << row;
        }
        return out.join("\n");
    }
    static QString outcomes(const QList<RestoreOutcome>& r) {
        QStringList out;
        for (const auto& o : r)
            out << o.address + " " + ResultName(o.result) + (o.reason.isEmpty() ? "" : ": " + o.reason);
        return out.join("\n");
    }
    void rewrite(const QString& name, const QByteArray& content) {
        QFile f(folder() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    QByteArray content(const QString& name) {
        QFile f(folder() + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
};

TEST_F(CompareRestore, ChangedLinesAreFoundAndRestored) {
    backUpThree();
    EXPECT_EQ(rows(compare()).toStdString(), "01 No differences\n02 No differences\n03 No differences");
    changeTwo();
    const QList<ModuleComparison> plan = compare();
    EXPECT_EQ(rows(plan).toStdString(),
              "01 differs [CH1 State: 1 / 0]\n"
              "02 differs [Comm. WDT: 0.000000 / 12.300000]\n"
              "03 No differences");
    const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"01", "02"});
    EXPECT_EQ(outcomes(done).toStdString(), "01 restored\n02 restored");
    EXPECT_TRUE(done[1].messages.contains("information: Update General Setting Success!"))
        << done[1].messages.join("\n").toStdString();
    EXPECT_EQ(bus.module(0).enableMask, 0xFF);
    EXPECT_EQ(bus.module(1).watchdog, 0);
    EXPECT_TRUE(NoDifferences(compare()));
}

TEST_F(CompareRestore, MissingNewAndOtherModels) {
    startBus({module("7352", 0x01), module("7361", 0x02)});
    backUp();
    bus.stop();
    startBus({module("7354", 0x01), module("7385", 0x03)});
    const QList<ModuleComparison> plan = compare();
    EXPECT_EQ(rows(plan).toStdString(), "01 other model\n02 missing\n03 new");
    bus.clearReceived();
    const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"01", "02", "03"});
    EXPECT_EQ(outcomes(done).toStdString(),
              "01 skipped: a 7354 answers at 01, the backup holds a 7352: never written\n"
              "02 skipped: no module answers at 02\n"
              "03 skipped: not in the backup");
    EXPECT_EQ(bus.busReceived(), "");
}

TEST_F(CompareRestore, ModuleOfAnotherModelSinceTheCompareIsNotWritten) {
    backUpThree();
    changeTwo();
    const QList<ModuleComparison> plan = compare();
    bus.modify(0, [](odel::sim::ModuleState& m) { m.model = "7354"; });
    bus.clearReceived();
    const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"01"});
    EXPECT_EQ(outcomes(done).toStdString(),
              "01 skipped: a 7354 answers at 01, the backup holds a 7352: never written");
    EXPECT_EQ(bus.received(0), "$01M\r");  // asked who it is, nothing more
}

TEST_F(CompareRestore, ModuleThatStopsAnsweringIsReportedAndTheOthersRestored) {
    backUpThree();
    changeTwo();
    const QList<ModuleComparison> plan = compare();
    bus.setFault(0, odel::sim::Fault::NoReply, "%");  // refuses the configuration write
    const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"01", "02"});
    EXPECT_EQ(outcomes(done).toStdString(),
              "01 failed: Update 1 (after \"Integration Time\"): Update failed!\n02 restored");
    EXPECT_TRUE(done[0].messages.contains("error: Update failed!"));
    EXPECT_EQ(bus.module(1).watchdog, 0);
}

TEST_F(CompareRestore, LostPortSaysWhichModulesWereDone) {
    backUpThree();
    changeTwo();
    bus.modify(2, [](odel::sim::ModuleState& m) { m.typeCode = 0x31; });
    const QList<ModuleComparison> plan = compare();
    ASSERT_EQ(plan[2].state, State::Different);
    // The port goes away during the second module's wait after its general Update.
    int waits = 0;
    odel::ui::setPauseHandler([&](int ms) {
        if (ms >= 1000 && ++waits == 2) bus.stop();
    });
    const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"01", "02", "03"});
    EXPECT_EQ(outcomes(done).toStdString(),
              "01 restored\n"
              "02 failed: the port was lost during Update 1 (after \"Potocol\"): the module may "
              "be half-written\n"
              "03 not done: the port was lost before this module");
}

TEST_F(CompareRestore, CorruptModuleFilesAreRefusedWithFileAndLine) {
    backUpThree();
    changeTwo();
    const QByteArray good = content("01-7352.txt");
    struct Case {
        const char* name;
        QByteArray file;  // empty: removed
        const char* reason;
    };
    QByteArray edited = good;
    edited.replace("Integration Time: 0\n", "Integration Time: 7\n");
    QByteArray extra = good + "CH4 State: 1\n";
    const Case cases[] = {
        {"truncated", good.left(good.indexOf("CH0 State")),
         "01-7352.txt line 6: the file ends where \"CH0 State\" belongs"},
        {"cut inside a line", good.left(good.size() - 2),
         "01-7352.txt line 13: the line does not end"},
        {"hand-edited", edited, "01-7352.txt line 5: \"7\" is no value for \"Integration Time\""},
        {"line added", extra, "01-7352.txt line 14: a line after the last one"},
        {"removed", {}, "01-7352.txt: the file is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file.isEmpty())
            QFile::remove(folder() + "/01-7352.txt");
        else
            rewrite("01-7352.txt", c.file);
        const QList<ModuleComparison> plan = compare();
        EXPECT_EQ(plan[0].state, State::BadBackup);
        EXPECT_EQ(plan[0].reason.toStdString(), c.reason);
        bus.clearReceived();
        const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"01"});
        EXPECT_EQ(outcomes(done).toStdString(),
                  std::string("01 skipped: ") + c.reason + "; nothing restored from this file");
        EXPECT_EQ(bus.received(0), "");
        EXPECT_EQ(bus.module(0).enableMask, 0xFD);
    }
}

TEST_F(CompareRestore, AStoppedRunEndsBetweenModules) {
    backUpThree();
    changeTwo();
    const QList<ModuleComparison> plan = compare();
    std::vector<std::pair<int, int>> told;
    const QList<RestoreOutcome> done =
        RestoreBus(*link, plan, {"01", "02"}, [&](int n, int total, const QString&) {
            told.emplace_back(n, total);
            return n < 1;  // Cancel pressed while the first module was restored
        });
    EXPECT_EQ(outcomes(done).toStdString(), "01 restored\n02 not done: stopped before this module");
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}}));
    EXPECT_EQ(bus.module(0).enableMask, 0xFF);
    EXPECT_EQ(bus.module(1).watchdog, 123);

    told.clear();
    const BackupFolder part = BackUpBus(*link, "/dev/ttySIM", search(0, 4),
                                        [&](int n, int total, const QString& text) {
                                            told.emplace_back(n, total);
                                            EXPECT_TRUE(text.startsWith("Reading (0"));
                                            return n < 2;
                                        });
    EXPECT_EQ(part.modules.size(), 2);
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
}

// A module in INIT state answers at 00 and its page refuses the Update until an address is
// typed: compared, but never half-restored.
TEST_F(CompareRestore, ModuleInInitStateIsComparedButNotWritten) {
    auto m = module("7354", 0x40);
    m.init = true;
    startBus({m});
    backUp();
    ASSERT_EQ(rows(compare()).toStdString(), "00 No differences");
    bus.modify(0, [](odel::sim::ModuleState& s) { s.enableMask = 0x7F; });
    const QList<ModuleComparison> plan = compare();
    EXPECT_EQ(rows(plan).toStdString(), "00 differs [CH7 State: 1 / 0]");
    bus.clearReceived();
    const QList<RestoreOutcome> done = RestoreBus(*link, plan, {"00"});
    EXPECT_EQ(outcomes(done).toStdString(),
              "00 skipped: in INIT state: load its file from its page after choosing its address");
    EXPECT_EQ(bus.busReceived(), "");
    EXPECT_EQ(bus.module(0).enableMask, 0x7F);
}

TEST_F(CompareRestore, FoldersThatAreNoBackupAreRefused) {
    const QString d = folder();
    struct Case {
        const char* json;  // nullptr: no backup.json
        QString error;
    };
    const Case cases[] = {
        {nullptr, d + " is not a bus backup: it has no backup.json"},
        {"{\n  \"format\": \"ODEL bus backup\",\n  \"modules\": [ }\n",
         d + "/backup.json line 3: object is missing after a comma"},
        {"{\"format\": \"something else\", \"modules\": []}", d + "/backup.json is not a bus backup"},
        {"{\"format\": \"ODEL bus backup\", \"modules\": []}", d + "/backup.json lists no modules"},
        {"{\"format\": \"ODEL bus backup\", \"modules\": [{\"address\": \"01\", \"node\": "
         "\"(01)7352\", \"model\": \"7352\", \"protocol\": \"ASCII\", \"status\": \"backed up\", "
         "\"file\": \"../../etc/passwd\"}]}",
         d + "/backup.json: module 1: no settings file name"},
        {"{\"format\": \"ODEL bus backup\", \"modules\": [{\"address\": \"1\"}]}",
         d + "/backup.json: module 1: no address"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error.toStdString());
        QDir(d).removeRecursively();
        QDir().mkpath(d);
        if (c.json) rewrite("backup.json", c.json);
        BackupFolder b;
        QString error;
        EXPECT_FALSE(ReadBackupFolder(d, b, &error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(UnifiedDiff, HunksWithContext) {
    QByteArray a, b;
    for (int i = 1; i <= 20; ++i) {
        a += "L" + QByteArray::number(i) + "\n";
        b += (i == 2 ? "X2" : i == 18 ? "X18" : "L" + QByteArray::number(i)) + "\n";
    }
    b += "L21\n";
    EXPECT_EQ(UnifiedDiff(a, b, "old", "new").toStdString(),
              "--- old\n+++ new\n"
              "@@ -1,5 +1,5 @@\n L1\n-L2\n+X2\n L3\n L4\n L5\n"
              "@@ -15,6 +15,7 @@\n L15\n L16\n L17\n-L18\n+X18\n L19\n L20\n+L21\n");
    EXPECT_EQ(UnifiedDiff(a, a, "old", "new"), QByteArray());
}

}  // namespace
