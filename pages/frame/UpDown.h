// A pair of arrow buttons bound to a decimal edit, as the address up-down of every page:
// each step moves the number in the edit by one within [min, max], without wrapping.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace odel::ui {

class UpDown : public QWidget {
    Q_OBJECT
  public:
    UpDown(QLineEdit* buddy, int min, int max, QWidget* parent = nullptr);

    int position() const { return position_; }
    // Moves by steps (positive up); the edit shows the new position.
    void stepBy(int steps);
    // Limits of the position; the position moves inside them.
    void setRange(int min, int max);

  private:
    QLineEdit* buddy_;
    int min_;
    int max_;
    int position_;
};

}  // namespace odel::ui
