#include "app/DlgAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TreeImages.h"

namespace odel::ui {

TfrmDlgAbout::TfrmDlgAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDlgAbout");
    setWindowTitle("About ODEL 7300 Series Utility");
    InitResources();
    auto* picture = new QLabel(this);
    picture->setObjectName("ProgramIcon");
    picture->setPixmap(QIcon(":/about.svg").pixmap(64, 64));
    auto* product = new QLabel("ODEL-7300 Utility", this);
    product->setObjectName("ProductName");
    auto* version = new QLabel("Version: 2.00", this);
    version->setObjectName("Version");
    OKBtn = new QPushButton("OK", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

}  // namespace odel::ui
