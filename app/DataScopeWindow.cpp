#include "app/DataScopeWindow.h"

#include <time.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/TreeImages.h"
#include "device/SerialPort.h"
#include "pages/Dispatch.h"
#include "pages/frame/BusyCursor.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/Pause.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/Widgets.h"
#include "scope/Interval.h"

namespace odel::ui {

namespace sc = odel::scope;

namespace {

QHash<QString, QPointer<TfrmDataScope>>& openWindows() {
    static QHash<QString, QPointer<TfrmDataScope>> windows;
    return windows;
}

QString Number(double v) {
    if (std::isnan(v)) return QString();
    return QString::number(v, 'g', 7);
}

constexpr int kRepaintMs = 200;  // the shortest time between two chart refreshes
constexpr int kRateWindow = 10;
constexpr int kBusyRetryMs = 20;  // how soon a sweep held back by another window tries again  //
                                  // sweeps the achieved rate is taken over

}  // namespace

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void ScopeChartView::paintEvent(QPaintEvent* event) {
    const double started = ThreadCpuMs();
    QChartView::paintEvent(event);
    lastPaintMs_ = ThreadCpuMs() - started;
}

std::vector<ScopeModuleNode> ScopeModulesUnder(const QTreeWidgetItem* portNode) {
    std::vector<ScopeModuleNode> out;
    if (!portNode) return out;
    for (int i = 0; i < portNode->childCount(); ++i) {
        const QTreeWidgetItem* n = portNode->child(i);
        ScopeModuleNode m;
        m.text = n->text(0);
        m.marker = n->data(0, kNodeDataRole).toInt();
        if (!ParseItemText(m.text, m.address, m.model)) continue;
        out.push_back(m);
        for (int k = 0; k < n->childCount(); ++k) {
            ScopeModuleNode s;
            QString slot;
            s.text = n->child(k)->text(0);
            if (!ParseItemText(s.text, slot, s.model)) continue;
            s.address = m.address;  // a slot module answers at its main unit's address
            s.marker = m.marker;
            out.push_back(s);
        }
    }
    return out;
}

void ScopeChartView::wheelEvent(QWheelEvent* event) {
    if (!chart()) return;
    chart()->zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
    Q_EMIT userMoved();
    event->accept();
}

void ScopeChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        panning_ = true;
        last_ = event->pos();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ScopeChartView::mouseMoveEvent(QMouseEvent* event) {
    if (panning_ && chart()) {
        const QPoint d = event->pos() - last_;
        last_ = event->pos();
        chart()->scroll(-d.x(), d.y());
        Q_EMIT userMoved();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ScopeChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (panning_) {
        panning_ = false;
        event->accept();
        return;
    }
    // The rubber band's zoom happens in the base class.
    if (event->button() == Qt::LeftButton) Q_EMIT userMoved();
    QChartView::mouseReleaseEvent(event);
}

TfrmDataScope* TfrmDataScope::Find(const QString& port) {
    return openWindows().value(port).data();
}

TfrmDataScope* TfrmDataScope::Open(const QString& port, const std::vector<ScopeModuleNode>& modules,
                                   std::function<odel::SerialPort*()> link, QWidget* parent) {
    TfrmDataScope* w = Find(port);
    if (!w) {
        w = new TfrmDataScope(port, modules, std::move(link), parent);
        openWindows().insert(port, w);
        PlaceToolWindow(w, "DataScope", parent ? parent->window() : nullptr);
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

TfrmDataScope::TfrmDataScope(const QString& port, const std::vector<ScopeModuleNode>& modules,
                             std::function<odel::SerialPort*()> link, QWidget* parent)
    : QWidget(parent, Qt::Window), port_(port), nodes_(modules), link_(std::move(link)) {
    setObjectName("TfrmDataScope");
    setWindowTitle("Data Scope - " + port);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1100, 640);

    auto* root = new QHBoxLayout(this);
    auto* split = new QSplitter(Qt::Horizontal, this);
    root->addWidget(split);

    auto* left = new QWidget(split);
    auto* lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    treeChannels = new QTreeWidget(left);
    treeChannels->setObjectName("treeChannels");
    treeChannels->setHeaderLabels({"Input", "Range", "Failed reads"});
    treeChannels->setColumnWidth(0, 100);
    treeChannels->setColumnWidth(1, 120);
    lv->addWidget(treeChannels);
    btRefresh = new QPushButton("Read &Inputs Again", left);
    btRefresh->setObjectName("btRefresh");
    lv->addWidget(btRefresh);

    auto* right = new QWidget(split);
    auto* rv = new QVBoxLayout(right);
    rv->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel("Interval:", right));
    edtInterval = new QLineEdit("1s", right);
    edtInterval->setObjectName("edtInterval");
    edtInterval->setToolTip("100ms to 1h, e.g. 500ms, 1s, 2m");
    edtInterval->setMaximumWidth(80);
    bar->addWidget(edtInterval);
    auto button = [&](const char* name, const QString& text) {
        auto* b = makeButton(name, text, right);
        bar->addWidget(b);
        return b;
    };
    btStart = button("btStart", "&Start");
    btPause = button("btPause", "&Pause");
    btFitAll = button("btFitAll", "&Fit All");
    btRecord = button("btRecord", "&Record...");
    edtNote = new QLineEdit(right);
    edtNote->setObjectName("edtNote");
    edtNote->setPlaceholderText("Note for the mark");
    bar->addWidget(edtNote, 1);
    btMark = button("btMark", "Mark");
    btMark->setToolTip("Writes a row with the note into the recording (key M)");
    btExportImage = button("btExportImage", "&Export Image...");
    rv->addLayout(bar);
    auto* info = new QHBoxLayout;
    labRate = new QLabel(right);
    labRate->setObjectName("labRate");
    labStatus = new QLabel(right);
    labStatus->setObjectName("labStatus");
    info->addWidget(labRate);
    info->addWidget(labStatus, 1);
    rv->addLayout(info);

    auto* chart = new QChart;
    chart->legend()->hide();  // the table below is the legend, with the statistics
    chart->setMargins(QMargins(4, 4, 4, 4));
    chartView = new ScopeChartView(chart, right);
    chartView->setObjectName("chartView");
    chartView->setRubberBand(QChartView::RectangleRubberBand);
    chartView->setRenderHint(QPainter::Antialiasing, false);
    rv->addWidget(chartView, 3);
    tblLegend = new QTableWidget(0, 6, right);
    tblLegend->setObjectName("tblLegend");
    tblLegend->setHorizontalHeaderLabels({"Input", "Current", "Min", "Max", "Mean", "Samples"});
    tblLegend->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tblLegend->verticalHeader()->hide();
    tblLegend->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rv->addWidget(tblLegend, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({330, 770});

    tmrSweep = new QTimer(this);
    tmrSweep->setObjectName("tmrSweep");
    tmrSweep->setSingleShot(true);
    tmrSweep->setTimerType(Qt::PreciseTimer);
    tmrRepaint = new QTimer(this);
    tmrRepaint->setObjectName("tmrRepaint");
    tmrRepaint->setInterval(kRepaintMs);

    connect(btRefresh, &QPushButton::clicked, this, &TfrmDataScope::btRefreshClick);
    connect(btStart, &QPushButton::clicked, this, &TfrmDataScope::btStartClick);
    connect(btPause, &QPushButton::clicked, this, &TfrmDataScope::btPauseClick);
    connect(btFitAll, &QPushButton::clicked, this, &TfrmDataScope::btFitAllClick);
    connect(btRecord, &QPushButton::clicked, this, &TfrmDataScope::btRecordClick);
    connect(btMark, &QPushButton::clicked, this, &TfrmDataScope::btMarkClick);
    connect(btExportImage, &QPushButton::clicked, this, &TfrmDataScope::btExportImageClick);
    connect(tmrSweep, &QTimer::timeout, this, &TfrmDataScope::tmrSweepTimer);
    connect(tmrRepaint, &QTimer::timeout, this, &TfrmDataScope::tmrRepaintTimer);
    connect(chartView, &ScopeChartView::userMoved, this, [this] {
        following_ = false;
        viewDirty_ = true;
    });
    auto* mark = new QShortcut(QKeySequence(Qt::Key_M), this);
    connect(mark, &QShortcut::activated, this, &TfrmDataScope::btMarkClick);

    btPause->setEnabled(false);
    btMark->setEnabled(false);
    clock_.start();
    buildPicker();
}

TfrmDataScope::~TfrmDataScope() {
    writer_.Close();
    auto& windows = openWindows();
    for (auto it = windows.begin(); it != windows.end();) {
        if (it.value().isNull() || it.value().data() == this)
            it = windows.erase(it);
        else
            ++it;
    }
}

void TfrmDataScope::closeEvent(QCloseEvent* event) {
    stopSampling();
    SaveWindowGeometry(this, "DataScope");
    event->accept();
}

// Reads each module's ranges once and lists its inputs; a module that cannot be read is
// listed with the reason and offers nothing.
void TfrmDataScope::buildPicker() {
    BusyCursor busy;
    treeChannels->clear();
    infos_.clear();
    odel::SerialPort* link = link_ ? link_() : nullptr;
    for (const ScopeModuleNode& n : nodes_) {
        infos_.push_back(
            sc::Describe(link, n.address.toStdString(), n.model.toStdString(), n.marker));
        const sc::ModuleInfo& m = infos_.back();
        auto* item = new QTreeWidgetItem(treeChannels, QStringList{n.text});
        if (!m.ok) {
            item->setText(1, QString::fromStdString(m.reason));
            item->setToolTip(1, QString::fromStdString(m.reason));
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            continue;
        }
        for (const sc::InputInfo& in : m.inputs) {
            QString range = QString::fromStdString(in.range);
            if (!in.unit.empty()) range += " [" + QString::fromStdString(in.unit) + "]";
            auto* child =
                new QTreeWidgetItem(item, QStringList{QString::fromStdString(in.name), range});
            child->setFlags(child->flags() | Qt::ItemIsUserCheckable);
            child->setCheckState(0, Qt::Unchecked);
        }
        item->setExpanded(m.family != sc::Family::Digital && m.family != sc::Family::ModbusDigital);
    }
    if (nodes_.empty()) setStatus("No modules under " + port_ + ": search the bus first.");
}

QTreeWidgetItem* TfrmDataScope::inputItem(int module, int input) const {
    QTreeWidgetItem* m = treeChannels->topLevelItem(module);
    return m ? m->child(input) : nullptr;
}

void TfrmDataScope::setTicked(int module, int input, bool on) {
    if (QTreeWidgetItem* i = inputItem(module, input))
        i->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
}

void TfrmDataScope::setStatus(const QString& text, bool error) {
    labStatus->setText(text);
    labStatus->setStyleSheet(error ? "color: red" : "");
}

double TfrmDataScope::achievedRate() const {
    if (starts_.size() < 2) return 0;
    const double span = static_cast<double>(starts_.back() - starts_.front()) / 1000.0;
    return span > 0 ? static_cast<double>(starts_.size() - 1) / span : 0;
}

void TfrmDataScope::btRefreshClick() {
    if (running_) return;
    buildPicker();
}

void TfrmDataScope::btStartClick() {
    if (running_)
        stopSampling();
    else
        startSampling();
}

bool TfrmDataScope::startSampling() {
    const std::string bad = sc::CheckInterval(edtInterval->text().toStdString(), intervalMs_);
    if (!bad.empty()) {
        setStatus("Interval " + QString::fromStdString(bad), true);
        return false;
    }
    sampler_.Clear();
    sampledModules_.clear();
    for (int k = 0; k < static_cast<int>(infos_.size()); ++k) {
        std::vector<int> ticked;
        for (int i = 0; i < static_cast<int>(infos_[k].inputs.size()); ++i) {
            const QTreeWidgetItem* item = inputItem(k, i);
            if (item && item->checkState(0) == Qt::Checked) ticked.push_back(i);
        }
        if (!ticked.empty() && sampler_.Add(infos_[k], ticked)) sampledModules_.push_back(k);
    }
    if (sampler_.Empty()) {
        setStatus("Tick the inputs to sample.", true);
        return false;
    }
    traces_.assign(sampler_.InputCount(), sc::Trace());
    lastText_.assign(sampler_.InputCount(), QString());
    starts_.clear();
    buildChart();
    running_ = true;
    paused_ = false;
    following_ = true;
    treeChannels->setEnabled(false);
    btRefresh->setEnabled(false);
    edtInterval->setEnabled(false);
    btStart->setText("&Stop");
    btPause->setText("&Pause");
    btPause->setEnabled(true);
    labRate->clear();
    setStatus(QString());
    tmrRepaint->start();
    lastStart_ = clock_.elapsed();
    tmrSweep->start(0);
    return true;
}

void TfrmDataScope::stopSampling() {
    if (recording()) stopRecording(QString());
    running_ = false;
    tmrSweep->stop();
    tmrRepaint->stop();
    if (dirty_) refreshChart();
    treeChannels->setEnabled(true);
    btRefresh->setEnabled(true);
    edtInterval->setEnabled(true);
    btStart->setText("&Start");
    btPause->setEnabled(false);
}

// One sweep: every module once, the traces, the recording; then the next one is due one
// interval after this one started, or at once when this one took longer.
void TfrmDataScope::tmrSweepTimer() {
    if (!running_) return;
    // No sweep between the steps of another window's sequence (a page's update and its
    // settling pause, a search, a firmware download): it waits until that is done.
    const QWidget* modal = QApplication::activeModalWidget();
    if (inPause() || (modal && !ownMessage_)) {
        tmrSweep->start(kBusyRetryMs);
        return;
    }
    lastStart_ = clock_.elapsed();
    starts_.push_back(lastStart_);
    while (starts_.size() > static_cast<std::size_t>(kRateWindow)) starts_.pop_front();
    odel::SerialPort* link = link_ ? link_() : nullptr;
    sampler_.SetLink(link);
    const sc::SweepRecord record = sampler_.Sweep();
    if (!link) setStatus("No link to " + port_ + ": select the port in the tree.", true);
    const double t = static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(record.time.time_since_epoch())
            .count());
    for (std::size_t i = 0; i < record.samples.size(); ++i) {
        const sc::Sample& s = record.samples[i];
        traces_[i].Push(t, s.ok && s.value ? *s.value : std::numeric_limits<double>::quiet_NaN());
        lastText_[i] = s.ok ? QString::fromStdString(s.text) : QString();
    }
    if (recording() && !writer_.WriteSweep(record))
        stopRecording(QString::fromStdString(writer_.ErrorText()));
    dirty_ = true;
    refreshFailures();
    const double rate = achievedRate();
    if (rate > 0)
        labRate->setText(QString("Achieved: %1 sweeps/s (interval %2)")
                             .arg(rate, 0, 'f', rate < 10 ? 2 : 1)
                             .arg(QString::fromStdString(sc::FormatInterval(intervalMs_))));
    const qint64 due = lastStart_ + intervalMs_;
    tmrSweep->start(static_cast<int>(std::max<qint64>(0, due - clock_.elapsed())));
}

void TfrmDataScope::refreshFailures() {
    const auto& status = sampler_.Status();
    for (std::size_t k = 0; k < status.size() && k < sampledModules_.size(); ++k) {
        QTreeWidgetItem* item = treeChannels->topLevelItem(sampledModules_[k]);
        if (!item) continue;
        item->setText(2, status[k].failures ? QString::number(status[k].failures) : QString());
        item->setForeground(2, status[k].lastOk ? palette().text() : QBrush(Qt::red));
        item->setToolTip(2, status[k].lastOk ? QString() : QString("Not answering"));
    }
}

void TfrmDataScope::btPauseClick() {
    if (!running_) return;
    paused_ = !paused_;
    btPause->setText(paused_ ? "&Resume" : "&Pause");
    // The picture stops at the last sweep shown; zoom and pan still work on it.
    pausedAt_ = std::numeric_limits<double>::infinity();
    for (const sc::Trace& t : traces_)
        if (paused_ && !t.Points().empty()) pausedAt_ = t.Points().back().t;
    refreshChart();
}

void TfrmDataScope::btFitAllClick() {
    following_ = true;
    refreshChart();
}

void TfrmDataScope::tmrRepaintTimer() {
    if (viewDirty_ || (dirty_ && !paused_)) refreshChart();
}

// One y axis per unit in use, alternating left and right; time along the bottom.
void TfrmDataScope::buildChart() {
    QChart* chart = chartView->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    series_.clear();
    axes_.clear();
    axisOfTrace_.clear();
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setFormat("hh:mm:ss");
    timeAxis_->setTitleText("Time");
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    std::vector<QString> units;
    const std::vector<std::string> columns = sampler_.Columns();
    const std::vector<sc::Sample> inputs = sampler_.Inputs();
    tblLegend->setRowCount(static_cast<int>(columns.size()));
    std::size_t i = 0;
    for (const std::string& column : columns) {
        const QString unit = QString::fromStdString(inputs[i].unit);
        QValueAxis* axis = nullptr;
        for (std::size_t u = 0; u < units.size(); ++u)
            if (units[u] == unit) axis = axes_[u];
        if (!axis) {
            axis = new QValueAxis;
            axis->setTitleText(unit.isEmpty() ? QString("(no unit)") : unit);
            chart->addAxis(axis, axes_.size() % 2 ? Qt::AlignRight : Qt::AlignLeft);
            units.push_back(unit);
            axes_.push_back(axis);
        }
        auto* s = new QLineSeries;
        s->setName(QString::fromStdString(column));
        chart->addSeries(s);
        s->attachAxis(timeAxis_);
        s->attachAxis(axis);
        series_.push_back({s});
        axisOfTrace_.push_back(axis);
        auto* name = new QTableWidgetItem(QString::fromStdString(column));
        QPixmap swatch(12, 12);
        swatch.fill(s->color());
        name->setIcon(QIcon(swatch));
        tblLegend->setItem(static_cast<int>(i), 0, name);
        for (int c = 1; c < 6; ++c)
            tblLegend->setItem(static_cast<int>(i), c, new QTableWidgetItem);
        ++i;
    }
}

namespace {
// More pieces than this in view are drawn joined from the last one on: at that density a gap
// would be narrower than the line.
constexpr std::size_t kMostPieces = 64;
}  // namespace

std::vector<QList<QPointF>> TfrmDataScope::drawnPieces(std::size_t trace) const {
    std::vector<QList<QPointF>> out;
    if (trace >= series_.size()) return out;
    for (const QLineSeries* s : series_[trace])
        if (s->count() > 0) out.push_back(s->points());
    return out;
}

// The kept points of every trace in the visible time range into its series, at most a minimum
// and a maximum per pixel column, broken where reads failed, and the ranges when the view follows
// the data.
void TfrmDataScope::refreshChart() {
    const double started = ThreadCpuMs();
    dirty_ = false;
    viewDirty_ = false;
    const double inf = std::numeric_limits<double>::infinity();
    const double until = paused_ ? pausedAt_ : inf;
    double tMin = inf, tMax = -inf;
    for (const sc::Trace& t : traces_) {
        if (t.Points().empty()) continue;
        tMin = std::min(tMin, t.Points().front().t);
        tMax = std::max(tMax, std::min(until, t.Points().back().t));
    }
    if (!timeAxis_ || tMin > tMax) {
        refreshLegend();
        return;
    }
    double x0 = tMin, x1 = std::max(tMax, tMin + 1000);
    if (following_) {
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x0)),
                            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x1)));
    } else {
        x0 = static_cast<double>(timeAxis_->min().toMSecsSinceEpoch());
        x1 = static_cast<double>(timeAxis_->max().toMSecsSinceEpoch());
    }
    // A column is two pixels wide: a line between its minimum and maximum fills it.
    const double columns = std::max(50.0, chartView->chart()->plotArea().width() / 2);
    const double step = (x1 - x0) / columns;
    std::vector<std::pair<double, double>> yRange(axes_.size(), {inf, -inf});
    for (std::size_t i = 0; i < traces_.size() && i < series_.size(); ++i) {
        const std::vector<sc::TracePoint>& p = traces_[i].Points();
        std::size_t a = 0;
        while (a < axes_.size() && axes_[a] != axisOfTrace_[i]) ++a;
        // From the last point before the view to the first one after it.
        auto first = std::lower_bound(p.begin(), p.end(), x0,
                                      [](const sc::TracePoint& q, double t) { return q.t < t; });
        if (first != p.begin()) --first;
        std::vector<QList<QPointF>> pieces(1);
        pieces[0].reserve(static_cast<qsizetype>(2 * columns + 4));
        double columnEnd = -inf;  // the time where the current column ends
        const sc::TracePoint* lo = nullptr;
        const sc::TracePoint* hi = nullptr;
        auto flush = [&] {
            if (!lo) return;
            QList<QPointF>& pts = pieces.back();
            const bool loFirst = lo->t <= hi->t;
            pts.append(QPointF(loFirst ? lo->t : hi->t, loFirst ? lo->v : hi->v));
            if (lo != hi) pts.append(QPointF(loFirst ? hi->t : lo->t, loFirst ? hi->v : lo->v));
            lo = hi = nullptr;
        };
        double yLo = inf, yHi = -inf;
        for (auto it = first; it != p.end() && it->t <= until; ++it) {
            const double v = it->v;
            if (std::isnan(v)) {  // a failed read ends the piece
                flush();
                if (!pieces.back().isEmpty() && pieces.size() < kMostPieces) pieces.emplace_back();
                continue;
            }
            if (it->t >= columnEnd) {
                flush();
                columnEnd = x0 + (std::floor((it->t - x0) / step) + 1) * step;
            }
            if (!lo || v < lo->v) lo = &*it;
            if (!hi || v > hi->v) hi = &*it;
            if (it->t > x1) break;
            if (it->t >= x0) {
                yLo = std::min(yLo, v);
                yHi = std::max(yHi, v);
            }
        }
        yRange[a].first = std::min(yRange[a].first, yLo);
        yRange[a].second = std::max(yRange[a].second, yHi);
        flush();
        if (pieces.size() > 1 && pieces.back().isEmpty()) pieces.pop_back();
        std::vector<QLineSeries*>& parts = series_[i];
        while (parts.size() < pieces.size()) {
            // One more piece of the same line: its pen, its axes, not in any legend.
            auto* s = new QLineSeries;
            chartView->chart()->addSeries(s);
            s->setPen(parts[0]->pen());  // after adding: the chart's theme gives a new series its own
            s->attachAxis(timeAxis_);
            s->attachAxis(axisOfTrace_[i]);
            parts.push_back(s);
        }
        for (std::size_t k = 0; k < parts.size(); ++k)
            parts[k]->replace(k < pieces.size() ? pieces[k] : QList<QPointF>());
    }
    if (following_) {
        for (std::size_t a = 0; a < axes_.size(); ++a) {
            auto [lo, hi] = yRange[a];
            if (lo > hi) continue;
            const double margin = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::fabs(hi) * 0.05);
            axes_[a]->setRange(lo - margin, hi + margin);
        }
    }
    refreshLegend();
    lastRefreshMs_ = ThreadCpuMs() - started;
    // The chart takes at most about 4 % of a core: a slow refresh is made less often.
    const double cost = lastRefreshMs_ + chartView->lastPaintMs();
    tmrRepaint->setInterval(std::clamp(static_cast<int>(25 * cost), kRepaintMs, 2000));
}

