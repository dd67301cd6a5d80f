// Tools > Data Scope: a non-modal window per port that samples the ticked inputs of the modules
// under the port node, draws them as live traces and records them as CSV. The sweeps run on
// the GUI thread between the pages' and the terminal's transactions, on the port's link.
#pragma once

#include <QChartView>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "scope/Catalog.h"
#include "scope/CsvWriter.h"
#include "scope/Sampler.h"
#include "scope/Trace.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QLineSeries;
class QValueAxis;
class QDateTimeAxis;

namespace odel {
class SerialPort;
}

namespace odel::ui {

// A module node of the tree as the scope needs it.
struct ScopeModuleNode {
    QString text;     // "(01)7352R", "(S2)8631"
    QString address;  // "01", "*"
    QString model;
    int marker = 0;
};

// The module nodes under a port node: level 2, and the slot nodes at their main unit's address.
std::vector<ScopeModuleNode> ScopeModulesUnder(const QTreeWidgetItem* portNode);

// Mouse zoom and pan: a rubber band or the wheel zooms, dragging with the right or middle
// button pans. Tells when the user moved the view so that the window stops following.
// CPU time of the calling thread in milliseconds.
double ThreadCpuMs();

class ScopeChartView : public QChartView {
    Q_OBJECT
  public:
    using QChartView::QChartView;
    // CPU time the last paint took.
    double lastPaintMs() const { return lastPaintMs_; }
  Q_SIGNALS:
    void userMoved();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool panning_ = false;
    QPoint last_;
    double lastPaintMs_ = 0;
};

class TfrmDataScope : public QWidget {
    Q_OBJECT
  public:
    // The window of port: raised when open, else made with the modules listed.
    static TfrmDataScope* Open(const QString& port, const std::vector<ScopeModuleNode>& modules,
                               std::function<odel::SerialPort*()> link, QWidget* parent);
    static TfrmDataScope* Find(const QString& port);

    TfrmDataScope(const QString& port, const std::vector<ScopeModuleNode>& modules,
                  std::function<odel::SerialPort*()> link, QWidget* parent = nullptr);
    ~TfrmDataScope() override;

    QTreeWidget* treeChannels;
    QPushButton* btRefresh;
    QLineEdit* edtInterval;
    QPushButton* btStart;
    QPushButton* btPause;
    QPushButton* btFitAll;
    QPushButton* btRecord;
    QLineEdit* edtNote;
    QPushButton* btMark;
    QPushButton* btExportImage;
    QLabel* labRate;
    QLabel* labStatus;
    ScopeChartView* chartView;
    QTableWidget* tblLegend;
    QTimer* tmrSweep;
    QTimer* tmrRepaint;

    const QString& port() const { return port_; }
    bool running() const { return running_; }
    bool recording() const { return writer_.IsOpen(); }
    bool paused() const { return paused_; }
    // Sweeps per second over the last sweeps; 0 before two.
    double achievedRate() const;
    const odel::scope::Sampler& sampler() const { return sampler_; }
    const std::vector<odel::scope::ModuleInfo>& modules() const { return infos_; }
    const std::vector<odel::scope::Trace>& traces() const { return traces_; }
    // The pieces trace i is drawn in now, each without its failed reads, in time order.
    std::vector<QList<QPointF>> drawnPieces(std::size_t trace) const;
    // CPU time of the last chart refresh (series, ranges, legend).
    double lastRefreshMs() const { return lastRefreshMs_; }
    // Ticks input i of module m in the picker.
    void setTicked(int module, int input, bool on);

  public Q_SLOTS:
    void btRefreshClick();
    void btStartClick();
    void btPauseClick();
    void btFitAllClick();
    void btRecordClick();
    void btMarkClick();
    void btExportImageClick();
    void tmrSweepTimer();
    void tmrRepaintTimer();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildPicker();
    bool startSampling();
    void stopSampling();
    void stopRecording(const QString& why);
    void buildChart();
    void refreshChart();
    void refreshLegend();
    void refreshFailures();
    void setStatus(const QString& text, bool error = false);
    QTreeWidgetItem* inputItem(int module, int input) const;

    QString port_;
    std::vector<ScopeModuleNode> nodes_;
    std::function<odel::SerialPort*()> link_;
    std::vector<odel::scope::ModuleInfo> infos_;
    std::vector<int> sampledModules_;  // index into infos_ of each sampler entry
    odel::scope::Sampler sampler_;
    odel::scope::CsvWriter writer_;
    QString recordPath_;
    std::vector<odel::scope::Trace> traces_;
    // Per trace its line, in pieces between failed reads; the first piece is the legend's.
    std::vector<std::vector<QLineSeries*>> series_;
    std::vector<QValueAxis*> axisOfTrace_;
    std::vector<QValueAxis*> axes_;
    QDateTimeAxis* timeAxis_ = nullptr;
    std::vector<QString> lastText_;
    long long intervalMs_ = 1000;
    bool running_ = false;
    bool paused_ = false;
    bool following_ = true;
    bool ownMessage_ = false;  // our own message box is up: sweeps go on
    bool dirty_ = false;       // sweeps not yet drawn
    bool viewDirty_ = false;   // the user zoomed or panned
    double pausedAt_ = 0;      // while paused: the time of the last sweep drawn
    double lastRefreshMs_ = 0;
    QElapsedTimer clock_;
    qint64 lastStart_ = 0;
    std::deque<qint64> starts_;
};

}  // namespace odel::ui
