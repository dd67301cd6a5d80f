// Settings files of the counter pages: the exact lines in each mode, loads that restore the
// simulated module (in the file's own mode), files refused before anything is sent, and every
// saved file loading back.
#include <QFile>
#include <QTemporaryDir>

#include "PageFixture.h"
#include "pages/digital/Unitm7320.h"
#include "pages/digital/Unitm7320l.h"

using namespace odel::test;
using namespace odel::ui;
using odel::sim::ModuleState;

namespace {

using CounterFile = PageTest;

ModuleState counting7320() {
    auto m = PageTest::module("7320", 0x07);
    m.gateMode = 1;
    m.filter = true;
    m.minWidthHigh = "00100";
    m.minWidthLow = "00200";
    m.triggerHigh = "25";
    m.triggerLow = "05";
    m.maxCount[0] = 1000;
    m.alarmEnabled[0] = true;
    m.lowLimit = "00000005";
    m.alarmValue[0] = "00000010";
    return m;
}

const char* const kCounting7320 =
    "Module Name:  ODEL-7320  \n"
    "BaudRate: 3\n"
    "checkSum: 1\n"
    "Input Range: 0\n"
    "Counter Enable Gate: 1\n"
    "Input Signal: 0\n"
    "Filter State: 0\n"
    "High Level Width: 100\n"
    "Low Level Width: 200\n"
    "High Level Volt: 2.5\n"
    "Low Level Volt: 0.5\n"
    "CN0 Max Cnt: 1000\n"
    "CN0 Preset Mode Enable: 0\n"
    "CN0 Preset Cnt: 5\n"
    "CN0 Initial Cnt: 16\n"
    "CN1 Max Cnt: 4294967295\n"
    "CN1 Preset Mode Enable: 1\n"
    "CN1 Preset Cnt: 0\n"
    "CN1 Initial Cnt: 0\n";

const char* const kFrequency7320 =
    "Module Name:  ODEL-7320  \n"
    "BaudRate: 3\n"
    "checkSum: 1\n"
    "Input Range: 1\n"
    "Frequency Gate Time: 1\n"
    "Input Signal: 1\n";

TEST_F(CounterFile, SavedLinesInCounterAndFrequencyMode) {
    startBus({counting7320()});
    open<TfrmM7320>("07", "(07)7320");
    EXPECT_EQ(save(), QByteArray(kCounting7320));
    EXPECT_EQ(dialogs.texts("save"), QStringList{"7320.txt"});
    EXPECT_EQ(received(), "");  // saving reads nothing

    bus.modify(0, [](ModuleState& m) {
        m.typeCode = 0x51;
        m.format = 0x04;
        m.inputMode = 1;
    });
    QMetaObject::invokeMethod(page.get(), "PageControlChange");
    EXPECT_EQ(save(), QByteArray(kFrequency7320));
}

TEST_F(CounterFile, LoadRestoresTheModuleInTheFilesMode) {
    startBus({counting7320()});
    open<TfrmM7320>("07", "(07)7320");
    const QByteArray counting = save();
    // The module changes: filter and preset mode off, other widths, gate and counts.
    bus.modify(0, [](ModuleState& m) {
        m.gateMode = 2;
        m.filter = false;
        m.minWidthHigh = "00001";
        m.triggerHigh = "10";
        m.maxCount[0] = 5;
        m.alarmEnabled = {false, true};
        m.lowLimit = "00000000";
        m.alarmValue[0] = "00000000";
    });
    load(counting);
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update success!", "Write Input Mode success!", "Update success!",
                           "Update success!", "Update success!"}));
    auto m = bus.module(0);
    EXPECT_EQ(m.gateMode, 1);
    EXPECT_TRUE(m.filter);
    EXPECT_EQ(m.minWidthHigh, "00100");
    EXPECT_EQ(m.triggerHigh, "25");
    EXPECT_EQ(m.maxCount[0], 1000u);
    EXPECT_TRUE(m.alarmEnabled[0]);
    EXPECT_FALSE(m.alarmEnabled[1]);
    EXPECT_EQ(m.lowLimit, "00000005");
    EXPECT_EQ(m.alarmValue[0], "00000010");
    EXPECT_TRUE(page->findChild<QTimer*>("tmrUpdateCounterData")->isActive());

    // A frequency-mode file on the page now in counter mode switches the module over.
    load(kFrequency7320);
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    m = bus.module(0);
    EXPECT_EQ(m.typeCode, 0x51);
    EXPECT_EQ(m.format & 0x04, 0x04);
    EXPECT_EQ(m.inputMode, 1);
    EXPECT_FALSE(get<QWidget>("btCN0StatusUpdate")->isEnabled());

    // And back: the counter-mode file on the page now in frequency mode.
    load(counting);
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    m = bus.module(0);
    EXPECT_EQ(m.typeCode, 0x50);
    EXPECT_EQ(m.inputMode, 0);
    EXPECT_EQ(m.maxCount[0], 1000u);
}

