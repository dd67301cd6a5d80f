// The intro page shown in the pane at start and whenever the root node is selected.
#pragma once

#include <QWidget>

namespace odel::ui {

class TfrmIntro : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmIntro(QWidget* parent = nullptr);
    // The memo's text: the heading lines and the supported models.
    static QString IntroText();
};

}  // namespace odel::ui
