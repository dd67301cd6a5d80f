// The search progress dialog: probes one bus address per timer tick and puts every module that
// answers under the port node that was selected when the search started.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace odel {
class BusSearch;
class SerialPort;
}  // namespace odel

namespace odel::ui {

class SearchAnimation;

class TfrmDlgSearch : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmDlgSearch(QWidget* parent = nullptr);
    ~TfrmDlgSearch() override;

    SearchAnimation* Animate1;
    QLineEdit* edtAddrHex;
    QLineEdit* edtAddrDec;
    QProgressBar* ProgressBar1;
    QPushButton* btnStop;
    QTimer* Timer1;

    // Removes the old result of the selected port node and starts the probes, from the start
    // address up to the end address.
    void SetStartAddr(odel::SerialPort* link, int startAddress, QTreeWidget* tree,
                      int endAddress = 255);
    // True once the search has ended (finished or stopped).
    bool Finished() const { return finished_; }

  public Q_SLOTS:
    void Timer1Timer();
    void btnStopClick();

  protected:
    void done(int result) override;

  private:
    void finish();

    odel::SerialPort* link_ = nullptr;
    std::unique_ptr<odel::BusSearch> probe_;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* portNode_ = nullptr;
    bool finished_ = true;
};

}  // namespace odel::ui
