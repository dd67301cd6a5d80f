// The terminal against the simulated bus: log lines byte for byte, checksum, command files.
#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "AppFixture.h"
#include "app/ComSet.h"
#include "app/MTerminal.h"
#include "common/FileSizeLimit.h"
#include "device/SerialPort.h"
#include "pages/frame/SavedState.h"
#include <QSettings>

using odel::test::AppFixture;
using odel::ui::TfrmMTerminal;
namespace db = odel::sim::defaultbus;

TEST(TerminalLog, LinesArePaddedTo60And75Columns) {
    EXPECT_EQ(TfrmMTerminal::CommandLogLine("$01M", 9, 5, 7),
              "$01M" + QString(56, ' ') + "09:05:07");
    EXPECT_EQ(TfrmMTerminal::CommandLogLine("", 23, 59, 0), QString(60, ' ') + "23:59:00");
    EXPECT_EQ(TfrmMTerminal::ReplyLogLine("!017352R", 9, 5, 7, 12),
              "!017352R" + QString(52, ' ') + "09:05:07" + QString(7, ' ') + "12(ms)");
    EXPECT_EQ(TfrmMTerminal::ReplyLogLine("Timeout!", 0, 0, 1, 80),
              "Timeout!" + QString(52, ' ') + "00:00:01" + QString(7, ' ') + "80(ms)");
}

class TerminalTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        click(portNode());
        win->frmComSet()->EditTimeOut->setText("30");
    }
    // Opens the terminal from the tool bar and runs `body` while it is "shown".
    void terminal(const std::function<void(TfrmMTerminal*)>& body) {
        rec.execHandler = [&](QDialog* d) {
            auto* t = qobject_cast<TfrmMTerminal*>(d);
            EXPECT_NE(t, nullptr);
            if (t) body(t);
            return int(QDialog::Accepted);
        };
        win->tlbtnTerminal->trigger();
    }
    static QStringList log(TfrmMTerminal* t) {
        return t->edtCommandStatus->toPlainText().split('\n');
    }
    // Checks one exchange's two log lines; returns the reply time in ms.
    static int checkPair(const QString& cmdLine, const QString& replyLine, const QString& command,
                         const QString& reply) {
        static const QRegularExpression cmdRe("^(.{60})(\\d\\d:\\d\\d:\\d\\d)$");
        static const QRegularExpression replyRe(
            "^(.{60})(\\d\\d:\\d\\d:\\d\\d) {7}(\\d+)\\(ms\\)$");
        auto c = cmdRe.match(cmdLine);
        EXPECT_TRUE(c.hasMatch()) << cmdLine.toStdString();
        EXPECT_EQ(c.captured(1), command.leftJustified(60));
        auto r = replyRe.match(replyLine);
        EXPECT_TRUE(r.hasMatch()) << replyLine.toStdString();
        EXPECT_EQ(r.captured(1), reply.leftJustified(60));
        return r.captured(3).toInt();
    }
};

