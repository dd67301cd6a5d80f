#include "app/Intro.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "pages/Dispatch.h"
#include "pages/PageRegistry.h"

namespace odel::ui {

QString TfrmIntro::IntroText() {
    QStringList lines;
    lines << "ODEL-7300 Utility (Version 2.0)              July 2003"
          << "    for Windows 95/98/ME/NT/2000/XP"
          << ""
          << "Support ODEL Modules"
          << "";
    // A model whose page is not in this build yet is announced with "(*)".
    const QStringList registered = RegisteredPages();
    for (const auto& row : DispatchTable()) {
        if (QLatin1String(row.modelName) == QLatin1String("8600") ||
            QLatin1String(row.modelName) == QLatin1String("8600X"))
            continue;
        QString line = QString("ODEL-%1").arg(QLatin1String(row.modelName));
        if (row.modbusClass) line += QLatin1String(" (ASCII / Modbus RTU)");
        const bool ready = registered.contains(QLatin1String(row.pageClass));
        lines << QString("    %1%2").arg(ready ? "" : "(*)", line);
    }
    lines << ""
          << "    (*) will be supported in a later version"
          << ""
          << "Second series (main unit with slot modules)"
          << "    ODEL-8600, ODEL-8600X main units"
          << "    slot modules: not implemented yet";
    return lines.join('\n');
}

TfrmIntro::TfrmIntro(QWidget* parent) : QWidget(parent) {
    setObjectName("frmIntro");
    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName("Memo1");
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setPlainText(IntroText());
    QPalette pal = memo->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    memo->setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo);
    setFixedSize(440, 520);
}

}  // namespace odel::ui
