#include "app/ComSet.h"
#include "pages/frame/Widgets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace odel::ui {

namespace {
constexpr int kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
}  // namespace

TfrmComSet::TfrmComSet(QWidget* parent) : QWidget(parent) {
    setObjectName("frmComSet");
    auto* group = new QGroupBox("Host COM Setting", this);
    group->setObjectName("GroupBox1");
    auto* form = new QFormLayout(group);

    EditPort = makeReadOnlyEdit("EditPort", {}, group);
    ComboBoxBaudRate = new QComboBox(group);
    ComboBoxBaudRate->setObjectName("ComboBoxBaudRate");
    ComboBoxBaudRate->setEditable(true);
    ComboBoxBaudRate->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxBaudRate->addItems({"1200 bps", "2400 bps", "4800 bps", "9600 bps", "19.2 kbps",
                                "38.4 kbps", "57.6 kbps", "115.2 kbps"});
    ComboBoxBaudRate->setCurrentIndex(3);
    EditDataBit = makeReadOnlyEdit("EditDataBit", "8", group);
    EditStopBit = makeReadOnlyEdit("EditStopBit", "1", group);
    EditParity = makeReadOnlyEdit("EditParity", "None", group);
    EditPretoxChar = new QLineEdit(group);
    EditPretoxChar->setObjectName("EditPretoxChar");
    EditPretoxChar->setEnabled(false);
    EditTimeOut = new QLineEdit("80", group);
    EditTimeOut->setObjectName("EditTimeOut");

    form->addRow("Serial Port", EditPort);
    form->addRow("Baudrate", ComboBoxBaudRate);
    form->addRow("DataBits", EditDataBit);
    form->addRow("Stop BIts", EditStopBit);
    form->addRow("Parity", EditParity);
    form->addRow("Prefix Char", EditPretoxChar);
    form->addRow("Time Out", EditTimeOut);
    form->addRow(QString(), new QLabel("(ms)", group));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    setFixedSize(300, 280);
}

int TfrmComSet::BaudIndex(int baud) {
    for (int i = 0; i < 8; ++i)
        if (kBauds[i] == baud) return i;
    return 3;
}

int TfrmComSet::BaudOfIndex(int index) {
    if (index < 0 || index > 7) return 9600;
    return kBauds[index];
}

}  // namespace odel::ui