TEST_F(TerminalTest, SingleCommandsWithAndWithoutChecksum) {
    terminal([&](TfrmMTerminal* t) {
        EXPECT_EQ(t->windowTitle(), "Terminal");
        EXPECT_EQ(t->edtCommandLine->maxLength(), 20);
        EXPECT_FALSE(t->edtFileName->isEnabled());
        EXPECT_FALSE(t->btFileBrowse->isEnabled());
        EXPECT_FALSE(t->tmrUpdate->isActive());
        EXPECT_EQ(t->tmrUpdate->interval(), 300);

        bus.clearReceived();
        const int plain = bus.findModule(db::k7352R);
        QTest::keyClicks(t->edtCommandLine, "$01M");
        QTest::keyClick(t->edtCommandLine, Qt::Key_Return);
        EXPECT_EQ(t->edtResponse->text(), "!017352R");
        EXPECT_EQ(bus.received(plain), "$01M\r");

        // Checksum on: sent with its digits, logged and shown without them.
        const int cks = bus.findModule(db::k7354RChecksum);
        t->chkCheckSum->setChecked(true);
        t->edtCommandLine->setText("$02M");
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(t->edtResponse->text(), "!027354R");
        EXPECT_EQ(bus.received(cks), "$02MD3\r");

        // Checksum off towards the checksum module: no answer.
        t->chkCheckSum->setChecked(false);
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(t->edtResponse->text(), "Timeout!");

        // A rejected command shows what came back.
        t->edtCommandLine->setText("$01Q");
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        const QString rejected = t->edtResponse->text();

        // An empty command line sends only the CR.
        bus.clearReceived();
        t->edtCommandLine->clear();
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(bus.busReceived(), "\r");

        const QStringList lines = log(t);
        ASSERT_EQ(lines.size(), 10);
        checkPair(lines[0], lines[1], "$01M", "!017352R");
        checkPair(lines[2], lines[3], "$02M", "!027354R");
        const int waited = checkPair(lines[4], lines[5], "$02M", "Timeout!");
        EXPECT_GE(waited, 25);  // the link's time-out of 30 ms
        checkPair(lines[6], lines[7], "$01Q", rejected);
        checkPair(lines[8], lines[9], "", "Timeout!");
        EXPECT_FALSE(rejected.endsWith('\r'));
    });
    EXPECT_EQ(win->link()->GetTimeout(), 30);  // the COM page was applied first
}

TEST_F(TerminalTest, CommandFileSendsEveryWordAndSkipsOverlongOnes) {
    // The longest word sent: 47 characters, with checksum digits and CR 50.
    const QByteArray kLongest = "$09" + QByteArray(TfrmMTerminal::kMaxFileWord - 3, 'Y');
    QTemporaryDir dir;
    const QString file = dir.filePath("cmds.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("$01M $05M\n\n  $0FM\t" + QByteArray(48, 'X') + "\n$06M " + kLongest);
    }
    terminal([&](TfrmMTerminal* t) {
        QTest::mouseClick(t->rdbIsNotSingleCommand, Qt::LeftButton);
        EXPECT_TRUE(t->edtFileName->isEnabled());
        EXPECT_FALSE(t->edtCommandLine->isEnabled());
        EXPECT_FALSE(t->edtResponse->isEnabled());

        QTest::mouseClick(t->btSend, Qt::LeftButton);  // no file chosen: nothing
        EXPECT_TRUE(t->edtCommandStatus->toPlainText().isEmpty());

        rec.fileAnswers = {file};
        QTest::mouseClick(t->btFileBrowse, Qt::LeftButton);
        EXPECT_EQ(t->edtFileName->text(), file);
        bus.clearReceived();
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(bus.busReceived(), "$01M\r$05M\r$0FM\r$06M\r" + kLongest.toStdString() + "\r");
        const QStringList lines = log(t);
        ASSERT_EQ(lines.size(), 10);
        checkPair(lines[0], lines[1], "$01M", "!017352R");
        checkPair(lines[2], lines[3], "$05M", "!057354");
        checkPair(lines[4], lines[5], "$0FM", "!0F7352");
        checkPair(lines[6], lines[7], "$06M", "!067364");
        EXPECT_TRUE(lines[8].startsWith(kLongest));

        // Save to File writes the log lines.
        const QString saved = dir.filePath("log.txt");
        rec.fileAnswers = {saved};
        QTest::mouseClick(t->btSaveToFile, Qt::LeftButton);
        QFile f(saved);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), (lines.join("\r\n") + "\r\n").toUtf8());

        // A log file that cannot be created, and a command file that cannot be opened.
        rec.clear();
        rec.fileAnswers = {dir.filePath("no/such/dir/log.txt")};
        QTest::mouseClick(t->btSaveToFile, Qt::LeftButton);
        EXPECT_EQ(rec.texts("messageBox"), QStringList{"Error when opening file"});
        rec.clear();
        t->edtFileName->setText(dir.filePath("missing.txt"));
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        ASSERT_EQ(rec.texts("messageBox"), QStringList{"Error when opening file"});
        EXPECT_EQ(rec.shown.back().caption, "Message");
    });
}

