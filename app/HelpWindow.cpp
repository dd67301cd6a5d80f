#include "app/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace odel::ui {

TfrmHelp::TfrmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmHelp");
    setWindowTitle("ODEL Utility Help");
    btHelpBack = new QPushButton("&Back", this);
    btHelpBack->setObjectName("btHelpBack");
    btHelpForward = new QPushButton("&Forward", this);
    btHelpForward->setObjectName("btHelpForward");
    btHelpHome = new QPushButton("&Home", this);
    btHelpHome->setObjectName("btHelpHome");
    btHelpClose = new QPushButton("&Close", this);
    btHelpClose->setObjectName("btHelpClose");
    tbHelp = new QTextBrowser(this);
    tbHelp->setObjectName("tbHelp");
    // Links stay inside this window; nothing is handed to another program.
    tbHelp->setOpenExternalLinks(false);
    tbHelp->setOpenLinks(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btHelpBack);
    buttons->addWidget(btHelpForward);
    buttons->addWidget(btHelpHome);
    buttons->addStretch(1);
    buttons->addWidget(btHelpClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(tbHelp, 1);
    resize(760, 620);

    btHelpBack->setEnabled(false);
    btHelpForward->setEnabled(false);
    connect(btHelpBack, &QPushButton::clicked, tbHelp, &QTextBrowser::backward);
    connect(btHelpForward, &QPushButton::clicked, tbHelp, &QTextBrowser::forward);
    connect(btHelpHome, &QPushButton::clicked, this, [this] { tbHelp->setSource(home_); });
    connect(tbHelp, &QTextBrowser::backwardAvailable, btHelpBack, &QPushButton::setEnabled);
    connect(tbHelp, &QTextBrowser::forwardAvailable, btHelpForward, &QPushButton::setEnabled);
    connect(btHelpClose, &QPushButton::clicked, this, &QWidget::close);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

void TfrmHelp::ShowPage(const QUrl& page) {
    home_ = page;
    if (tbHelp->source() != page) tbHelp->setSource(page);
    show();
    raise();
    activateWindow();
}

}  // namespace odel::ui
