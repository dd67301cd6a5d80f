// Shows the main window, the terminal, a plain message box and an error dialog as the program
// does, then prints "WINID<TAB>title" of every visible top-level window and "ready", and runs
// until killed. The title test reads the window manager's names of these windows.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/AppIdentity.h"
#include "app/MTerminal.h"
#include "app/MainWindow.h"
#include "pages/frame/Dialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    odel::ui::SetApplicationIdentity();
    odel::ui::TfrmMain frmMain({}, false);
    frmMain.show();
    odel::ui::TfrmMTerminal terminal(&frmMain);
    terminal.show();
    QTimer::singleShot(800, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                std::printf("0x%llx\t%s\n", static_cast<unsigned long long>(w->winId()),
                            w->windowTitle().toUtf8().constData());
        std::printf("ready\n");
        std::fflush(stdout);
    });
    QTimer::singleShot(0, [] {
        QTimer::singleShot(200, [] { odel::ui::dialogs().error("Open /dev/ttyS0 failed!"); });
        odel::ui::dialogs().messageBox("Error when opening file", "Message");
    });
    return QApplication::exec();
}
