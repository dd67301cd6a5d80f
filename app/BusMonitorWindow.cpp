#include "app/BusMonitorWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "pages/frame/Dialogs.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {

using odel::bus::Verdict;

// The verdict filter's items after "All verdicts" and "Failures only".
const Verdict kVerdictItems[] = {
    Verdict::Accepted,   Verdict::Data,     Verdict::Rejected,        Verdict::BadChecksum,
    Verdict::NoCr,       Verdict::OverLong, Verdict::Garbage,         Verdict::Echo,
    Verdict::NoReply,    Verdict::ModbusOk, Verdict::ModbusException, Verdict::BadCrc,
    Verdict::Unsolicited, Verdict::Foreign};

bool Good(Verdict v) {
    return v == Verdict::Accepted || v == Verdict::Data || v == Verdict::ModbusOk;
}

// Raw view is built from at most this many of the last shown rows.
constexpr int kRawRows = 2000;

}  // namespace

ExchangeModel::ExchangeModel(const odel::bus::BusMonitor& monitor, QObject* parent)
    : QAbstractTableModel(parent), monitor_(monitor) {}

int ExchangeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(seqs_.size());
}

int ExchangeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const odel::bus::Exchange* ExchangeModel::ExchangeAt(int row) const {
    if (row < 0 || row >= static_cast<int>(seqs_.size())) return nullptr;
    return monitor_.Find(seqs_[static_cast<std::size_t>(row)]);
}

const odel::bus::Row* ExchangeModel::RowAt(int row) const {
    const odel::bus::Exchange* e = ExchangeAt(row);
    if (!e) return nullptr;
    auto it = cache_.find(e->seq);
    if (it == cache_.end()) {
        if (cache_.size() > 4096) cache_.clear();
        it = cache_.emplace(e->seq, odel::bus::Decode(*e, odel::bus::BusMonitor::NowUsec())).first;
    }
    return &it->second;
}

QVariant ExchangeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const odel::bus::Row* r = RowAt(index.row());
    if (!r) return {};
    if (role == Qt::ForegroundRole && index.column() == Verdict)
        return Good(r->kind) ? QVariant() : QVariant(QColor(Qt::red));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::string* s = nullptr;
    switch (index.column()) {
        case Time:
            s = &r->time;
            break;
        case Port:
            s = &r->port;
            break;
        case Address:
            s = &r->address;
            break;
        case Command:
            s = &r->command;
            break;
        case Reply:
            s = &r->reply;
            break;
        case ReplyTime:
            s = &r->replyTime;
            break;
        case Verdict:
            s = &r->verdict;
            break;
        case Meaning:
            s = &r->meaning;
            break;
        default:
            return {};
    }
    return QString::fromStdString(*s);
}

QVariant ExchangeModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* names[] = {"Time",  "Port",       "Addr",    "Command",
                                  "Reply", "Reply time", "Verdict", "Meaning"};
    return section >= 0 && section < ColumnCount ? QString(names[section]) : QVariant();
}

bool ExchangeModel::Passes(const odel::bus::Row& r) const {
    if (!address_.isEmpty() &&
        QString::fromStdString(r.address).compare(address_, Qt::CaseInsensitive) != 0)
        return false;
    if (verdict_ == 1) return !Good(r.kind);
    if (verdict_ >= 2) return r.kind == kVerdictItems[verdict_ - 2];
    return true;
}

