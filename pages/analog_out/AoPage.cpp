#include "pages/analog_out/AoPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "device/ModuleBase.h"
#include "pages/frame/GeneralSettingGroup.h"

namespace odel::ui {

namespace {
// Runs a key filter on one edit.
class KeyFilter : public QObject {
  public:
    KeyFilter(QLineEdit* edit, std::function<bool(QChar)> allowed, std::function<void()> onEnter)
        : QObject(edit), allowed_(std::move(allowed)), onEnter_(std::move(onEnter)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (onEnter_) onEnter_();
            return true;
        }
        const QString text = key->text();
        if (key->key() == Qt::Key_Backspace || text.isEmpty() || !text[0].isPrint()) return false;
        for (QChar c : text)
            if (!allowed_(c)) return true;
        return false;
    }

  private:
    std::function<bool(QChar)> allowed_;
    std::function<void()> onEnter_;
};
}  // namespace

int AoGeneral::slewCode() const {
    if (slew.size() != 4) return -1;
    int code = 0;
    for (char c : slew) {
        if (c != '0' && c != '1') return -1;
        code = code * 2 + (c - '0');
    }
    return code;
}

bool AoPage::readGeneral(AoGeneral& out) {
    odel::ModuleBase* m = frameModule();
    return m && m->ReadConfiguration(out.address) && m->GetChecksumBit(out.checksum) &&
           m->GetBaudCode(out.baud) && m->ReadFirmwareVersion(out.version) &&
           m->GetFormatBits52(out.slew);
}

void AoPage::showGeneral(const AoGeneral& r) {
    GeneralSettingGroup* g = general();
    bool ok = false;
    const int n = QString::fromStdString(r.address).toInt(&ok, 16);
    g->edtAddress_Hex->setText((InitMode ? "*" : "") + QString::fromStdString(r.address));
    g->edtAddress_Dec->setText(ok ? QString::number(n) : QString());
    const int baud = QString::fromStdString(r.baud).toInt(&ok, 16);
    g->cmbBaudRate->setCurrentIndex(ok && baud >= 3 && baud - 3 < g->cmbBaudRate->count() ? baud - 3
                                                                                          : -1);
    g->chkCheckSum->setChecked(r.checksum == "1");
    g->edtFirmwareVer->setText(QString::fromStdString(r.version));
}

void AoPage::stageSlew(const QComboBox* slew) {
    const int i = slew->currentIndex();
    if (i < 0 || i >= slew->count()) return;
    std::string bits;
    for (int b = 3; b >= 0; --b) bits += (i >> b) & 1 ? '1' : '0';
    frameModule()->SetFormatBits52(bits);
}

void AoPage::stageBaud() {
    const int i = general()->cmbBaudRate->currentIndex();
    if (i >= 0) frameModule()->SetBaudCode(QString::asprintf("%02X", i + 3).toStdString());
}

void AoPage::filterKeys(QLineEdit* edit, std::function<bool(QChar)> allowed,
                        std::function<void()> onEnter) {
    edit->installEventFilter(new KeyFilter(edit, std::move(allowed), std::move(onEnter)));
}

}  // namespace odel::ui
