#include "pages/frame/StatusPanels.h"

#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>

namespace odel::ui {

class HeartbeatPanel : public QWidget {
  public:
    explicit HeartbeatPanel(QWidget* parent) : QWidget(parent) {
        setObjectName("statbarMainPanel1");
        setFixedWidth(40);
        setMinimumHeight(20);
    }
    QString text = "0";

    int image() const {
        if (text == "0") return 0;
        if (text == "1") return 1;
        if (text == "2") return 2;
        return 3;
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QSvgRenderer svg(QString(":/icons/heartbeat%1.svg").arg(image()));
        // Drawn at the panel's left + 8, top + 1, as the icons of the tree's image list.
        svg.render(&p, QRectF(8, 1, 16, 16));
    }
};

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    setObjectName("statbarMain");
    setSizeGripEnabled(false);
    panel0_ = new QLabel(this);
    panel0_->setObjectName("statbarMainPanel0");
    panel0_->setFixedWidth(500);
    panel1_ = new HeartbeatPanel(this);
    panel2_ = new QLabel(this);
    panel2_->setObjectName("statbarMainPanel2");
    panel2_->setFixedWidth(100);
    addWidget(panel0_);
    addWidget(panel1_);
    addWidget(panel2_);
}

QString StatusPanels::panelText(int index) const {
    switch (index) {
        case 0:
            return panel0_->text();
        case 1:
            return panel1_->text;
        case 2:
            return panel2_->text();
        default:
            return {};
    }
}

void StatusPanels::setPanelText(int index, const QString& text) {
    switch (index) {
        case 0:
            panel0_->setText(text);
            break;
        case 1:
            panel1_->text = text;
            panel1_->update();
            break;
        case 2:
            panel2_->setText(text);
            break;
        default:
            return;
    }
    Q_EMIT panelTextSet(index, text);
}

int StatusPanels::heartbeatImage() const {
    return panel1_->image();
}

void StatusPanels::setPanelColor(int index, const QColor& color) {
    QLabel* panel = index == 0 ? panel0_ : index == 2 ? panel2_ : nullptr;
    if (!panel) return;
    QPalette pal = panel->palette();
    pal.setColor(QPalette::WindowText, color);
    panel->setPalette(pal);
}

QColor StatusPanels::panelColor(int index) const {
    const QLabel* panel = index == 0 ? panel0_ : index == 2 ? panel2_ : nullptr;
    return panel ? panel->palette().color(QPalette::WindowText) : QColor();
}

}  // namespace odel::ui