void ExchangeModel::Refresh() {
    const std::uint64_t first = monitor_.FirstSeq();
    // Rows the ring has dropped (or a clear removed).
    const auto gone = std::lower_bound(seqs_.begin(), seqs_.end(), first) - seqs_.begin();
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        seqs_.erase(seqs_.begin(), seqs_.begin() + gone);
        endRemoveRows();
    }
    nextToTake_ = std::max(nextToTake_, first);
    if (monitor_.Changes() == lastChanges_ && nextToTake_ == monitor_.NextSeq()) return;
    lastChanges_ = monitor_.Changes();
    // The last shown row may have gained late bytes.
    if (!seqs_.empty()) {
        cache_.erase(seqs_.back());
        const int last = static_cast<int>(seqs_.size()) - 1;
        Q_EMIT dataChanged(index(last, 0), index(last, ColumnCount - 1));
    }
    // New rows, as soon as their verdict is decided.
    const std::int64_t now = odel::bus::BusMonitor::NowUsec();
    std::vector<std::uint64_t> fresh;
    for (; nextToTake_ < monitor_.NextSeq(); ++nextToTake_) {
        const odel::bus::Exchange* e = monitor_.Find(nextToTake_);
        if (!e) continue;
        odel::bus::Row r = odel::bus::Decode(*e, now);
        if (r.kind == Verdict::Pending) break;
        if (Passes(r)) fresh.push_back(e->seq);
    }
    if (fresh.empty()) return;
    const int at = static_cast<int>(seqs_.size());
    beginInsertRows({}, at, at + static_cast<int>(fresh.size()) - 1);
    seqs_.insert(seqs_.end(), fresh.begin(), fresh.end());
    endInsertRows();
}

void ExchangeModel::SetFilter(const QString& address, int verdict) {
    address_ = address.trimmed();
    verdict_ = verdict;
    Rebuild();
}

void ExchangeModel::Rebuild() {
    beginResetModel();
    seqs_.clear();
    cache_.clear();
    nextToTake_ = monitor_.FirstSeq();
    endResetModel();
    lastChanges_ = 0;
    Refresh();
}

