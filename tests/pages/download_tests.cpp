// Firmware download of a main unit in INIT state, against the simulated loader: the exchange,
// both images byte for byte, the file checks before the first command, refused blocks.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "PageFixture.h"
#include "common/Ser2net.h"
#include "pages/frame/DataFolder.h"
#include "pages/main_unit/DownloadAnimation.h"
#include "pages/main_unit/Unitm8600.h"
#include "pages/main_unit/Unitmdownload.h"

using namespace odel::test;
using odel::sim::Fault;
using odel::sim::ModuleState;
using odel::ui::FindProgramFile;
using odel::ui::ProgramFolders;
using odel::ui::TfrmM8600;
using odel::ui::TfrmMDownload;

namespace {

constexpr int kFirmwareBytes = 1024 * 128;

QByteArray pattern(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = static_cast<char>((i * 13 + i / 128) & 0xFF);
    return b;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

std::vector<int> numbers(int count) {
    std::vector<int> n(count);
    for (int i = 0; i < count; ++i) n[i] = i;
    return n;
}

// The block numbers a loader took, with immediate resends dropped: a reply that comes after the
// 10 ms time-out on a loaded machine makes the dialog send that block again, which is sound.
std::vector<int> taken(std::vector<int> n) {
    n.erase(std::unique(n.begin(), n.end()), n.end());
    return n;
}

class Download : public PageTest {
  protected:
    // A scratch user data folder, so that loaders in the real home never take part.
    void SetUp() override {
        PageTest::SetUp();
        qputenv("XDG_DATA_HOME", userData.path().toUtf8());
    }
    void TearDown() override {
        qunsetenv("ODEL_DATA_DIR");
        qunsetenv("XDG_DATA_HOME");
        PageTest::TearDown();
    }
    // A main unit in INIT state with its page open, and a firmware file of the given bytes.
    // overRfc2217: the page's link goes through ser2net's telnet port instead of the pty.
    void openUnit(const std::string& model, const std::string& version, const QByteArray& fw,
                  bool overRfc2217 = false) {
        auto m = module(model, 0x03);
        m.init = true;
        m.firmware = version;
        startBus({m});
        if (overRfc2217) {
            link.reset();  // ser2net opens the pty itself
            server = std::make_unique<odel::test::Ser2net>(bus.slavePath());
            ASSERT_TRUE(server->start()) << server->error();
            link = std::make_unique<odel::SerialPort>(server->rfcUrl());
            ASSERT_TRUE(link->Open());
            ASSERT_TRUE(link->SetLineSettings(9600, 8, 0, 0));
            ASSERT_TRUE(link->SetTimeout(80));
        }
        open<TfrmM8600>("*", "(*)" + QString::fromStdString(model));
        firmware = dir.filePath("new.img");
        QFile f(firmware);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(fw);
    }
    // Clicks Download Firmware, chooses the file and runs the dialog as exec would start it.
    void download() {
        dialogs.fileAnswers = {firmware};
        dialogs.execHandler = [this](QDialog* d) {
            auto* dl = static_cast<TfrmMDownload*>(d);
            EXPECT_EQ(dl->windowTitle(), "ODEL-8600 firmware downloading...");
            loader = dl->loaderFile();
            dl->Download();
            percent = dl->lblPercent->text();
            title = dl->windowTitle();
            return 0;
        };
        bus.clearReceived();
        click("ButtonDownload");
    }
    QString loaderPath(const QString& name) const {
        return QString(ODEL_BIN_DIR) + "/program/" + name;
    }
    void restart() {
        page.reset();
        link.reset();
        bus.stop();
        dialogs.clear();
    }
    int count(const std::string& what) const {
        const std::string r = bus.received(0);
        int n = 0;
        for (auto p = r.find(what); p != std::string::npos; p = r.find(what, p + 1)) ++n;
        return n;
    }

    QTemporaryDir dir, userData;
    QString firmware, loader, percent, title;
    std::unique_ptr<odel::test::Ser2net> server;
};

TEST_F(Download, FullDownloadSendsBothImagesByteForByteAndLeavesTheLinkAt9600) {
    // 200 bytes more than 1024 blocks: they are not sent.
    const QByteArray fw = pattern(kFirmwareBytes + 200);
    openUnit("8600X", "A1.00", fw);
    QElapsedTimer clock;
    clock.start();
    // The real modal run: starts once shown, closes itself one timer tick after the end.
    dialogs.fileAnswers = {firmware};
    dialogs.execHandler = [this](QDialog* d) {
        const int r = d->exec();
        auto* dl = static_cast<TfrmMDownload*>(d);
        EXPECT_EQ(dl->lblPercent->text(), "100%");
        EXPECT_EQ(dl->ProgressBar1->value(), 1024);
        EXPECT_EQ(dl->windowTitle(), "Downloading " + firmware);
        EXPECT_EQ(dl->lblFileSize->text(),
                  "Firmware file: 131272 bytes (only the first 131072 bytes are sent)");
        EXPECT_TRUE(dl->Animate1->isLoaded());
        EXPECT_FALSE(dl->Animate1->isRunning());
        EXPECT_EQ(dl->Download(), TfrmMDownload::Done);  // a second call sends nothing
        return r;
    };
    bus.clearReceived();
    click("ButtonDownload");
    EXPECT_LT(clock.elapsed(), 15000);

    EXPECT_EQ(dialogs.texts("information"), QStringList{"Download firmware done!"});
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    const ModuleState m = bus.module(0);
    ASSERT_EQ(m.downloads.size(), 2u);
    EXPECT_EQ(QByteArray::fromStdString(m.downloads[0]), fileBytes(loaderPath("Dnmini_e.img")));
    EXPECT_EQ(QByteArray::fromStdString(m.downloads[1]), fw.left(kFirmwareBytes));
    ASSERT_EQ(m.downloadBlockNumbers.size(), 2u);
    EXPECT_EQ(taken(m.downloadBlockNumbers[0]), numbers(32));
    EXPECT_EQ(taken(m.downloadBlockNumbers[1]), numbers(1024));
    EXPECT_EQ(m.badBlocks, 0);
    const std::string r = received();
    EXPECT_EQ(r.substr(0, 27), "$00D|&00S1|&00S1|&00A|&00D|");
    EXPECT_EQ(count("&00E\r"), 2);
    EXPECT_GE(count("&00D\r"), 32 + 1024);
    // The link stays at 9600 with its time-out back.
    int baud = 0;
    std::uint8_t bits = 0, parity = 0, stop = 0;
    link->GetLineSettings(baud, bits, parity, stop);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(link->GetTimeout(), 80);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 3000), 1);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 1000), 4);
}

