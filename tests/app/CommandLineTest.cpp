// The three programs answer --version (and odel-utility --help) without any display.
#include <gtest/gtest.h>

#include <QProcess>

namespace {

struct Outcome {
    int rc = -1;
    QString out, err;
};

Outcome runWithoutDisplay(const QString& program, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QString(ODEL_BIN_DIR) + "/" + program, args);
    Outcome r;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace

TEST(CommandLine, EveryProgramPrintsItsNameAndVersionWithoutADisplay) {
    for (const char* program : {"odel-utility", "odelctl", "odel-sim"}) {
        SCOPED_TRACE(program);
        const Outcome r = runWithoutDisplay(program, {"--version"});
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, QString(program) + " 2.0.0\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLine, UtilityAnswersHelpAndBadOptionsWithoutADisplay) {
    const Outcome help = runWithoutDisplay("odel-utility", {"--help"});
    EXPECT_EQ(help.rc, 0);
    EXPECT_TRUE(help.out.contains("--simulate [BUSFILE]")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
    const Outcome bad = runWithoutDisplay("odel-utility", {"--port", "tcp://nohost"});
    EXPECT_NE(bad.rc, 0);
    EXPECT_NE(bad.rc, -2) << "crashed: " << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("not a port name")) << bad.err.toStdString();
    for (const char* option : {"--bogus", "-x", "--simulate=x --bogus=1"}) {
        SCOPED_TRACE(option);
        const Outcome unknown = runWithoutDisplay("odel-utility", QString(option).split(' '));
        EXPECT_GT(unknown.rc, 0) << "crashed: " << unknown.err.toStdString();
        EXPECT_TRUE(unknown.err.contains("not expected")) << unknown.err.toStdString();
    }
}
