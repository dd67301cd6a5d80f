// The frame the CJC and lead-wire dialogs share: a drawing of the wiring on the left; on the
// right rows of label, edit and unit above the Save and Exit buttons.
#pragma once

#include <QDialog>
#include <QRectF>
#include <QSize>
#include <functional>

class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPainter;
class QPushButton;
class QVBoxLayout;

namespace odel::ui {

// A fixed-size drawing ("Image1") of the module's terminal block with its two screws, and the
// dialog's wiring drawn over it.
class WiringPicture : public QWidget {
  public:
    // The screws stand 10 px inside the block's left edge, at the two heights; wiring gets an
    // antialiased painter after the block is drawn.
    WiringPicture(QSize size, QRectF block, qreal screwTop, qreal screwBottom,
                  std::function<void(QPainter&)> wiring, QWidget* parent);

  private:
    void paintEvent(QPaintEvent*) override;

    QRectF block_;
    qreal screwTop_;
    qreal screwBottom_;
    std::function<void(QPainter&)> wiring_;
};

class WiringDialog : public QDialog {
    Q_OBJECT
  public:
    QPushButton* btExecute = nullptr;
    QPushButton* btExit = nullptr;

  public slots:
    // "&Save".
    virtual void btExecuteClick() = 0;

  protected:
    WiringDialog(const char* name, const QString& title, QWidget* parent);

    // The drawing, top left; the dialog lays it out and owns it.
    void setPicture(WiringPicture* picture);
    // One row: label, an 80 px edit, unit; a null name leaves that label unnamed.
    QLineEdit* addRow(const QString& label, const char* labelName, const char* editName,
                      const QString& unit, const char* unitName);
    // Digits, signs and the point only, at most maxLength of them.
    static void takeNumbers(QLineEdit* edit, int maxLength);
    // Save and Exit (Exit rejects), right-aligned below the rows. With enterSaves, Enter in that
    // edit saves and the buttons do not also take it as their default.
    void addButtons(QLineEdit* enterSaves);

    QVBoxLayout* right_;

  private:
    QHBoxLayout* layout_;
    QGridLayout* rows_;
    int rowCount_ = 0;
};

}  // namespace odel::ui