TEST_F(TerminalTest, ContinueSendRepeatsUntilStop) {
    terminal([&](TfrmMTerminal* t) {
        t->edtCommandLine->setText("$01M");
        QTest::mouseClick(t->btContinueSend, Qt::LeftButton);
        EXPECT_TRUE(t->tmrUpdate->isActive());
        for (QPushButton* b : {t->btSend, t->btContinueSend, t->btSaveToFile, t->btExit})
            EXPECT_FALSE(b->isEnabled());
        EXPECT_TRUE(t->btStopSend->isEnabled());
        t->tmrUpdateTimer();
        t->tmrUpdateTimer();
        EXPECT_TRUE(t->tmrUpdate->isActive());
        EXPECT_EQ(log(t).size(), 4);
        QTest::mouseClick(t->btStopSend, Qt::LeftButton);
        EXPECT_FALSE(t->tmrUpdate->isActive());
        for (QPushButton* b : {t->btSend, t->btContinueSend, t->btSaveToFile, t->btExit})
            EXPECT_TRUE(b->isEnabled());
        // Closing while repeating stops the timer too.
        QTest::mouseClick(t->btContinueSend, Qt::LeftButton);
        t->reject();
        EXPECT_FALSE(t->tmrUpdate->isActive());
    });
}

TEST_F(TerminalTest, BytesAbove0x7FGoOutAsTheyStand) {
    QTemporaryDir dir;
    const QString file = dir.filePath("bytes.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("$01\xB5M\r\n$01\xFF");
    }
    terminal([&](TfrmMTerminal* t) {
        bus.clearReceived();
        t->edtCommandLine->setText(QString::fromLatin1("$01\xE9"));
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(bus.busReceived(), "$01\xE9\r");

        bus.clearReceived();
        QTest::mouseClick(t->rdbIsNotSingleCommand, Qt::LeftButton);
        t->edtFileName->setText(file);
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(bus.busReceived(), "$01\xB5M\r$01\xFF\r");
        const QStringList lines = log(t);
        ASSERT_EQ(lines.size(), 6);
        checkPair(lines[2], lines[3], QString::fromLatin1("$01\xB5M"), "Timeout!");
        checkPair(lines[4], lines[5], QString::fromLatin1("$01\xFF"), "Timeout!");

        // The saved log keeps one byte per character.
        const QString saved = dir.filePath("log.txt");
        rec.fileAnswers = {saved};
        QTest::mouseClick(t->btSaveToFile, Qt::LeftButton);
        QFile f(saved);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().contains("\r\n$01\xB5M   "));
    });
}

TEST_F(TerminalTest, StopOrClosingEndsACommandFileAfterTheCurrentCommand) {
    QTemporaryDir dir;
    const QString file = dir.filePath("many.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 5000; ++i) f.write("$01M\n");
    }
    terminal([&](TfrmMTerminal* t) {
        QTest::mouseClick(t->rdbIsNotSingleCommand, Qt::LeftButton);
        t->edtFileName->setText(file);
        struct Seen {
            bool sendEnabled = true;
            bool exitEnabled = false;
            QString logSoFar;
        } seen;
        // Runs at the first chance the window gets between two commands.
        auto between = [&](const std::function<void()>& action) {
            QTimer::singleShot(0, t, [&, action] {
                seen.sendEnabled = t->btSend->isEnabled();
                seen.exitEnabled = t->btExit->isEnabled();
                seen.logSoFar = t->edtCommandStatus->toPlainText();
                QTest::mouseClick(t->btSend, Qt::LeftButton);  // ignored while the file runs
                action();
            });
        };
        bus.clearReceived();
        between([&] { QTest::mouseClick(t->btStopSend, Qt::LeftButton); });
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(bus.busReceived(), "$01M\r");
        EXPECT_FALSE(seen.sendEnabled);
        EXPECT_TRUE(seen.exitEnabled);
        EXPECT_TRUE(seen.logSoFar.startsWith("$01M "));  // shown before the run ended
        EXPECT_EQ(log(t).size(), 2);
        EXPECT_TRUE(t->btSend->isEnabled());

        bus.clearReceived();
        between([&] { t->reject(); });
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        EXPECT_EQ(bus.busReceived(), "$01M\r");
        EXPECT_EQ(log(t).size(), 4);
    });
}