TEST_F(Download, FullDownloadThroughAnRfc2217DeviceServerArrivesByteForByte) {
    // Every byte value, 0xFF included, in the image.
    const QByteArray fw = pattern(kFirmwareBytes);
    openUnit("8600X", "A1.00", fw, true);
    download();
    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Download firmware done!"});
    EXPECT_EQ(percent, "100%");
    const ModuleState m = bus.module(0);
    ASSERT_EQ(m.downloads.size(), 2u);
    EXPECT_EQ(QByteArray::fromStdString(m.downloads[0]), fileBytes(loaderPath("Dnmini_e.img")));
    EXPECT_EQ(QByteArray::fromStdString(m.downloads[1]), fw);
    EXPECT_EQ(m.badBlocks, 0);
}

TEST_F(Download, LoaderFollowsNameAndVersionComparedAsText) {
    struct Case {
        QString name, version, file;
        int blocks;
    };
    const Case cases[] = {
        {"8600", "A2.00", "Download.img", 166},  {"8600", "A2.01", "Dnmini_h.img", 32},
        {"8600", "A10.00", "Download.img", 166},  // byte-wise: "1" < "2"
        {"8600", "a2.00", "Dnmini_h.img", 32},    // byte-wise: "a" > "A"
        {"8600X", "A1.00", "Dnmini_e.img", 32},  {"8600X", "B9.99", "Dnmini_e.img", 32},
    };
    for (const auto& c : cases) {
        TfrmMDownload d;
        d.SetupDownload(nullptr, c.name, "none.img", c.version);
        EXPECT_EQ(d.loaderFile(), c.file) << c.name.toStdString() << " " << c.version.toStdString();
        EXPECT_EQ(d.loaderBlocks(), c.blocks) << c.version.toStdString();
        EXPECT_TRUE(QFile::exists(loaderPath(c.file)));
        EXPECT_EQ(QFileInfo(loaderPath(c.file)).size(), c.blocks * 128);
    }
}

