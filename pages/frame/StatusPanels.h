// The main window's status bar statbarMain with its three panels: 0 messages, 1 the link
// heartbeat drawn as one of four icons chosen by its text "0".."3", 2 never written.
#pragma once

#include <QColor>
#include <QStatusBar>
#include <QString>

class QLabel;

namespace odel::ui {

class HeartbeatPanel;

class StatusPanels : public QStatusBar {
    Q_OBJECT
  public:
    explicit StatusPanels(QWidget* parent = nullptr);

    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    // Index of the heartbeat icon drawn for panel 1: 0..3 (text "0", "1", "2", anything else).
    int heartbeatImage() const;
    // Font colour of a text panel (0 or 2); pages show alarms in red and clear them in black.
    void setPanelColor(int index, const QColor& color);
    QColor panelColor(int index) const;

  Q_SIGNALS:
    // Every text written to a panel, also when it equals the text shown.
    void panelTextSet(int index, const QString& text);

  private:
    QLabel* panel0_;
    HeartbeatPanel* panel1_;
    QLabel* panel2_;
};

}  // namespace odel::ui