TEST_F(CounterFile, FilesWithUnsafeValuesChangeNothing) {
    startBus({counting7320()});
    open<TfrmM7320>("07", "(07)7320");
    const QByteArray good(kCounting7320);
    const std::pair<QByteArray, QByteArray> edits[] = {
        {"High Level Width: 100", "High Level Width: -5"},
        {"High Level Width: 100", "High Level Width: 1e3"},
        {"Low Level Volt: 0.5", "Low Level Volt: -1"},
        {"CN0 Max Cnt: 1000", "CN0 Max Cnt: 4294967296"},
        {"CN1 Preset Cnt: 0", "CN1 Preset Cnt: 12ab"},
        {"CN1 Preset Mode Enable: 1", "CN1 Preset Mode Enable: 2"},
        {"Input Range: 0", "Input Range: 2"},
        {"Counter Enable Gate: 1\n", ""},
    };
    for (const auto& [from, to] : edits) {
        SCOPED_TRACE(to.toStdString());
        QByteArray bad = good;
        bad.replace(from, to);
        bus.clearReceived();
        load(bad);
        EXPECT_EQ(dialogs.texts("error"), QStringList{"Load Configuration File Error!"});
        EXPECT_EQ(received(), "");
    }
}

TEST_F(CounterFile, DisplayPageLinesAndRoundTrip) {
    auto m = module("7320L", 0x1A);
    m.alarmMode = 2;
    m.highLimit = "000003E8";
    m.lowLimit = "00000064";
    m.maxCount[1] = 7;
    m.ledSource = 2;
    m.ledData = "0042.0";
    m.inputMode = 1;
    startBus({m});
    open<TfrmM7320L>("1A", "(1A)7320L");
    const QByteArray saved = save();
    EXPECT_EQ(saved, QByteArray("Module Name:  ODEL-7320L  \n"
                                "BaudRate: 3\n"
                                "checkSum: 1\n"
                                "Input Range: 0\n"
                                "Counter Enable Gate: 0\n"
                                "Input Signal: 1\n"
                                "Filter State: 1\n"
                                "High Level Width: 10\n"
                                "Low Level Width: 10\n"
                                "CN0 Max Cnt: 4294967295\n"
                                "Alarm Type: 2\n"
                                "CN0 High Alarm Value: 1000\n"
                                "CN0 Low Alarm Value: 100\n"
                                "CN1 Max Cnt: 7\n"
                                "LED Display Setting: 2\n"));
    EXPECT_EQ(dialogs.texts("save"), QStringList{"7320L.txt"});
    bus.modify(0, [](ModuleState& s) {
        s.alarmMode = 0;
        s.highLimit = "00000000";
        s.maxCount[1] = 0;
        s.ledSource = 0;
    });
    edit("edtLEDValue")->setText("77.7");
    load(saved);
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update General Setting Success!", "Write Input Mode success!",
                           "Update Filter Setting Success!", "Update Counter Status success!",
                           "Update Counter Status success!", "Update LED Setting Success!"}));
    const auto after = bus.module(0);
    EXPECT_EQ(after.alarmMode, 2);
    EXPECT_EQ(after.highLimit, "000003E8");
    EXPECT_EQ(after.maxCount[1], 7u);
    EXPECT_EQ(after.ledSource, 2);
    EXPECT_EQ(after.ledData, "0042.0");  // files hold no display value: none is written
}

TEST_F(CounterFile, AFailedGeneralUpdateStopsTheRestOfTheFile) {
    auto other = module("7320", 0x09);
    startBus({counting7320(), other});
    open<TfrmM7320>("07", "(07)7320");
    QByteArray moved(kCounting7320);
    edit("edtAddress_Dec")->setText("9");  // taken by the other module
    load(moved);
    EXPECT_EQ(dialogs.texts("error"),
              QStringList{"The address 9 (Dec) is used by Module [7320] !"});
    EXPECT_EQ(received().find("$07B0"), std::string::npos) << received();
    EXPECT_EQ(received().find("$0730000003E8"), std::string::npos) << received();
}