void TfrmDataScope::refreshLegend() {
    for (std::size_t i = 0; i < traces_.size(); ++i) {
        const int row = static_cast<int>(i);
        if (tblLegend->rowCount() <= row) break;
        const sc::TraceStats& st = traces_[i].Stats();
        tblLegend->item(row, 1)->setText(lastText_[i]);
        tblLegend->item(row, 2)->setText(Number(st.min));
        tblLegend->item(row, 3)->setText(Number(st.max));
        tblLegend->item(row, 4)->setText(Number(st.mean));
        tblLegend->item(row, 5)->setText(QString::number(st.count));
    }
}

void TfrmDataScope::btRecordClick() {
    if (recording()) {
        stopRecording(QString());
        return;
    }
    const QString path = dialogs().saveFile(this, "scope.csv", "CSV files (*.csv);;All files (*)");
    if (path.isEmpty()) return;
    if (!running_ && !startSampling()) return;
    if (!writer_.Open(path.toStdString())) {
        dialogs().error("Cannot record to " + path + ": " +
                        QString::fromStdString(writer_.ErrorText()));
        return;
    }
    recordPath_ = path;
    if (!writer_.WriteHeader(sampler_.Columns())) {
        stopRecording(QString::fromStdString(writer_.ErrorText()));
        return;
    }
    btRecord->setText("Stop &Recording");
    btMark->setEnabled(true);
    setStatus("Recording to " + path);
}

