// Tools > Bus Monitor: a non-modal window that shows every exchange on the current link, one
// decoded row each, with a raw byte view, filters, pause/clear/copy/save and the "Why no
// answer?" line for the selected address. It observes the link only while it is open.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <unordered_map>
#include <vector>

#include "device/BusMonitor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace odel::ui {

// The rows of the monitor that pass the filters, decoded on demand.
class ExchangeModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Time, Port, Address, Command, Reply, ReplyTime, Verdict, Meaning, ColumnCount };

    explicit ExchangeModel(const odel::bus::BusMonitor& monitor, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // Takes in what the monitor recorded since the last call.
    void Refresh();
    // Filters: address as two hex digits ("" all); verdict index of the verdict combo.
    void SetFilter(const QString& address, int verdict);
    const odel::bus::Row* RowAt(int row) const;
    const odel::bus::Exchange* ExchangeAt(int row) const;

  private:
    bool Passes(const odel::bus::Row& r) const;
    void Rebuild();

    const odel::bus::BusMonitor& monitor_;
    std::vector<std::uint64_t> seqs_;
    std::uint64_t nextToTake_ = 1;  // first sequence number not yet looked at
    std::uint64_t lastChanges_ = 0;
    QString address_;
    int verdict_ = 0;
    mutable std::unordered_map<std::uint64_t, odel::bus::Row> cache_;
};

class TfrmBusMonitor : public QWidget {
    Q_OBJECT
  public:
    // attach(observer) gives the observer to the current link and every later one (nullptr
    // takes it away); link() is the current link or nullptr.
    TfrmBusMonitor(std::function<void(odel::TrafficObserver*)> attach,
                   std::function<odel::SerialPort*()> link, QWidget* parent = nullptr);
    ~TfrmBusMonitor() override;

    odel::bus::BusMonitor& monitor() { return monitor_; }
    ExchangeModel* model() const { return model_; }
    // Writes the window's place, filters and raw setting to the saved state.
    void SaveState();

    QCheckBox* chkRaw;
    QLineEdit* edtAddress;
    QComboBox* cmbVerdict;
    QPushButton* btPause;
    QPushButton* btClear;
    QPushButton* btCopy;
    QPushButton* btSaveText;
    QPushButton* btSaveCsv;
    QLabel* labCount;
    QLabel* labWhyNoAnswer;
    QTableView* tblExchanges;
    QPlainTextEdit* txtRaw;
    QTimer* tmrRefresh;

  public Q_SLOTS:
    void tmrRefreshTimer();
    void btClearClick();
    void btCopyClick();
    void btSaveTextClick();
    void btSaveCsvClick();
    void UpdateDiagnosis();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowRaw();
    void Save(bool csv);
    QString SelectedAddress() const;

    odel::bus::BusMonitor monitor_;
    std::function<void(odel::TrafficObserver*)> attach_;
    ExchangeModel* model_;
};

}  // namespace odel::ui