TEST(TerminalFileWords, WordsAreReadOneByOneAndOverlongOnesCut) {
    QByteArray content = "  $01M\t$02M\r\n\n" + QByteArray(100000, 'X') + " \v\f$03M";
    QBuffer buffer(&content);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    QByteArray word;
    ASSERT_TRUE(TfrmMTerminal::ReadFileWord(buffer, word));
    EXPECT_EQ(word, "$01M");
    ASSERT_TRUE(TfrmMTerminal::ReadFileWord(buffer, word));
    EXPECT_EQ(word, "$02M");
    ASSERT_TRUE(TfrmMTerminal::ReadFileWord(buffer, word));
    EXPECT_EQ(word, QByteArray(TfrmMTerminal::kMaxFileWord + 1, 'X'));
    ASSERT_TRUE(TfrmMTerminal::ReadFileWord(buffer, word));
    EXPECT_EQ(word, "$03M");
    EXPECT_FALSE(TfrmMTerminal::ReadFileWord(buffer, word));
}

// The drain before each command must not make the timed part wait for a quiet line: an instant
// reply is logged as instant and a time-out as one time-out, not two.
TEST_F(TerminalTest, ReplyTimeCountsOnlyTheTransaction) {
    win->frmComSet()->EditTimeOut->setText("300");
    terminal([&](TfrmMTerminal* t) {
        int instant = 0, timeout = 0;
        for (const char* command : {"$01M", "$01M", "$7EM"}) {
            t->edtCommandLine->setText(command);
            QTest::keyClick(t->edtCommandLine, Qt::Key_Return);
            const QStringList lines = log(t);
            const int ms = checkPair(lines[lines.size() - 2], lines.last(), command,
                                     QString(command) == "$7EM" ? "Timeout!" : "!017352R");
            (QString(command) == "$7EM" ? timeout : instant) = ms;
        }
        EXPECT_LT(instant, 30);
        EXPECT_GE(timeout, 300);
        EXPECT_LT(timeout, 450);
    });
}

