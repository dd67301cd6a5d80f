// Settings files of the multi-channel pages: the exact lines saved, a load that reconfigures
// the module, and files that are refused before anything is sent.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "PageFixture.h"
#include "common/FileSizeLimit.h"
#include "pages/analog_in/Unitm7347.h"
#include "pages/analog_in/Unitm7352.h"
#include "pages/analog_in/Unitm7352r.h"
#include "pages/analog_in/Unitm7354.h"
#include "pages/analog_in/Unitm7354r.h"
#include "pages/analog_in/Unitm7356.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class SettingsFile : public PageTest {
  protected:
    bool polling() const { return page->findChild<QTimer*>("tmrUpdateAIData")->isActive(); }
};

// The page of a module at 10 with checksum on, watchdog 12.3 s, channels 0, 1, 7 enabled and
// channel 2 on 4-20 mA.
const char* const kSaved7354R =
    "Module Name:  ODEL-7354+ \n"
    "BaudRate: 3\n"
    "checkSum: 0\n"
    "Data Format: 0\n"
    "Integration Time: 1\n"
    "Comm. WDT: 12.300000\n"
    "Potocol: 0\n"
    "CH0 State: 1\nCH0 Input Range: 3\n"
    "CH1 State: 1\nCH1 Input Range: 3\n"
    "CH2 State: 0\nCH2 Input Range: 1\n"
    "CH3 State: 0\nCH3 Input Range: 3\n"
    "CH4 State: 0\nCH4 Input Range: 3\n"
    "CH5 State: 0\nCH5 Input Range: -1\n"
    "CH6 State: 0\nCH6 Input Range: 3\n"
    "CH7 State: 1\nCH7 Input Range: 3\n";

odel::sim::ModuleState saved7354R() {
    auto m = PageTest::module("7354R", 0x10);
    m.format = 0xC0;
    m.watchdog = 123;
    m.enableMask = 0x83;
    m.ranges[2] = 0x07;
    m.ranges[5] = 0x1F;  // unknown code: no selection
    return m;
}

TEST_F(SettingsFile, SaveWritesTheLinesOfThePageByteForByte) {
    startBus({saved7354R()});
    link->SetChecksum(1);
    open<TfrmM7354R>("10", "(10)7354R");
    ASSERT_TRUE(check("chkCheckSum")->isChecked());
    // Unsaved edits of the grid are not saved: the channel lines come from the module.
    check("chkEnableCh0")->setChecked(false);
    dialogs.fileAnswers.push_back(path("a.txt"));
    modulePage()->SaveConfiguration();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "save");
    EXPECT_EQ(dialogs.shown[0].text, "7354+.txt");
    EXPECT_EQ(read(path("a.txt")), QByteArray(kSaved7354R));
}

TEST_F(SettingsFile, CancelOrAnUnwritableFileWritesNothing) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    modulePage()->SaveConfiguration();  // cancelled
    EXPECT_EQ(received(), "");
    dialogs.clear();
    dialogs.fileAnswers.push_back(path("missing/dir/a.txt"));
    modulePage()->SaveConfiguration();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].kind, "messageBox");
    EXPECT_EQ(dialogs.shown[1].text, "Error when opening file");
    EXPECT_EQ(dialogs.shown[1].caption, "Message");
    EXPECT_EQ(received(), "");
}

TEST_F(SettingsFile, AFailedWriteSaysWhyAndKeepsTheOldFile) {
    startBus({saved7354R()});
    link->SetChecksum(1);
    open<TfrmM7354R>("10", "(10)7354R");
    const QByteArray good = "Module Name:  ODEL-7354+ \nBaudRate: 3\n";
    write(path("a.txt"), good);
    dialogs.fileAnswers.push_back(path("a.txt"));
    {
        FileSizeLimit full(64);  // the file needs some 300 bytes
        modulePage()->SaveConfiguration();
    }
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, "Error when opening file\nFile too large");
    EXPECT_EQ(dialogs.shown[1].caption, "Message");
    EXPECT_EQ(read(path("a.txt")), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});

    // A device is not a file to save into, and is not replaced by one.
    dialogs.clear();
    dialogs.fileAnswers.push_back("/dev/full");
    modulePage()->SaveConfiguration();
    EXPECT_EQ(dialogs.texts("messageBox"),
              QStringList{"Error when opening file\nnot a regular file"});
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // Saved again with room, the new file replaces the old one whole.
    dialogs.clear();
    dialogs.fileAnswers.push_back(path("a.txt"));
    modulePage()->SaveConfiguration();
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{});
    EXPECT_EQ(read(path("a.txt")), QByteArray(kSaved7354R));
}