TEST_F(Download, FilesThatDoNotDoAreRefusedBeforeTheFirstCommand) {
    struct Case {
        const char* what;
        int firmwareBytes;
        bool loaderThere;
        QString message;
    };
    QTemporaryDir empty;
    // The message says why: the loader named with the folders searched, the image's size.
    const QString searched = "Send mini-program failed!\nReason: Download.img was not found in " +
                             empty.path() + "/program/.";
    const QString shortImage =
        "Download firmware failed!\nReason: the image must hold at least 131072 bytes; "
        "this file has %1.";
    const Case cases[] = {
        {"no loader image", kFirmwareBytes, false, searched},
        {"one block short", kFirmwareBytes - 128, true, shortImage.arg(kFirmwareBytes - 128)},
        {"one byte short", kFirmwareBytes - 1, true, shortImage.arg(kFirmwareBytes - 1)},
        {"empty firmware", 0, true, shortImage.arg(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.loaderThere)
            qunsetenv("ODEL_DATA_DIR");
        else
            qputenv("ODEL_DATA_DIR", empty.path().toUtf8());
        openUnit("8600", "A2.00", pattern(c.firmwareBytes));
        download();
        EXPECT_EQ(dialogs.texts("error"), QStringList{c.message});
        EXPECT_EQ(bus.received(0), "");  // the unit never entered its loader
        EXPECT_EQ(loader, "Download.img");
        restart();
    }
}

TEST_F(Download, LoadersInTheUserFolderComeBeforeTheInstalledOnes) {
    const QString user = userData.path() + "/odel/program/";
    const QString installed = QString(ODEL_BIN_DIR) + "/program/";
    EXPECT_EQ(ProgramFolders(), (QStringList{user, installed}));
    qputenv("ODEL_DATA_DIR", dir.path().toUtf8());
    EXPECT_EQ(ProgramFolders(), QStringList{dir.path() + "/program/"});  // it stands alone
    qunsetenv("ODEL_DATA_DIR");

    ASSERT_TRUE(QDir().mkpath(user));
    const QByteArray own(32 * 128, '\x5A');
    QFile f(user + "Dnmini_e.img");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(own);
    f.close();
    struct Case {
        const char* model;
        const char* version;
        QString path;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"8600X", "A1.00", user + "Dnmini_e.img", own},
        {"8600", "A2.00", installed + "Download.img", fileBytes(loaderPath("Download.img"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        openUnit(c.model, c.version, pattern(kFirmwareBytes));
        download();
        EXPECT_EQ(FindProgramFile(loader), c.path);
        EXPECT_EQ(dialogs.texts("error"), QStringList{});
        const ModuleState m = bus.module(0);
        ASSERT_EQ(m.downloads.size(), 2u);
        EXPECT_EQ(QByteArray::fromStdString(m.downloads[0]), c.bytes);
        restart();
    }
}

TEST_F(Download, RefusedBlocksAreSentAgainUpToTenTimes) {
    struct Case {
        const char* what;
        int block, refusals;
        const char* message;
        std::size_t finished;  // transfers ended with "&00E"
    };
    const Case cases[] = {
        {"firmware block refused nine times", 40, 9, nullptr, 2},
        {"last firmware block refused ten times", 1023, 10,
         "Download firmware failed!\nReason: block 1023 of 1024 was not taken after ten tries.", 1},
        {"loader block refused ten times", 100, 10,
         "Send mini-program failed!\nReason: block 100 of 166 was not taken after ten tries.", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The 8600 with firmware up to A2.00 takes the 166-block loader.
        openUnit("8600", "A2.00", pattern(kFirmwareBytes));
        bus.modify(0, [&](ModuleState& m) { m.rejectBlock[c.block] = c.refusals; });
        download();
        EXPECT_EQ(dialogs.texts("error"), c.message ? QStringList{c.message} : QStringList{});
        const ModuleState m = bus.module(0);
        EXPECT_EQ(m.rejectBlock.at(c.block), 0);
        ASSERT_EQ(m.downloads.size(), c.finished);
        if (c.finished >= 1) {
            EXPECT_EQ(QByteArray::fromStdString(m.downloads[0]),
                      fileBytes(loaderPath("Download.img")));
            EXPECT_EQ(taken(m.downloadBlockNumbers[0]), numbers(166));
        }
        if (c.finished == 2) {
            EXPECT_EQ(taken(m.downloadBlockNumbers[1]), numbers(1024));
            EXPECT_EQ(percent, "100%");
        } else {
            // Every block before the refused one, and nothing after it.
            EXPECT_EQ(taken(m.pendingBlockNumbers), numbers(c.block));
        }
        restart();
    }
}

TEST_F(Download, NoBlockGoesOutWithoutAnAcknowledgedAnnouncement) {
    openUnit("8600X", "A1.00", pattern(kFirmwareBytes));
    bus.setFault(0, Fault::Reject, "&D");
    download();
    EXPECT_EQ(dialogs.texts("error"),
              QStringList{"Send mini-program failed!\nReason: block 0 of 32 was not taken after "
                          "ten tries."});
    EXPECT_EQ(count("&00D\r"), 10 * 6);  // ten tries of six announcements
    const std::string r = bus.received(0);
    EXPECT_EQ(std::count(r.begin(), r.end(), '\0'), 0) << "a binary block was written";
    EXPECT_EQ(bus.module(0).badBlocks, 0);
    EXPECT_EQ(percent, "0.0%");
    EXPECT_EQ(title, "Downloading " + QString(ODEL_BIN_DIR) + "/program/Dnmini_e.img");
}

// The phase shows beside the bar, with "do not disconnect" while the unit is in its loader; in
// the pause before the firmware the bar already stands at the firmware's start.
TEST_F(Download, PhaseBesideTheBarAndNoFullBarDuringThePause) {
    openUnit("8600X", "A1.00", pattern(kFirmwareBytes));
    TfrmMDownload* running = nullptr;
    struct Seen {
        QString phase, percent;
        int value, maximum;
    };
    std::vector<Seen> seen;  // at the first block of each transfer and in the 3000 ms pause
    bool firstBlock = true;
    odel::ui::setPauseHandler([&](int ms) {
        if (!running || (ms != 3000 && !(ms == 30 && firstBlock))) return;
        seen.push_back({running->lblPhase->text(), running->lblPercent->text(),
                        running->ProgressBar1->value(), running->ProgressBar1->maximum()});
        firstBlock = ms == 3000;
    });
    dialogs.fileAnswers = {firmware};
    dialogs.execHandler = [&](QDialog* d) {
        running = static_cast<TfrmMDownload*>(d);
        EXPECT_EQ(running->lblPhase->text(), "");
        running->Download();
        EXPECT_EQ(running->lblPhase->text(), "Done");
        running = nullptr;
        return 0;
    };
    click("ButtonDownload");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].phase, "Loader — do not disconnect");
    EXPECT_EQ(seen[0].maximum, 32);
    EXPECT_EQ(seen[1].phase, "Starting loader — do not disconnect");
    EXPECT_EQ(seen[1].value, 0);
    EXPECT_EQ(seen[1].maximum, 1024);
    EXPECT_EQ(seen[1].percent, "0%");
    EXPECT_EQ(seen[2].phase, "Firmware — do not disconnect");
    EXPECT_EQ(seen[2].maximum, 1024);

    restart();
    openUnit("8600X", "A1.00", pattern(10));
    dialogs.execHandler = [&](QDialog* d) {
        auto* dl = static_cast<TfrmMDownload*>(d);
        dl->Download();
        EXPECT_EQ(dl->lblPhase->text(), "Failed");
        return 0;
    };
    dialogs.fileAnswers = {firmware};
    click("ButtonDownload");
}

TEST_F(Download, StartAndAcknowledgeFailuresHaveTheirMessages) {
    struct Case {
        Fault fault;
        const char* match;
        const char* message;
        int tries;
    };
    const Case cases[] = {
        {Fault::NoReply, "$D", "Send START failed!", 6},
        {Fault::Reject, "&S", "Set baudrate failed!", 2},
        {Fault::Reject, "&A", "Send ACK failed!", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.match);
        openUnit("8600X", "A1.00", pattern(kFirmwareBytes));
        bus.setFault(0, c.fault, c.match);
        download();
        EXPECT_EQ(dialogs.texts("error"), QStringList{c.message});
        std::string command = c.match[0] + std::string("00") + (c.match + 1);
        EXPECT_EQ(count(command), c.tries) << received();
        EXPECT_EQ(count("&00D\r"), 0);
        EXPECT_EQ(link->GetTimeout(), 80);
        restart();
    }
}

TEST_F(Download, CloseRequestsAndReentryDuringTheTransferAreIgnored) {
    openUnit("8600X", "A1.00", pattern(kFirmwareBytes));
    TfrmMDownload* running = nullptr;
    int nested = 1;
    bool visibleAfterClose = false;
    odel::ui::setPauseHandler([&](int ms) {
        if (ms == 30 && running && nested == 1) {
            running->reject();
            running->close();
            visibleAfterClose = running->isVisible();
            nested = running->Download();  // returns at once, sends nothing
        }
    });
    dialogs.fileAnswers = {firmware};
    dialogs.execHandler = [&](QDialog* d) {
        running = static_cast<TfrmMDownload*>(d);
        running->show();  // its start is queued; the transfer below processes it
        running->Download();
        EXPECT_TRUE(running->isVisible());
        running->reject();  // after the end a close request is taken
        EXPECT_FALSE(running->isVisible());
        return 0;
    };
    click("ButtonDownload");
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_EQ(nested, TfrmMDownload::Done);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Download firmware done!"});
    const ModuleState m = bus.module(0);
    ASSERT_EQ(m.downloadBlockNumbers.size(), 2u);
    EXPECT_EQ(taken(m.downloadBlockNumbers[0]), numbers(32));
    EXPECT_EQ(count("$00D\r"), 1);
}

}  // namespace