TfrmBusMonitor::TfrmBusMonitor(std::function<void(odel::TrafficObserver*)> attach,
                               std::function<odel::SerialPort*()> link, QWidget* parent)
    : QWidget(parent, Qt::Window), attach_(std::move(attach)) {
    setObjectName("frmBusMonitor");
    setWindowTitle("Bus Monitor");
    monitor_.SetPortSource(std::move(link));
    model_ = new ExchangeModel(monitor_, this);

    chkRaw = new QCheckBox("Raw bytes", this);
    chkRaw->setObjectName("chkRaw");
    edtAddress = new QLineEdit(this);
    edtAddress->setObjectName("edtAddress");
    edtAddress->setPlaceholderText("all");
    edtAddress->setMaxLength(2);
    edtAddress->setFixedWidth(48);
    cmbVerdict = new QComboBox(this);
    cmbVerdict->setObjectName("cmbVerdict");
    cmbVerdict->addItem("All verdicts");
    cmbVerdict->addItem("Failures only");
    for (Verdict v : kVerdictItems) cmbVerdict->addItem(odel::bus::VerdictText(v));
    auto button = [this](const char* name, const QString& caption) {
        return makeButton(name, caption, this);
    };
    btPause = button("btPause", "Pause");
    btPause->setCheckable(true);
    btClear = button("btClear", "Clear");
    btCopy = button("btCopy", "Copy");
    btSaveText = button("btSaveText", "Save Text...");
    btSaveCsv = button("btSaveCsv", "Save CSV...");
    labCount = new QLabel(this);
    labCount->setObjectName("labCount");

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel("Address:", this));
    bar->addWidget(edtAddress);
    bar->addWidget(new QLabel("Verdict:", this));
    bar->addWidget(cmbVerdict);
    bar->addWidget(chkRaw);
    bar->addSpacing(12);
    for (QPushButton* b : {btPause, btClear, btCopy, btSaveText, btSaveCsv}) bar->addWidget(b);
    bar->addStretch(1);
    bar->addWidget(labCount);

    tblExchanges = new QTableView(this);
    tblExchanges->setObjectName("tblExchanges");
    tblExchanges->setModel(model_);
    tblExchanges->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblExchanges->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblExchanges->setWordWrap(false);
    tblExchanges->verticalHeader()->setVisible(false);
    tblExchanges->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    tblExchanges->horizontalHeader()->setStretchLastSection(true);
    const int w = fontMetrics().horizontalAdvance('0');
    const int widths[] = {14, 12, 5, 22, 36, 13, 13};
    for (int c = 0; c < 7; ++c) tblExchanges->setColumnWidth(c, widths[c] * w);
    txtRaw = new QPlainTextEdit(this);
    txtRaw->setObjectName("txtRaw");
    txtRaw->setReadOnly(true);
    txtRaw->setFont(QFont("Monospace"));
    txtRaw->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtRaw->hide();
    labWhyNoAnswer = new QLabel(this);
    labWhyNoAnswer->setObjectName("labWhyNoAnswer");
    labWhyNoAnswer->setWordWrap(true);
    labWhyNoAnswer->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* box = new QVBoxLayout(this);
    box->addLayout(bar);
    box->addWidget(tblExchanges, 1);
    box->addWidget(txtRaw, 1);
    box->addWidget(labWhyNoAnswer);

    tmrRefresh = new QTimer(this);
    tmrRefresh->setObjectName("tmrRefresh");
    tmrRefresh->setInterval(200);
    connect(tmrRefresh, &QTimer::timeout, this, &TfrmBusMonitor::tmrRefreshTimer);
    auto refilter = [this] {
        model_->SetFilter(edtAddress->text(), cmbVerdict->currentIndex());
        if (chkRaw->isChecked()) ShowRaw();
        UpdateDiagnosis();
    };
    connect(edtAddress, &QLineEdit::textChanged, this, refilter);
    connect(cmbVerdict, &QComboBox::currentIndexChanged, this, refilter);
    connect(chkRaw, &QCheckBox::toggled, this, [this](bool on) {
        tblExchanges->setVisible(!on);
        txtRaw->setVisible(on);
        if (on) ShowRaw();
    });
    connect(btPause, &QPushButton::toggled, this, [this](bool on) {
        btPause->setText(on ? "Resume" : "Pause");
        if (!on) tmrRefreshTimer();
    });
    connect(btClear, &QPushButton::clicked, this, &TfrmBusMonitor::btClearClick);
    connect(btCopy, &QPushButton::clicked, this, &TfrmBusMonitor::btCopyClick);
    connect(btSaveText, &QPushButton::clicked, this, &TfrmBusMonitor::btSaveTextClick);
    connect(btSaveCsv, &QPushButton::clicked, this, &TfrmBusMonitor::btSaveCsvClick);
    connect(tblExchanges->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmBusMonitor::UpdateDiagnosis);
    resize(1100, 520);
    {
        auto state = SavedState();
        edtAddress->setText(state->value("BusMonitor/address").toString());
        const int verdict = state->value("BusMonitor/verdict", 0).toInt();
        if (verdict >= 0 && verdict < cmbVerdict->count()) cmbVerdict->setCurrentIndex(verdict);
        chkRaw->setChecked(state->value("BusMonitor/raw", false).toBool());
    }
    tmrRefreshTimer();
}

void TfrmBusMonitor::SaveState() {
    SaveWindowGeometry(this, "BusMonitor");
    auto state = SavedState();
    state->setValue("BusMonitor/address", edtAddress->text());
    state->setValue("BusMonitor/verdict", cmbVerdict->currentIndex());
    state->setValue("BusMonitor/raw", chkRaw->isChecked());
}

// Deleted with the main window, after its link: nothing to take back then.
TfrmBusMonitor::~TfrmBusMonitor() = default;

void TfrmBusMonitor::showEvent(QShowEvent* event) {
    if (attach_) attach_(&monitor_);
    tmrRefresh->start();
    QWidget::showEvent(event);
}

void TfrmBusMonitor::closeEvent(QCloseEvent* event) {
    // Closed, the monitor costs the link nothing: the observer goes away until it is shown again.
    if (attach_) attach_(nullptr);
    tmrRefresh->stop();
    SaveState();
    QWidget::closeEvent(event);
}

