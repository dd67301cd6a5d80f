#include "pages/analog_in/Unitmwirepayment.h"

#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cmath>

#include "device/AnalogInput.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

TfrmMWirePayment::TfrmMWirePayment(QWidget* parent)
    : WiringDialog("TfrmMWirePayment", "ODEL-7347K Lead Wire Effect Compensation", parent) {
    // The thermistor between its two terminals, with the lead resistance drawn in each wire.
    setPicture(new WiringPicture(
        QSize(150, 90), QRectF(105, 10, 35, 70), 28, 62,
        [](QPainter& p) {
            p.setPen(QPen(QColor(60, 60, 60), 2));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(115, 28), QPointF(20, 28));
            p.drawLine(QPointF(115, 62), QPointF(20, 62));
            p.drawRect(QRectF(12, 35, 16, 20));  // the thermistor
            p.drawLine(QPointF(20, 28), QPointF(20, 35));
            p.drawLine(QPointF(20, 55), QPointF(20, 62));
            p.setPen(QPen(QColor(200, 40, 40), 2));
            for (double y : {28.0, 62.0}) p.drawRect(QRectF(55, y - 4, 22, 8));  // lead resistance
            p.setPen(Qt::black);
            p.drawText(QRectF(44, 8, 45, 12), Qt::AlignCenter, "R lead");
        },
        this));
    edtCurrentWirePaymentVal = addRow("Lead Wire Resistance(0~6553.5) = ", nullptr,
                                      "edtCurrentWirePaymentVal", "Ohm", nullptr);
    takeNumbers(edtCurrentWirePaymentVal, 8);
    addButtons(edtCurrentWirePaymentVal);
    right_->addStretch(1);
}

void TfrmMWirePayment::setTarget(odel::AiMultiModule* module, const QString& mode) {
    module_ = module;
    mode_ = mode;
}

void TfrmMWirePayment::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Read once when the dialog opens, not on every re-activation after a message box, so a
    // typed value is not overwritten.
    if (!shown_) {
        shown_ = true;
        ReadValue();
    }
}

void TfrmMWirePayment::ReadValue() {
    std::string reply;
    static const QRegularExpression hex4("^[0-9A-Fa-f]{4}$");
    const bool ok = module_ && module_->ReadLeadWireCompensation(mode_.toStdString(), reply) &&
                    hex4.match(QString::fromStdString(reply)).hasMatch();
    if (ok) {
        const int tenths = QString::fromStdString(reply).toInt(nullptr, 16);
        edtCurrentWirePaymentVal->setText(QString::asprintf("%.1f", tenths * 0.1));
        edtCurrentWirePaymentVal->setPlaceholderText({});
    } else {
        // No value is shown rather than a plausible 0 that a Save would write.
        edtCurrentWirePaymentVal->clear();
        edtCurrentWirePaymentVal->setPlaceholderText("read failed");
    }
}

bool TfrmMWirePayment::ValueOf(const QString& text, QString& value) {
    double number = 0;
    if (!parseNumber(text, number)) return false;
    const float v = static_cast<float>(number);
    // The module reads its value back without a sign: only 0 .. 6553.5 ohm is taken.
    if (v > 6553.5f || !(v >= 0)) return false;
    // Tenths, rounded to single precision, then truncated.
    const float tenths = static_cast<float>(std::fabs(static_cast<double>(v) * 10));
    value = QString::asprintf("%04X", static_cast<unsigned>(std::trunc(tenths)));
    return true;
}

void TfrmMWirePayment::btExecuteClick() {
    QString value;
    if (!ValueOf(edtCurrentWirePaymentVal->text(), value)) {
        dialogs().messageBox("Invalid data", "Warning");
        return;
    }
    if (!module_ ||
        !module_->SetLeadWireCompensation(mode_.toStdString(), "+", value.toStdString())) {
        dialogs().error("Update failed!");
        return;
    }
    pause(500);
    dialogs().information("Update success!");
    ReadValue();
}

}  // namespace odel::ui