// After a send the line is selected (typing replaces it, Enter sends it again); Up and Down walk
// the history, which with the checksum box survives the dialog and is capped at 100 lines.
TEST_F(TerminalTest, CommandLineSelectionHistoryAndSavedState) {
    terminal([&](TfrmMTerminal* t) {
        QTest::keyClicks(t->edtCommandLine, "$01M");
        QTest::keyClick(t->edtCommandLine, Qt::Key_Return);
        EXPECT_EQ(t->edtCommandLine->selectedText(), "$01M");
        QTest::keyClick(t->edtCommandLine, Qt::Key_Return);  // again, same text
        EXPECT_EQ(t->edtResponse->text(), "!017352R");
        QTest::keyClicks(t->edtCommandLine, "$012");  // replaces the selection
        EXPECT_EQ(t->edtCommandLine->text(), "$012");
        QTest::keyClick(t->edtCommandLine, Qt::Key_Return);
        QTest::keyClick(t->edtCommandLine, Qt::Key_Up);
        EXPECT_EQ(t->edtCommandLine->text(), "$012");
        QTest::keyClick(t->edtCommandLine, Qt::Key_Up);
        EXPECT_EQ(t->edtCommandLine->text(), "$01M");  // a repeated line is kept once
        QTest::keyClick(t->edtCommandLine, Qt::Key_Up);
        EXPECT_EQ(t->edtCommandLine->text(), "$01M");  // the oldest stays
        QTest::keyClick(t->edtCommandLine, Qt::Key_Down);
        QTest::keyClick(t->edtCommandLine, Qt::Key_Down);
        EXPECT_EQ(t->edtCommandLine->text(), "");
        t->chkCheckSum->setChecked(true);
        QTest::mouseClick(t->btExit, Qt::LeftButton);
    });
    terminal([&](TfrmMTerminal* t) {
        EXPECT_TRUE(t->chkCheckSum->isChecked());
        QTest::keyClick(t->edtCommandLine, Qt::Key_Up);
        EXPECT_EQ(t->edtCommandLine->text(), "$012");
        QTest::mouseClick(t->btExit, Qt::LeftButton);
    });
    // A longer saved history (an older run, a hand edit) is cut to its last 100 lines.
    {
        QStringList lines;
        for (int i = 0; i < 150; ++i) lines << QString::asprintf("$%02X2", i);
        odel::ui::SavedState()->setValue("Terminal/history", lines);
    }
    terminal([&](TfrmMTerminal* t) {
        for (int i = 0; i < 101; ++i) QTest::keyClick(t->edtCommandLine, Qt::Key_Up);
        EXPECT_EQ(t->edtCommandLine->text(), "$322");  // line 50 of 0..149
    });
}

TEST_F(TerminalTest, SpecialOrHugeCommandFilesAreRefusedAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath("huge.txt");
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(TfrmMTerminal::kMaxCommandFile + 1));
    }
    const struct {
        QString file, reason;
    } cases[] = {{fifo, "not a regular file"},
                 {"/dev/zero", "not a regular file"},
                 {dir.path(), "not a regular file"},
                 {huge, "larger than 1048576 bytes"}};
    terminal([&](TfrmMTerminal* t) {
        QTest::mouseClick(t->rdbIsNotSingleCommand, Qt::LeftButton);
        bus.clearReceived();
        for (const auto& c : cases) {
            rec.clear();
            t->edtFileName->setText(c.file);
            QElapsedTimer clock;
            clock.start();
            QTest::mouseClick(t->btSend, Qt::LeftButton);
            EXPECT_LT(clock.elapsed(), 2000) << c.file.toStdString();
            EXPECT_EQ(rec.texts("messageBox"), QStringList{"Error when opening file\n" + c.reason});
        }
        EXPECT_EQ(bus.busReceived(), "");
    });
}

TEST_F(TerminalTest, AFailedSaveSaysWhyAndKeepsTheOldLog) {
    QTemporaryDir dir;
    const QString saved = dir.filePath("log.txt");
    terminal([&](TfrmMTerminal* t) {
        t->edtCommandLine->setText("$01M");
        QTest::mouseClick(t->btSend, Qt::LeftButton);
        rec.fileAnswers = {saved};
        QTest::mouseClick(t->btSaveToFile, Qt::LeftButton);
        QFile f(saved);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray good = f.readAll();
        f.close();
        for (int i = 0; i < 3; ++i) QTest::mouseClick(t->btSend, Qt::LeftButton);

        rec.clear();
        rec.fileAnswers = {saved};
        {
            odel::test::FileSizeLimit full(static_cast<rlim_t>(good.size()));
            QTest::mouseClick(t->btSaveToFile, Qt::LeftButton);
        }
        EXPECT_EQ(rec.texts("messageBox"), QStringList{"Error when opening file\nFile too large"});
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), good);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"log.txt"});

        rec.clear();
        rec.fileAnswers = {"/dev/full"};
        QTest::mouseClick(t->btSaveToFile, Qt::LeftButton);
        EXPECT_EQ(rec.texts("messageBox"),
                  QStringList{"Error when opening file\nnot a regular file"});
        struct stat st {};
        ASSERT_EQ(stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    });
}