TEST_F(SettingsFile, LoadReconfiguresTheModule) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    write(path("b.txt"),
          "Module Name:  ODEL-7354+ \n"
          "BaudRate: 3\n"
          "checkSum: 0\n"
          "Data Format: 0\n"
          "Integration Time: 0\n"
          "Comm. WDT: 45.600000\n"
          "Potocol: 0\n"
          "CH0 State: 1\nCH0 Input Range: 0\n"
          "CH1 State: 0\nCH1 Input Range: 2\n"
          "CH2 State: 1\nCH2 Input Range: 8\n"
          "CH3 State: 0\nCH3 Input Range: 3\n"
          "CH4 State: 1\nCH4 Input Range: -1\n"
          "CH5 State: 0\nCH5 Input Range: 3\n"
          "CH6 State: 0\nCH6 Input Range: 3\n"
          "CH7 State: 0\nCH7 Input Range: 1\n");
    dialogs.fileAnswers.push_back(path("b.txt"));
    modulePage()->LoadConfiguration();
    EXPECT_EQ(dialogs.texts("open"), QStringList{"7354+.txt"});
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update General Setting Success!", "Update Channel Setup Success!"}));
    const auto m = bus.module(0);
    EXPECT_EQ(m.watchdog, 456);
    EXPECT_EQ(m.enableMask, 0x15);
    EXPECT_EQ(m.ranges[0], 0x06);
    EXPECT_EQ(m.ranges[1], 0x0E);
    EXPECT_EQ(m.ranges[2], 0x14);
    EXPECT_EQ(m.ranges[4], 0x0E);  // no selection on this page writes J type
    EXPECT_EQ(m.ranges[7], 0x07);
    EXPECT_EQ(edit("edtCommWDT")->text(), "45.6");
    EXPECT_FALSE(check("chkCheckSum")->isChecked());
    EXPECT_TRUE(polling());
}

TEST_F(SettingsFile, OneRangePageRoundTrip) {
    auto m = module("7352", 0x0F);
    m.typeCode = 0x0B;
    m.enableMask = 0x0F;
    startBus({m});
    open<TfrmM7352>("0F", "(0F)7352");
    dialogs.fileAnswers.push_back(path("7352.txt"));
    modulePage()->SaveConfiguration();
    const QByteArray expected =
        "Module Name:  ODEL-7352 \n"
        "BaudRate: 3\n"
        "checkSum: 1\n"
        "Input Range: 3\n"
        "Integration Time: 0\n"
        "CH0 State: 1\nCH1 State: 1\nCH2 State: 1\nCH3 State: 1\n"
        "CH4 State: 0\nCH5 State: 0\nCH6 State: 0\nCH7 State: 0\n";
    EXPECT_EQ(read(path("7352.txt")), expected);

    // Change the module behind the page's back, then load the file again.
    bus.modify(0, [](odel::sim::ModuleState& s) {
        s.typeCode = 0x08;
        s.enableMask = 0xFF;
    });
    dialogs.clear();
    dialogs.fileAnswers.push_back(path("7352.txt"));
    modulePage()->LoadConfiguration();
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update General Setting Success!", "Update success!"}));
    EXPECT_EQ(bus.module(0).typeCode, 0x0B);
    EXPECT_EQ(bus.module(0).enableMask, 0x0F);
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentText(), "+/- 500mV");
}

