// The settings-file loader on any content: a list of every line kind, parsed and, when the file
// passes, applied to its controls.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <cstdint>

#include "pages/frame/ConfFile.h"

namespace {
QApplication* app = nullptr;
QComboBox* combo = nullptr;
QCheckBox* box = nullptr;
QLineEdit* edit = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = new QApplication(*argc, *argv);
    combo = new QComboBox;
    combo->addItems({"1200", "2400", "4800", "9600"});
    box = new QCheckBox;
    edit = new QLineEdit;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using odel::ui::ConfSchema;
    ConfSchema schema;
    schema.moduleName(" ODEL-7354+ ");
    schema.comboIndex("BaudRate", combo);
    schema.clearedFlag("checkSum", box);
    schema.state("CH0 State", box);
    schema.real("Comm. WDT", edit);
    schema.text("CN0 Initial Value", edit);
    schema.readOnly("Read Only", [] { return QString("0"); }, [](const QString& v) { return v.size() < 4; });
    schema.step([] {});
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (schema.parse(content)) {
        schema.apply();
        schema.write();
    }
    ConfSchema::valueIn(content, "BaudRate");
    return 0;
}
