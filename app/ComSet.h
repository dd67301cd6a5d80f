// The COM settings page shown for a port node: the port, baud rate and time-out that the search
// and the terminal apply to the link before they start.
#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace odel::ui {

class TfrmComSet : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmComSet(QWidget* parent = nullptr);

    QLineEdit* EditPort;
    QComboBox* ComboBoxBaudRate;
    QLineEdit* EditDataBit;
    QLineEdit* EditStopBit;
    QLineEdit* EditParity;
    QLineEdit* EditPretoxChar;
    QLineEdit* EditTimeOut;

    // Combo index of a link baud rate (anything outside the list shows the 9600 entry).
    static int BaudIndex(int baud);
    // Baud rate of a combo index (-1 for a hand-typed entry, or anything else, gives 9600).
    static int BaudOfIndex(int index);
};

}  // namespace odel::ui
