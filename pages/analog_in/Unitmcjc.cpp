#include "pages/analog_in/Unitmcjc.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>
#include <cstdlib>

#include "pages/analog_in/AiCalibTargets.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

namespace {
// A small drawing of the terminals: the thermocouple pair at the module's cold junction.
class WiringPicture : public QWidget {
  public:
    explicit WiringPicture(QWidget* parent) : QWidget(parent) {
        setObjectName("Image1");
        setFixedSize(120, 90);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::darkGray, 1));
        p.setBrush(QColor(230, 230, 230));
        p.drawRect(70, 10, 40, 70);
        p.setBrush(QColor(90, 90, 90));
        p.drawEllipse(QPointF(80, 30), 4, 4);
        p.drawEllipse(QPointF(80, 60), 4, 4);
        p.setPen(QPen(QColor(200, 40, 40), 2));
        p.drawLine(QPointF(80, 30), QPointF(20, 45));
        p.setPen(QPen(QColor(40, 40, 200), 2));
        p.drawLine(QPointF(80, 60), QPointF(20, 45));
        p.setPen(Qt::black);
        p.drawText(QRectF(70, 80, 40, 10), Qt::AlignCenter, "CJC");
    }
};
}  // namespace

TfrmCJC::TfrmCJC(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrmCJC");
    setWindowTitle("Cold Junction Compesation");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(new WiringPicture(this), 0, Qt::AlignTop);
    auto* right = new QVBoxLayout;
    auto* grid = new QGridLayout;
    auto* label1 = new QLabel("CJC Temperature =", this);
    label1->setObjectName("Label1");
    edtCurrentCJCVal = new QLineEdit(this);
    edtCurrentCJCVal->setObjectName("edtCurrentCJCVal");
    edtCurrentCJCVal->setReadOnly(true);
    edtCurrentCJCVal->setEnabled(false);
    edtCurrentCJCVal->setFixedWidth(80);
    auto* label3 = new QLabel("'C", this);
    label3->setObjectName("Label3");
    auto* label2 = new QLabel("Input CJC Offset( -99.9 to +99.9 ) = ", this);
    label2->setObjectName("Label2");
    edtCJCVal = new QLineEdit(this);
    edtCJCVal->setObjectName("edtCJCVal");
    edtCJCVal->setMaxLength(5);
    edtCJCVal->setFixedWidth(80);
    // Digits, signs and the point only.
    edtCJCVal->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9+\\-.]*"), edtCJCVal));
    auto* label4 = new QLabel("'C", this);
    label4->setObjectName("Label4");
    grid->addWidget(label1, 0, 0);
    grid->addWidget(edtCurrentCJCVal, 0, 1);
    grid->addWidget(label3, 0, 2);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(edtCJCVal, 1, 1);
    grid->addWidget(label4, 1, 2);
    right->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btExecute = new QPushButton("&Save", this);
    btExecute->setObjectName("btExecute");
    btExit = new QPushButton("E&xit", this);
    btExit->setObjectName("btExit");
    buttons->addWidget(btExecute);
    buttons->addWidget(btExit);
    right->addLayout(buttons);
    layout->addLayout(right);
    connect(btExecute, &QPushButton::clicked, this, &TfrmCJC::btExecuteClick);
    connect(btExit, &QPushButton::clicked, this, &QDialog::reject);
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
