// The program's own help window: the help page of the data directory in a text browser with
// links, back, forward and home, so help works without any desktop launcher.
#pragma once

#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace odel::ui {

class TfrmHelp : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmHelp(QWidget* parent = nullptr);

    // Shows the page (the home of Home) and brings the window to the front.
    void ShowPage(const QUrl& page);

    QPushButton* btHelpBack;
    QPushButton* btHelpForward;
    QPushButton* btHelpHome;
    QPushButton* btHelpClose;  // Esc and Ctrl+W close the window too
    QTextBrowser* tbHelp;

  private:
    QUrl home_;
};

}  // namespace odel::ui