// Controls that were never read are not written to the file, and so a load cannot send their
// design-time texts: a frequency-mode module with "Counter" chosen but not written, and
// counter-mode modules whose status word or filter cannot be read.
TEST_F(CounterFile, ValuesNeverReadAreNeitherSavedNorWrittenByALoad) {
    struct Case {
        const char* name;
        int typeCode;
        const char* fault;
        std::vector<const char*> savedLines;    // after "Input Range: 0"
        bool wholeFile;                         // false: the counter lines follow
        std::vector<const char*> neverWritten;  // commands never sent with a value
    };
    const Case cases[] = {
        {"frequency mode, Counter chosen",
         0x51,
         nullptr,
         {"Frequency Gate Time: 0", "Input Signal: 0", "High Level Volt: 2.4",
          "Low Level Volt: 0.8"},
         true,
         {"$0730", "$0731", "$070H", "$070L", "$074"}},
        {"status word unreadable",
         0x50,
         "@D",
         {"Counter Enable Gate: 0", "Input Signal: 0", "Filter State: 1", "High Level Width: 10",
          "Low Level Width: 10", "High Level Volt: 2.4", "Low Level Volt: 0.8"},
         true,
         {"$0730", "$0731", "@07P", "@07E", "@07DA"}},
        {"filter unreadable",
         0x50,
         "$4",
         {"Counter Enable Gate: 0", "Input Signal: 0", "CN0 Max Cnt: 1000"},
         false,
         {"$074", "$070H", "$070L", "$071H", "$071L"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = module("7320", 0x07);
        m.maxCount = {1000, 2000};
        m.typeCode = c.typeCode;
        startBus({m});
        if (c.fault) bus.setFault(0, odel::sim::Fault::Reject, c.fault);
        open<TfrmM7320>("07", "(07)7320");
        combo("cmbTypeChangeAllCh")->setCurrentIndex(0);
        const QByteArray saved = save();
        QByteArray expected =
            "Module Name:  ODEL-7320  \nBaudRate: 3\ncheckSum: 1\nInput Range: 0\n";
        for (const char* line : c.savedLines) expected += QByteArray(line) + "\n";
        if (c.wholeFile)
            EXPECT_EQ(saved, expected);
        else
            EXPECT_TRUE(saved.startsWith(expected)) << saved.toStdString();
        bus.clearFault(0);
        bus.clearReceived();
        load(saved);
        EXPECT_EQ(dialogs.texts("error"), QStringList{});
        // A read is the bare command ("$0730|"); a write carries a value after it.
        const std::string wire = received();
        for (const std::string never : c.neverWritten)
            for (auto at = wire.find(never); at != std::string::npos; at = wire.find(never, at + 1))
                EXPECT_EQ(wire[at + never.size()], '|') << never << " written in " << wire;
        EXPECT_EQ(bus.module(0).maxCount, (std::array<std::uint32_t, 2>{1000, 2000}));
        page.reset();
        link.reset();
        bus.stop();
    }
}

// A display source of no item is saved as none, and loading that file writes no source.
TEST_F(CounterFile, DisplaySourceOfNoItemLoadsBackWithoutWritingOne) {
    auto m = module("7320L", 0x1A);
    m.ledSource = 9;
    startBus({m});
    open<TfrmM7320L>("1A", "(1A)7320L");
    const QByteArray saved = save();
    EXPECT_TRUE(saved.endsWith("\nLED Display Setting: -1\n")) << saved.toStdString();
    bus.clearReceived();
    load(saved);
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(received().find("$1A8-"), std::string::npos) << received();
    EXPECT_EQ(bus.module(0).ledSource, 9);
}

std::vector<SavedState> counterStates() {
    return {
        {"counter mode", nullptr, nullptr},
        {"frequency mode with photo input",
         [](ModuleState& m) {
             m.typeCode = 0x51;
             m.inputMode = 1;
         },
         nullptr},
        {"frequency mode with TTL input", [](ModuleState& m) { m.typeCode = 0x51; }, nullptr},
        {"a gate of no item", [](ModuleState& m) { m.gateMode = 7; }, nullptr},
        {"INIT state", nullptr, nullptr, true},
    };
}

TEST_F(CounterFile, EverySavedFileLoadsBack) {
    auto states = counterStates();
    states.push_back({"range switched on the page, not written", nullptr, [this] {
                          combo("cmbTypeChangeAllCh")->setCurrentIndex(1);
                          combo("cmbInputSignal")->setCurrentIndex(1);
                      }});
    states.push_back({"counts typed, not written", nullptr, [this] {
                          edit("edtCN0MaxCnt")->setText("");
                          edit("edtHighLevelWidth")->setText("99999");
                          edit("edtLowLevelVolt")->setText(".");
                      }});
    expectLoadsBackEveryState<TfrmM7320>("7320", states);
    auto display = counterStates();
    display.push_back({"alarm type of no item", [](ModuleState& m) { m.alarmMode = 5; }, nullptr});
    display.push_back(
        {"display source of no item", [](ModuleState& m) { m.ledSource = 9; }, nullptr});
    expectLoadsBackEveryState<TfrmM7320L>("7320L", display);
}

}  // namespace
