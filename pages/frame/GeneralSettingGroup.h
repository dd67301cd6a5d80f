// The " General Setting " group every module page shows: address (decimal with up-down, hex),
// baud rate, checksum, firmware version and the optional rows a page asks for, plus "&Update".
// Controls carry their page names as objectName; a page family adds rows of its own.
#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace odel::ui {

class UpDown;

class GeneralSettingGroup : public QGroupBox {
    Q_OBJECT
  public:
    // Optional rows; address, baud rate, checksum and firmware version are always there.
    enum Row : unsigned {
        DataFormat = 1u << 0,
        IntegrationTime = 1u << 1,
        Protocol = 1u << 2,
        CommWDT = 1u << 3,
    };

    GeneralSettingGroup(unsigned rows, QWidget* parent = nullptr);

    // Adds a labelled row above the Update button (label may be empty); returns the label.
    QLabel* addRow(const QString& label, QWidget* field);
    // Shows or hides a row: its field and its label.
    void setRowVisible(QWidget* field, bool visible);

    // Fills cmbDataFormat with the page's items.
    void setDataFormatItems(const QStringList& items);

    QLineEdit* edtAddress_Dec;
    UpDown* UpDownODEL_ID;
    QLineEdit* edtAddress_Hex;
    QComboBox* cmbBaudRate;
    QCheckBox* chkCheckSum;
    QLineEdit* edtFirmwareVer;
    QComboBox* cmbDataFormat;
    QComboBox* cmbIntegrationTime;
    QComboBox* cmbPotocolSelect;
    QLineEdit* edtCommWDT;
    QPushButton* btSystemUpdate;

  private:
    QWidget* rowWidget(QWidget* field) const;
    QGridLayout* grid_;
    int nextRow_ = 0;
};

// True unless the control was hidden by its page (independent of the page being on screen).
bool isShown(const QWidget* w);

}  // namespace odel::ui
