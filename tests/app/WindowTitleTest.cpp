// Window titles as the window manager sees them (_NET_WM_NAME under a real X server): exactly
// the program's own, with nothing appended by the toolkit.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

class XServer {
  public:
    bool start() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty()) return false;
        xvfb_.start("Xvfb",
                    {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (!xvfb_.waitForStarted(5000)) return false;
        QByteArray out;
        QDeadlineTimer deadline(10000);
        while (!out.contains('\n') && !deadline.hasExpired() && xvfb_.waitForReadyRead(1000))
            out += xvfb_.readAllStandardOutput();
        bool ok = false;
        const int n = out.trimmed().toInt(&ok);
        if (ok) display_ = ":" + QString::number(n);
        return ok;
    }
    ~XServer() {
        for (QProcess* p : {&client_, &xvfb_}) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("DISPLAY", display_);
        e.insert("QT_QPA_PLATFORM", "xcb");
        return e;
    }
    // Runs a tool against the server and returns its standard output.
    QString run(const QString& program, const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(program, args);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    // The window manager's name of a window, as xprop reports it.
    QString netWmName(const QString& id) const {
        const QString out = run("xprop", {"-id", id, "_NET_WM_NAME"});
        static const QRegularExpression re("= \"(.*)\"\\s*$");
        const auto m = re.match(out);
        return m.hasMatch() ? m.captured(1) : "<" + out.trimmed() + ">";
    }
    QProcess& client() {
        client_.setProcessEnvironment(env());
        return client_;
    }

  private:
    QProcess xvfb_;
    QProcess client_;
    QString display_;
};

bool toolsPresent() {
    for (const char* tool : {"Xvfb", "xprop", "xwininfo"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) return false;
    return true;
}

}  // namespace

TEST(WindowTitles, ProgramWindowsCarryExactlyTheirOwnTitles) {
    if (!toolsPresent()) GTEST_SKIP() << "Xvfb, xprop or xwininfo not installed";
    XServer x;
    ASSERT_TRUE(x.start());
    QProcess& probe = x.client();
    probe.start(QString(ODEL_BIN_DIR) + "/title_probe", {});
    ASSERT_TRUE(probe.waitForStarted(5000));
    QByteArray out;
    QDeadlineTimer deadline(20000);
    // A slow start (a loaded machine) is waited for up to the deadline, not one second.
    while (!out.contains("ready\n") && !deadline.hasExpired() &&
           probe.state() == QProcess::Running) {
        probe.waitForReadyRead(1000);
        out += probe.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("ready\n")) << out.toStdString();
    QMap<QString, QString> byTitle;  // windowTitle() -> window id
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2) byTitle[QString::fromUtf8(parts[1])] = QString::fromUtf8(parts[0]);
    }
    const QStringList expected{"ODEL-7300 Utility (Ver 2.00)", "Terminal", "Message",
                               "ODEL Utility"};
    for (const QString& title : expected) {
        SCOPED_TRACE(title.toStdString());
        ASSERT_TRUE(byTitle.contains(title)) << out.toStdString();
        EXPECT_EQ(x.netWmName(byTitle[title]).toStdString(), title.toStdString());
    }
}

TEST(WindowTitles, TheProgramsMainWindowUnderX) {
    if (!toolsPresent()) GTEST_SKIP() << "Xvfb, xprop or xwininfo not installed";
    XServer x;
    ASSERT_TRUE(x.start());
    QProcess& program = x.client();
    program.start(QString(ODEL_BIN_DIR) + "/odel-utility", {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // The main window appears in the server's window tree under its name.
    static const QRegularExpression row("^\\s*(0x[0-9a-f]+) \"ODEL-7300 Utility[^\"]*\"",
                                        QRegularExpression::MultilineOption);
    QString id;
    for (QDeadlineTimer deadline(20000); id.isEmpty() && !deadline.hasExpired();) {
        const auto m = row.match(x.run("xwininfo", {"-root", "-tree"}));
        if (m.hasMatch())
            id = m.captured(1);
        else
            QThread::msleep(200);
    }
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(x.netWmName(id).toStdString(), "ODEL-7300 Utility (Ver 2.00)");
}