void TfrmBusMonitor::tmrRefreshTimer() {
    if (!btPause->isChecked()) {
        const bool atEnd =
            model_->rowCount() == 0 ||
            tblExchanges->rowAt(tblExchanges->viewport()->height() - 1) < 0 ||
            tblExchanges->rowAt(tblExchanges->viewport()->height() - 1) >= model_->rowCount() - 1;
        const int before = model_->rowCount();
        model_->Refresh();
        if (atEnd && model_->rowCount() != before) tblExchanges->scrollToBottom();
        if (chkRaw->isChecked() && model_->rowCount() != before) ShowRaw();
    }
    QString text = QString("%1 rows").arg(model_->rowCount());
    text += QString(", %1 dropped").arg(monitor_.Dropped());
    if (btPause->isChecked()) text += ", paused";
    labCount->setText(text);
    UpdateDiagnosis();
}

QString TfrmBusMonitor::SelectedAddress() const {
    const QModelIndexList rows = tblExchanges->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        if (const odel::bus::Row* r = model_->RowAt(rows.last().row()))
            if (!r->address.empty()) return QString::fromStdString(r->address);
    const QString filter = edtAddress->text().trimmed().toUpper();
    if (filter.size() == 2) return filter;
    return {};
}

void TfrmBusMonitor::UpdateDiagnosis() {
    const QString address = SelectedAddress();
    if (address.isEmpty()) {
        labWhyNoAnswer->setText("Why no answer? Select a row (or type an address) to ask.");
        return;
    }
    const odel::bus::Diagnosis d =
        monitor_.Diagnose(address.toStdString(), odel::bus::BusMonitor::NowUsec());
    labWhyNoAnswer->setText("Why no answer? " + QString::fromStdString(d.text));
}

void TfrmBusMonitor::ShowRaw() {
    QString text;
    const int n = model_->rowCount();
    for (int row = std::max(0, n - kRawRows); row < n; ++row) {
        const odel::bus::Exchange* e = model_->ExchangeAt(row);
        const odel::bus::Row* r = model_->RowAt(row);
        if (!e || !r) continue;
        text += QString::fromStdString("# " + r->time + "  " + r->port + "  " + r->verdict + "\n" +
                                       odel::bus::RawText(*e));
    }
    txtRaw->setPlainText(text);
    txtRaw->moveCursor(QTextCursor::End);
}

void TfrmBusMonitor::btClearClick() {
    monitor_.Clear();
    model_->Refresh();
    if (chkRaw->isChecked()) ShowRaw();
    tmrRefreshTimer();
}

void TfrmBusMonitor::btCopyClick() {
    QModelIndexList rows = tblExchanges->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const QModelIndex& i : rows)
        if (const odel::bus::Row* r = model_->RowAt(i.row()))
            text += QString::fromStdString(odel::bus::RowText(*r)) + "\n";
    QApplication::clipboard()->setText(text);
}

void TfrmBusMonitor::btSaveTextClick() {
    Save(false);
}

void TfrmBusMonitor::btSaveCsvClick() {
    Save(true);
}

void TfrmBusMonitor::Save(bool csv) {
    const QString path =
        csv ? SaveFileIn(FileKind::Recordings, this, "bus.csv", "CSV files (*.csv)")
            : SaveFileIn(FileKind::Recordings, this, "bus.txt", "Text files (*.txt)");
    if (path.isEmpty()) return;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        dialogs().messageBox("Error when opening file", "Message");
        return;
    }
    std::string out;
    if (csv) out = odel::bus::CsvHeader() + "\n";
    for (int row = 0; row < model_->rowCount(); ++row)
        if (const odel::bus::Row* r = model_->RowAt(row))
            out += (csv ? odel::bus::CsvLine(*r) : odel::bus::RowText(*r)) + "\n";
    if (f.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size()))
        dialogs().messageBox("Error when writing file", "Message");
}

}  // namespace odel::ui
