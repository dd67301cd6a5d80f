#include "pages/analog_in/Unitmcjc.h"

#include <QLineEdit>
#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "pages/analog_in/AiCalibTargets.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

TfrmCJC::TfrmCJC(QWidget* parent) : WiringDialog("TfrmCJC", "Cold Junction Compesation", parent) {
    // The thermocouple pair at the module's cold junction.
    setPicture(new WiringPicture(
        QSize(120, 90), QRectF(70, 10, 40, 70), 30, 60,
        [](QPainter& p) {
            p.setPen(QPen(QColor(200, 40, 40), 2));
            p.drawLine(QPointF(80, 30), QPointF(20, 45));
            p.setPen(QPen(QColor(40, 40, 200), 2));
            p.drawLine(QPointF(80, 60), QPointF(20, 45));
            p.setPen(Qt::black);
            p.drawText(QRectF(70, 80, 40, 10), Qt::AlignCenter, "CJC");
        },
        this));
    edtCurrentCJCVal = addRow("CJC Temperature =", "Label1", "edtCurrentCJCVal", "'C", "Label3");
    edtCurrentCJCVal->setReadOnly(true);
    edtCurrentCJCVal->setEnabled(false);
    edtCJCVal =
        addRow("Input CJC Offset( -99.9 to +99.9 ) = ", "Label2", "edtCJCVal", "'C", "Label4");
    takeNumbers(edtCJCVal, 5);
    // Enter saves through Save, the default button.
    addButtons(nullptr);
}

TfrmCJC::~TfrmCJC() = default;

void TfrmCJC::setTarget(std::unique_ptr<CjcTarget> target) {
    target_ = std::move(target);
}

void TfrmCJC::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void TfrmCJC::FormActivate() {
    std::string value;
    if (target_ && target_->ReadCjc(value))
        edtCurrentCJCVal->setText(QString::fromStdString(value));
    edtCJCVal->setText("+00.0");
}

bool TfrmCJC::OffsetOf(const QString& text, QString& sign, QString& offset) {
    // The whole text as a number, taken as a single-precision value; a text that holds no
    // number ("", "--5", "1.2.3") is refused rather than sent as 0.
    double number = 0;
    if (!parseNumber(text, number)) return false;
    const float v = static_cast<float>(number);
    // Bounds compared in double: the single-precision 99.9 lies just above 99.9 itself.
    if (static_cast<double>(v) > 99.9 || !(static_cast<double>(v) >= -99.9)) return false;
    // One count is 0.009 'C; the product is rounded to single precision, then truncated.
    const float product = static_cast<float>(static_cast<double>(v) * 111.11111111111111);
    const long counts = static_cast<long>(std::trunc(product));
    sign = v >= 0 ? "+" : "-";
    offset = QString::asprintf("%04lX", std::labs(counts));
    return true;
}

void TfrmCJC::btExecuteClick() {
    QString sign, offset;
    if (!OffsetOf(edtCJCVal->text(), sign, offset)) {
        dialogs().messageBox("Invalid data", "Warning");
        return;
    }
    if (!target_ || !target_->SetCjcOffset(sign.toStdString(), offset.toStdString())) {
        dialogs().messageBox("CJC Offset Calibration Error", target_ ? target_->ErrorTitle() : "");
        return;
    }
    pause(target_->SettleMs());
    std::string value;
    if (target_->ReadCjc(value)) {
        edtCurrentCJCVal->setText(QString::fromStdString(value));
        dialogs().information("Update success!");
    }
}

}  // namespace odel::ui