// Ends the recording; with a reason, says so. Sampling goes on either way.
void TfrmDataScope::stopRecording(const QString& why) {
    writer_.Close();
    btRecord->setText("&Record...");
    btMark->setEnabled(false);
    if (why.isEmpty()) {
        setStatus("Recording saved to " + recordPath_);
        return;
    }
    const QString text = "Recording stopped: cannot write to " + recordPath_ + " (" + why +
                         "). The rows written before are kept; sampling goes on.";
    setStatus(text, true);
    ownMessage_ = true;  // sampling goes on while the message is shown
    dialogs().error(text);
    ownMessage_ = false;
}

void TfrmDataScope::btMarkClick() {
    if (!recording()) {
        setStatus("Not recording: a mark goes into a recording.", true);
        return;
    }
    const auto now = std::chrono::system_clock::now();
    if (!writer_.WriteMark(now, edtNote->text().toStdString())) {
        stopRecording(QString::fromStdString(writer_.ErrorText()));
        return;
    }
    setStatus("Mark written at " + QDateTime::currentDateTime().toString("hh:mm:ss") +
              (edtNote->text().isEmpty() ? QString() : ": " + edtNote->text()));
    edtNote->clear();
}

void TfrmDataScope::btExportImageClick() {
    QString path = dialogs().saveFile(this, "scope.png", "PNG images (*.png)");
    if (path.isEmpty()) return;
    if (!path.endsWith(".png", Qt::CaseInsensitive)) path += ".png";
    if (dirty_ && !paused_) refreshChart();
    if (!chartView->grab().save(path, "PNG"))
        dialogs().error("Cannot save the image to " + path + ".");
}

}  // namespace odel::ui