TEST_F(SettingsFile, FilesThatAreNotWhatThePageSavesAreRefusedBeforeAnythingIsSent) {
    const QByteArray good(kSaved7354R);
    struct Case {
        const char* why;
        QByteArray content;
    };
    QByteArray foreign = good;
    foreign.replace("ODEL-7354+", "ODEL-7352+");
    QByteArray badBaud = good;
    badBaud.replace("BaudRate: 3", "BaudRate: 8");
    QByteArray badState = good;
    badState.replace("CH3 State: 0", "CH3 State: 2");
    QByteArray wordWdt = good;
    wordWdt.replace("12.300000", "twelve");
    QByteArray badKey = good;
    badKey.replace("Potocol", "Protocol");
    QByteArray badRange = good;
    badRange.replace("CH6 Input Range: 3", "CH6 Input Range: 9");
    QByteArray junk = good;
    junk.replace("Data Format: 0", "Data Format: 0 ");
    const Case cases[] = {
        {"another model", foreign},
        {"truncated", good.left(good.indexOf("CH4 State"))},
        {"cut inside a line", good.left(good.size() - 3)},
        {"no final line feed", good.left(good.size() - 1)},
        {"extra line", good + "CH8 State: 1\n"},
        {"baud index out of the list", badBaud},
        {"state other than 0 or 1", badState},
        {"watchdog not a number", wordWdt},
        {"misspelt key", badKey},
        {"range index out of the list", badRange},
        {"trailing blank", junk},
        {"empty", QByteArray()},
        {"a single-range page's file", "Module Name:  ODEL-7352 \nBaudRate: 3\n"},
    };
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    const auto before = bus.module(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        write(path("bad.txt"), c.content);
        dialogs.clear();
        bus.clearReceived();
        dialogs.fileAnswers.push_back(path("bad.txt"));
        modulePage()->LoadConfiguration();
        EXPECT_EQ(dialogs.texts("error"), QStringList{"Load Configuration File Error!"});
        EXPECT_EQ(dialogs.texts("exec"), QStringList{});
        EXPECT_EQ(received(), "");
        EXPECT_TRUE(polling());
    }
    EXPECT_EQ(bus.module(0).watchdog, before.watchdog);
    EXPECT_EQ(bus.module(0).enableMask, before.enableMask);

    // A file with CR LF line ends is still the page's own file.
    QByteArray crlf = good;
    crlf.replace("\n", "\r\n");
    write(path("crlf.txt"), crlf);
    dialogs.clear();
    dialogs.fileAnswers.push_back(path("crlf.txt"));
    modulePage()->LoadConfiguration();
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(bus.module(0).enableMask, 0x83);
}

// Every page of the family loads back what it saved: a module code outside the lists (no
// selection), INIT state, and values typed but not yet written, which reach the Update and are
// reported there.
TEST_F(SettingsFile, EveryPageLoadsBackTheFileItSaved) {
    const auto unknownType = [](odel::sim::ModuleState& m) { m.typeCode = 0x07; };
    const auto unknownBaud = [](odel::sim::ModuleState& m) { m.baudCode = 0x0B; };
    const auto unknownChannelRange = [](odel::sim::ModuleState& m) { m.ranges[3] = 0x1F; };
    const auto wdt = [this] { edit("edtCommWDT")->setText("1000"); };
    const std::vector<SavedState> states = {
        {"defaults", {}, {}},
        {"an unknown range code", unknownType, {}},
        {"an unknown channel range", unknownChannelRange, {}},
        {"INIT state", {}, {}, true},
        {"INIT state and a baud code outside the list", unknownBaud, {}, true},
    };
    expectLoadsBackEveryState<TfrmM7354R>("7354R", states);
    expectLoadsBackEveryState<TfrmM7352R>("7352R", states);
    expectLoadsBackEveryState<TfrmM7354>("7354", states);
    expectLoadsBackEveryState<TfrmM7352>("7352", states);
    expectLoadsBackEveryState<TfrmM7347>("7347", states);
    expectLoadsBackEveryState<TfrmM7356>("7356", states);

    // A watchdog the Update refuses is loaded, and the Update says why.
    expectLoadsBackEveryState<TfrmM7354R>("7354R", {{"a watchdog typed as 1000", {}, wdt}});
    EXPECT_EQ(dialogs.texts("error"), QStringList{"The WDT must be between 0.0 and 999.9!"});
}

TEST_F(SettingsFile, MissingFileAndCancel) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    modulePage()->LoadConfiguration();  // cancelled
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_TRUE(polling());
    dialogs.fileAnswers.push_back(path("nothing-here.txt"));
    modulePage()->LoadConfiguration();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].text, "Error when opening file");
    EXPECT_EQ(dialogs.shown[2].caption, "Message");
    EXPECT_EQ(received(), "");
    EXPECT_TRUE(polling());
}

}  // namespace
