#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSerialPortInfo>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

#include "app/BusMonitorWindow.h"
#include "app/DataScopeWindow.h"
#include "app/ComSet.h"
#include "app/DataDir.h"
#include "pages/Dispatch.h"
#include "app/DlgAbout.h"
#include "app/DlgAskAddr.h"
#include "app/DlgNetPort.h"
#include "app/DlgSearch.h"
#include "app/HelpWindow.h"
#include "app/Intro.h"
#include "app/KnownBus.h"
#include "app/MTerminal.h"
#include "app/TreeImages.h"
#include "app/TreeListing.h"
#include "device/BusProbe.h"
#include "device/LinkTransport.h"
#include "device/SerialPort.h"
#include "pages/PageRegistry.h"
#include "pages/frame/BusyCursor.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/ModulePage.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/StatusPanels.h"

namespace odel::ui {

namespace {
// The widest size hint of any page class, measured once per run.
int WidestPageWidth() {
    static const int widest = [] {
        int w = 0;
        for (const QString& cls : RegisteredPages())
            if (const PageFactory factory = FindPage(cls)) {
                std::unique_ptr<ModulePage> page(factory(nullptr));
                if (page) w = std::max(w, page->sizeHint().width());
            }
        return w;
    }();
    return widest;
}

int levelOf(const QTreeWidgetItem* item) {
    int level = 0;
    for (auto* p = item->parent(); p; p = p->parent()) ++level;
    return level;
}

// Longest time-out accepted from the COM settings page, in milliseconds.
constexpr int kMaxTimeoutMs = 60000;

// Why a port did not open, in words that say what to do; empty when there is nothing to add.
QString OpenFailureReason(odel::SerialPort::OpenError why) {
    using E = odel::SerialPort::OpenError;
    switch (why) {
        case E::NotPresent: return "no such device";
        case E::NoPermission:
            return "permission denied: add your user to the dialout group and log in again";
        case E::Busy: return "busy: another program holds it";
        case E::Refused: return "connection refused";
        case E::NoAnswer: return "no answer from the device server";
        case E::UnknownHost: return "unknown host";
        case E::BadName: return "not a port name";
        case E::PortInUse: return "the device server's port is in use";
        case E::ServerClosed: return "the device server closed the connection";
        case E::SendsWithoutEnd: return "the device server sends without end";
        case E::DoesNotRead: return "the device server does not read";
        default: return {};
    }
}

// Why an open link did not take its line settings or time-out.
QString SettingFailureReason(const odel::SerialPort& port, int baud) {
    switch (port.LastLinkFault()) {
        case odel::SerialPort::LinkFault::SendsWithoutEnd: return "the device server sends without end";
        case odel::SerialPort::LinkFault::DoesNotRead: return "the device server does not read";
        case odel::SerialPort::LinkFault::None: break;
    }
    if (!port.IsOpen()) return "the device server closed the connection (its port may be in use)";
    if (!odel::SerialPort::IsSupportedBaud(baud))
        return QString("unsupported baud rate %1").arg(baud);
    return "the line settings were not taken";
}

// A port given on the command line that cannot be opened now: listed greyed, the reason as tip.
void SetPortUnavailable(QTreeWidgetItem* node, const QString& reason) {
    node->setForeground(0, QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    node->setToolTip(0, node->text(0) + ": " + reason);
}
void SetPortAvailable(QTreeWidgetItem* node) {
    node->setData(0, Qt::ForegroundRole, QVariant());
    node->setToolTip(0, node->text(0));
}
}  // namespace

TfrmMain::TfrmMain(const QStringList& extraPorts, bool discoverPorts, QWidget* parent)
    : QMainWindow(parent), extraPorts_(extraPorts), discoverPorts_(discoverPorts) {
    InitResources();
    setObjectName("frmMain");
    setWindowTitle("ODEL-7300 Utility (Ver 2.00)");

    treeviewModule = new QTreeWidget;
    treeviewModule->setObjectName("treeviewModule");
    treeviewModule->setHeaderHidden(true);
    treeviewModule->setColumnCount(1);
    treeviewModule->setIndentation(19);
    treeviewModule->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeviewModule->setIconSize(QSize(16, 16));
    treeviewModule->setMinimumWidth(120);
    // Long node texts scroll sideways instead of being cut short.
    treeviewModule->setTextElideMode(Qt::ElideNone);
    treeviewModule->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    treeviewModule->header()->setStretchLastSection(false);
    treeviewModule->viewport()->installEventFilter(this);
    treeviewModule->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(treeviewModule, &QWidget::customContextMenuRequested, this,
            &TfrmMain::treeviewModuleContextMenu);
    treeviewModule->installEventFilter(this);
    auto* root = new QTreeWidgetItem(treeviewModule, QStringList{"PC"});
    root->setData(0, kNodeDataRole, 0);
    SetNodeImages(root, kImgRoot, kImgRoot);

    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    auto* content = new QWidget;
    content->setObjectName("ScrollBox1Content");
    ScrollBox1->setWidget(content);

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(4);
    Splitter1->addWidget(treeviewModule);
    Splitter1->addWidget(ScrollBox1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    // Wider than the 800 x 600 design so the widest module page and the slot nodes fit unscrolled.
    Splitter1->setSizes({190, 766});
    setCentralWidget(Splitter1);

    statbarMain = new StatusPanels(this);
    setStatusBar(statbarMain);

    buildCommands();
    const QString stateNote = SetAsideCorruptState();
    // Wide enough that the widest page class shows all its controls without sideways scrolling.
    const int pane = WidestPageWidth() + 4 + 2 * ScrollBox1->frameWidth() +
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    const int tree = Splitter1->sizes().value(0, 190);
    defaultSize_ = QSize(std::max(960, tree + Splitter1->handleWidth() + pane),
                         640 + menuBar()->sizeHint().height() + ToolBar1->sizeHint().height() +
                             statbarMain->sizeHint().height());
    Splitter1->setSizes({tree, defaultSize_.width() - tree - Splitter1->handleWidth()});
    resize(defaultSize_);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    KeepOnScreen(this);
    restoreSavedState();

    // Start-up: Save and Help only, the intro page, the ports, everything expanded.
    RefreshButton(true, false, false, false, false, false, true);
    ShowIntro();
    ScanComPort();
    treeviewModule->expandAll();
    if (!stateNote.isEmpty()) ShowStatusMessage(stateNote);
}

void TfrmMain::restoreSavedState() {
    RestoreWindowGeometry(this, "MainWindow");
    const QByteArray splitter = SavedState()->value("MainWindow/splitter").toByteArray();
    if (!splitter.isEmpty()) Splitter1->restoreState(splitter);
}

void TfrmMain::SaveState() {
    SaveWindowGeometry(this, "MainWindow");
    SavedState()->setValue("MainWindow/splitter", Splitter1->saveState());
    if (busMonitor_ && busMonitor_->isVisible()) busMonitor()->SaveState();
    // Node texts a page renamed after an address change are kept too.
    QTreeWidgetItem* root = treeviewModule->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i) SaveKnownBus(root->child(i));
}

TfrmMain::~TfrmMain() {
    ReleaseAllForm();
    link_.reset();
}

void TfrmMain::buildCommands() {
    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(24, 24));

    auto tool = [this](const char* name, const QString& hint, int image) {
        auto* a = new QAction(ToolImage(image), hint, this);
        a->setObjectName(name);
        a->setToolTip(hint);
        ToolBar1->addAction(a);
        ToolBar1->widgetForAction(a)->setObjectName(name);
        return a;
    };
    tlbtnSave = tool("tlbtnSave", "Save", 0);
    ToolBar1->addSeparator();
    tlbtnSearch = tool("tlbtnSearch", "Search", 1);
    tlbtnTerminal = tool("tlbtnTerminal", "Terminal", 2);
    tlbtnDataScope = tool("tlbtnDataScope", "Data Scope", 3);
    ToolBar1->addSeparator();
    tlbtnSaveConf = tool("tlbtnSaveConf", "Save Configuration", 4);
    tlbtnLoadConf = tool("tlbtnLoadConf", "Load Configuration", 5);
    ToolBar1->addSeparator();
    tlbtnHelp = tool("tlbtnHelp", "Help", 6);

    auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        auto* a = menu->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("menuFile");
    menuSave = item(file, "menuSave", "&Save");
    menuSave->setIcon(ToolImage(0));
    menuExit = item(file, "menuExit", "&Exit");
    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->setObjectName("menuTools");
    menuSearch = item(tools, "menuSearch", "&Search");
    menuSearch->setIcon(ToolImage(1));
    menuTerminal = item(tools, "menuTerminal", "&Terminal");
    menuTerminal->setIcon(ToolImage(2));
    menuDataScope = item(tools, "menuDataScope", "&Data Scope");
    tools->addSeparator();
    menuSaveConf = item(tools, "menuSaveConf", "S&ave Configuration File");
    menuSaveConf->setIcon(ToolImage(4));
    menuDownloadConf =
        item(tools, "menuDownloadConf", "D&ownload Configuration File To Set Environment");
    menuDownloadConf->setIcon(ToolImage(5));
    tools->addSeparator();
    menuAddNetworkPort = item(tools, "menuAddNetworkPort", "Add &Network Port...");
    menuBusMonitor = item(tools, "menuBusMonitor", "&Bus Monitor");
    menuRecheck = item(tools, "menuRecheck", "&Re-check Known Modules");
    tools->addSeparator();
    menuBackUpBus = item(tools, "menuBackUpBus", "Back &Up Bus...");
    menuCompareBackup = item(tools, "menuCompareBackup", "&Compare with Backup...");
    menuRestoreBackup = item(tools, "menuRestoreBackup", "&Restore from Backup...");
    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("menuHelp");
    menuOnlineHelp = item(help, "menuOnlineHelp", "&Online Help");
    menuOnlineHelp->setIcon(ToolImage(6));
    help->addSeparator();
    menuAboutOdel = item(help, "menuAboutOdel", "&About ODEL Utility...");

    // Shortcuts live on the menu items, so the menus show them.
    menuOnlineHelp->setShortcut(QKeySequence(Qt::Key_F1));
    menuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    menuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    menuSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    menuTerminal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    menuBusMonitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    menuDataScope->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    menuRecheck->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));

    for (QAction* a : {tlbtnSave, menuSave})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnSaveClick);
    for (QAction* a : {tlbtnSearch, menuSearch})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnSearchClick);
    for (QAction* a : {tlbtnTerminal, menuTerminal})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnTerminalClick);
    for (QAction* a : {tlbtnDataScope, menuDataScope})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnDataScopeClick);
    for (QAction* a : {tlbtnSaveConf, menuSaveConf})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnSaveConfClick);
    for (QAction* a : {tlbtnLoadConf, menuDownloadConf})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnLoadConfClick);
    for (QAction* a : {tlbtnHelp, menuOnlineHelp})
        connect(a, &QAction::triggered, this, &TfrmMain::tlbtnHelpClick);
    connect(menuExit, &QAction::triggered, this, &TfrmMain::menuExitClick);
    connect(menuAboutOdel, &QAction::triggered, this, &TfrmMain::menuAboutOdelClick);
    connect(menuBusMonitor, &QAction::triggered, this, &TfrmMain::menuBusMonitorClick);
    connect(menuRecheck, &QAction::triggered, this, &TfrmMain::menuRecheckClick);
    connect(menuAddNetworkPort, &QAction::triggered, this, &TfrmMain::menuAddNetworkPortClick);
    connect(menuBackUpBus, &QAction::triggered, this, [this] { menuBackUpBusClick(); });
    connect(menuCompareBackup, &QAction::triggered, this, [this] { menuCompareBackupClick(); });
    connect(menuRestoreBackup, &QAction::triggered, this, [this] { menuRestoreBackupClick(); });
}

void TfrmMain::RefreshButton(bool save, bool search, bool terminal, bool dataScope, bool saveConf,
                             bool loadConf, bool help) {
    const std::pair<QAction*, QAction*> pairs[] = {
        {tlbtnSave, menuSave},         {tlbtnSearch, menuSearch},
        {tlbtnTerminal, menuTerminal}, {tlbtnDataScope, menuDataScope},
        {tlbtnSaveConf, menuSaveConf}, {tlbtnLoadConf, menuDownloadConf},
        {tlbtnHelp, menuOnlineHelp}};
    const bool on[] = {save, search, terminal, dataScope, saveConf, loadConf, help};
    for (int i = 0; i < 7; ++i) {
        commandState_[i] = on[i];
        pairs[i].first->setEnabled(on[i]);
        pairs[i].second->setEnabled(on[i]);
    }
    // Re-check probes the remembered modules of the port node, where Search is allowed.
    menuRecheck->setEnabled(search);
}

void TfrmMain::ShowStatusMessage(const QString& text) {
    statbarMain->setPanelText(0, text);
}

void TfrmMain::addPortNode(const QString& name, bool keepUnavailable) {
    QTreeWidgetItem* root = treeviewModule->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->text(0) == name) return;  // listed once
    // A port that opens, or that exists but is held by another program or forbidden, is listed.
    // A network port is listed as given: connecting would take the device server's port.
    // A port the user named that cannot be opened at all is listed greyed, saying why.
    odel::SerialPort probe(name.toStdString());
    QString unavailable;
    if (!odel::link::IsNetworkPortName(name.toStdString()) && !probe.Open()) {
        const auto why = probe.LastOpenError();
        if (why != odel::SerialPort::OpenError::Busy &&
            why != odel::SerialPort::OpenError::NoPermission) {
            if (!keepUnavailable) return;
            unavailable = OpenFailureReason(why);
            if (unavailable.isEmpty()) unavailable = "cannot be opened";
        }
    }
    probe.Close();
    auto* node = new QTreeWidgetItem(root, QStringList{name});
    node->setToolTip(0, name);  // network names are often wider than the tree
    node->setData(0, kNodeDataRole, 0);
    SetNodeImages(node, kImgPort, kImgPortSel);
    if (!unavailable.isEmpty()) SetPortUnavailable(node, unavailable);
    LoadKnownBus(node);
}

QTreeWidgetItem* TfrmMain::portNodeNamed(const QString& name) const {
    QTreeWidgetItem* root = treeviewModule->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->text(0) == name) return root->child(i);
    return nullptr;
}

void TfrmMain::ScanComPort() {
    QStringList names;
    if (discoverPorts_) {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            names << info.systemLocation();
        QCollator collator;
        collator.setNumericMode(true);
        std::sort(names.begin(), names.end(), collator);
    }
    for (const QString& name : names) addPortNode(name);
    for (const QString& name : extraPorts_) addPortNode(name, true);
    // The network ports added in earlier runs, listed again without connecting.
    for (const QString& name : SavedState()->value("NetworkPorts").toStringList())
        addPortNode(name);
}

void TfrmMain::RefreshComPort(const QString& portName) {
    // A link that is no longer open (its adapter vanished) is dropped too, so the port is
    // opened afresh: a new adapter may have appeared under the same name.
    if (link_ &&
        (portName == "PC" || portName.toStdString() != link_->GetPortName() || !link_->IsOpen()))
        link_.reset();  // closes the port
    if (!link_ && portName != "PC") {
        auto port = std::make_unique<odel::SerialPort>(portName.toStdString());
        const bool opened = port->Open();
        if (opened && port->SetLineSettings(9600, 8, 0, 0) && port->SetTimeout(80)) {
            link_ = std::move(port);
            if (linkObserver_) link_->SetObserver(linkObserver_);
            link_->SetLineSettingsNotice(
                [this] { ShowStatusMessage("Baud rate is set on the device server"); });
            // Said once the handler that met the fault has returned (a page may be mid-poll).
            link_->SetLinkFaultNotice([this, portName](odel::SerialPort::LinkFault f) {
                const QString why = f == odel::SerialPort::LinkFault::DoesNotRead
                                        ? "the device server does not read"
                                        : "the device server sends without end";
                QTimer::singleShot(0, this, [portName, why] {
                    dialogs().error("Connection to " + portName + " closed!\n" + why);
                });
            });
        } else {
            // The open failure's message, and on a second line what went wrong.
            const QString reason = opened ? SettingFailureReason(*port, 9600)
                                          : OpenFailureReason(port->LastOpenError());
            port.reset();
            dialogs().error("Open " + portName + " failed!" +
                            (reason.isEmpty() ? QString() : "\n" + reason));
        }
        // A greyed port that opens now looks like any other.
        if (QTreeWidgetItem* node = portNodeNamed(portName); node && link_) SetPortAvailable(node);
    }
}

void TfrmMain::placePage(QWidget* page) {
    QWidget* content = ScrollBox1->widget();
    page->setParent(content);
    page->move(2, 2);
    page->show();
    page->adjustSize();
    const QSize need = page->size().expandedTo(page->sizeHint()) + QSize(4, 4);
    content->resize(need.expandedTo(ScrollBox1->viewport()->size()));
    page_ = page;
}

void TfrmMain::ShowIntro() {
    frmIntro_ = new TfrmIntro;
    placePage(frmIntro_);
}

void TfrmMain::ShowComSet() {
    frmComSet_ = new TfrmComSet;
    placePage(frmComSet_);
}

void TfrmMain::ShowCOMForm(const QString& portName) {
    const odel::SerialPort* before = link_.get();
    RefreshComPort(portName);
    if (!link_) return;
    ShowComSet();
    if (QTreeWidgetItem* node = treeviewModule->currentItem())
        frmComSet_->EditPort->setText(node->text(0));
    int baud = 0;
    std::uint8_t dataBits = 0, parity = 0, stopBits = 0;
    link_->GetLineSettings(baud, dataBits, parity, stopBits);
    int timeout = link_->GetTimeout();
    // A port opened just now offers the settings last used on it; like any edit on the page
    // they reach the link when Search or Terminal starts.
    if (link_.get() != before) {
        auto state = SavedState();
        const QString key = "Ports/" + PortKey(portName);
        baud = state->value(key + "/baud", baud).toInt();
        timeout = state->value(key + "/timeout", timeout).toInt();
    }
    frmComSet_->ComboBoxBaudRate->setCurrentIndex(TfrmComSet::BaudIndex(baud));
    frmComSet_->EditTimeOut->setText(QString::asprintf("%d", timeout));
    // On a raw network link the chosen rate cannot reach the device: say so when it is chosen.
    connect(frmComSet_->ComboBoxBaudRate, &QComboBox::currentIndexChanged, frmComSet_, [this] {
        if (link_ && !link_->LineSettingsReachDevice())
            ShowStatusMessage("Baud rate is set on the device server");
    });
}

void TfrmMain::ApplyComSettings() {
    if (!link_ || !frmComSet_) return;
    QComboBox* combo = frmComSet_->ComboBoxBaudRate;
    // A rate typed by hand matches no item and counts as 9600.
    int index = combo->currentIndex();
    if (index >= 0 && combo->currentText() != combo->itemText(index)) index = -1;
    const int baud = TfrmComSet::BaudOfIndex(index);
    QString problem;
    if (!link_->SetLineSettings(baud, 8, 0, 0)) problem = SettingFailureReason(*link_, baud);

    bool ok = false;
    int timeout = frmComSet_->EditTimeOut->text().toInt(&ok, 10);
    // Negative or huge values would make every read wait (nearly) for ever.
    if (!ok || timeout < 0 || timeout > kMaxTimeoutMs) {
        dialogs().warning("Invalid timeout value!\nThe default value '80 ms' will be used!");
        frmComSet_->EditTimeOut->setText("80");
        timeout = 80;
    }
    if (!link_->SetTimeout(timeout) && problem.isEmpty()) problem = "the time-out was not taken";
    if (!problem.isEmpty())
        dialogs().warning(QString::fromStdString(link_->GetPortName()) + ": " + problem);
    auto state = SavedState();
    const QString key = "Ports/" + PortKey(QString::fromStdString(link_->GetPortName()));
    state->setValue(key + "/baud", baud);
    state->setValue(key + "/timeout", timeout);
}

void TfrmMain::ReleaseAllForm() {
    delete page_.data();
    page_ = nullptr;
    modulePage_ = nullptr;
    frmComSet_ = nullptr;
    frmIntro_ = nullptr;
}

void TfrmMain::ReleaseResource() {
    link_.reset();
    ReleaseAllForm();
}

void TfrmMain::ShowModuleForm(int level) {
    QTreeWidgetItem* selected = treeviewModule->currentItem();
    if (!selected) return;
    QString address, name;
    QTreeWidgetItem* dataNode = selected;
    if (level == 2) {
        if (!ParseItemText(selected->text(0), address, name)) {
            dialogs().error("Parsing module name failed!");
            return;
        }
    } else {
        QString slot, unitName;
        dataNode = selected->parent();
        if (!dataNode || !ParseItemText(selected->text(0), slot, name) ||
            !ParseItemText(dataNode->text(0), address, unitName)) {
            dialogs().error("Parsing module name failed!");
            return;
        }
    }
    const int nodeData = dataNode->data(0, kNodeDataRole).toInt();
    if (link_) link_->SetChecksum(nodeData != 0 ? 1 : 0);

    const QString pageClass = PageClassFor(name, nodeData);
    const PageFactory factory = pageClass.isEmpty() ? PageFactory{} : FindPage(pageClass);
    ModulePage* page = factory ? factory(ScrollBox1->widget()) : nullptr;
    if (!page) {
        dialogs().warning("Sorry, not support yet!");
        return;
    }
    page->setObjectName(QString(pageClass).remove(0, 1));  // frmM7352 ...
    placePage(page);
    modulePage_ = page;
    // A page that showed an alarm in red does not colour the next page's messages.
    statbarMain->setPanelColor(0, palette().color(QPalette::WindowText));
    // The main-unit page takes no tree view.
    page->InitModule(link_.get(), address, statbarMain,
                     pageClass == "TfrmM8600" ? nullptr : treeviewModule);
    if (page_ == page) placePage(page);  // the page may have grown while reading the module
}

void TfrmMain::treeviewModuleMouseDown(Qt::MouseButton button, const QPoint& pos) {
    if (button != Qt::LeftButton) return;
    treeviewModule->setFocus(Qt::MouseFocusReason);
    QTreeWidgetItem* item = treeviewModule->itemAt(pos);
    bool onNode = false;
    bool onRootButton = false;
    if (item) {
        const QRect r = treeviewModule->visualItemRect(item);
        const int textRight = r.left() + treeviewModule->iconSize().width() + 10 +
                              treeviewModule->fontMetrics().horizontalAdvance(item->text(0));
        onNode = pos.x() >= r.left() && pos.x() <= textRight;
        onRootButton = !onNode && !item->parent() && onExpandIndicator(item, pos);
    }
    if (onNode || onRootButton) {
        const int level = onNode ? levelOf(item) : 0;
        if (onNode) treeviewModule->setCurrentItem(item);
        switch (level) {
            case 0:
                ShowStatusMessage("Welcome to use ODEL Utility");
                ReleaseAllForm();
                RefreshButton(true, false, false, false, false, false, true);
                ShowIntro();
                RefreshComPort(item->text(0));
                break;
            case 1:
                showPortPage(item);
                break;
            case 2:
                ReleaseAllForm();
                RefreshComPort(item->parent()->text(0));
                if (link_ && !confirmKnownNode(item)) {
                    RefreshButton(true, false, false, false, false, false, true);
                } else if (link_) {
                    RefreshButton(true, false, false, false, true, true, true);
                    ShowModuleForm(2);
                } else {
                    RefreshButton(true, false, false, false, false, false, false);
                }
                break;
            default:
                ReleaseAllForm();
                RefreshComPort(item->parent()->parent()->text(0));
                if (link_ && !confirmKnownNode(item)) {
                    RefreshButton(true, false, false, false, false, false, true);
                } else if (link_) {
                    RefreshButton(true, false, false, false, false, false, true);
                    ShowModuleForm(3);
                } else {
                    RefreshButton(true, false, false, false, false, false, false);
                }
                break;
        }
    }
    statbarMain->setPanelText(1, "0");
}

bool TfrmMain::onExpandIndicator(const QTreeWidgetItem* item, const QPoint& pos) const {
    if (!item || item->childCount() == 0) return false;
    const QRect r = treeviewModule->visualItemRect(item);
    return pos.x() < r.left() && pos.x() >= r.left() - treeviewModule->indentation();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == treeviewModule->viewport()) {
        const QEvent::Type type = event->type();
        auto* me = static_cast<QMouseEvent*>(event);
        // Only the handler selects a node: the tree itself gets no presses (a press in the blank
        // indent would select that row without building its view) and no drags across rows.
        // The second press of a double click counts as a click of its own.
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            const QPoint pos = me->position().toPoint();
            QTreeWidgetItem* item = treeviewModule->itemAt(pos);
            treeviewModuleMouseDown(me->button(), pos);
            if (me->button() == Qt::LeftButton && onExpandIndicator(item, pos))
                item->setExpanded(!item->isExpanded());
            return true;
        }
        if (type == QEvent::MouseMove && me->buttons() != Qt::NoButton) return true;
    }
    if (watched == treeviewModule && event->type() == QEvent::KeyPress) {
        // Only a click selects a node and builds its view: keys that would move the selection
        // (arrows, paging, type-ahead) are not let through, so the selected node stays the one
        // whose port, page and commands are in force. Tab still moves the focus on.
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::tlbtnSaveClick() {
    const QString path = SaveFileIn(FileKind::TreeListings, this, "ODEL.txt", "ODEL.txt (*.txt)");
    if (path.isEmpty()) return;
    if (!SaveTreeListing(treeviewModule, path))
        dialogs().messageBox("Error when opening file", "Message");
}

void TfrmMain::tlbtnSearchClick() {
    if (!link_) return;
    ApplyComSettings();
    int start = 0, end = 255;
    {
        TfrmDlgAskAddr ask(this);
        if (dialogs().exec(&ask) != QDialog::Accepted) return;
        start = ask.StartAddr();
        end = ask.EndAddr();
    }
    odel::DrainLink(*link_);
    ShowStatusMessage("Searcing modules, please wait a moment...");
    QTreeWidgetItem* port = treeviewModule->currentItem();
    {
        TfrmDlgSearch search(this);
        search.SetStartAddr(link_.get(), start, treeviewModule, end);
        dialogs().exec(&search);
    }
    ShowStatusMessage("");
    if (port && levelOf(port) == 1) SaveKnownBus(port);
}

void TfrmMain::menuRecheckClick() {
    QTreeWidgetItem* port = treeviewModule->currentItem();
    if (!link_ || !port || levelOf(port) != 1) return;
    ApplyComSettings();
    odel::DrainLink(*link_);
    int found = 0, changed = 0, gone = 0;
    {
        BusyCursor busy;
        ShowStatusMessage("Re-checking known modules...");
        for (int i = 0; i < port->childCount(); ++i) {
            switch (RecheckNode(link_.get(), port->child(i))) {
                case Recheck::Found: ++found; break;
                case Recheck::Changed: ++changed; break;
                case Recheck::Gone: ++gone; break;
            }
            // Each node shows its answer as it comes; clicks wait until the end.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    port->setExpanded(true);
    SaveKnownBus(port);
    ShowStatusMessage(QString("Re-check: %1 found, %2 changed, %3 gone")
                          .arg(found)
                          .arg(changed)
                          .arg(gone));
}

bool TfrmMain::confirmKnownNode(QTreeWidgetItem*& item) {
    QTreeWidgetItem* module = levelOf(item) == 3 ? item->parent() : item;
    if (CheckOf(module) == NodeCheck::Checked) return true;
    const QString slotText = item == module ? QString() : item->text(0);
    odel::DrainLink(*link_);
    if (RecheckNode(link_.get(), module) == Recheck::Gone) {
        treeviewModule->setCurrentItem(module);
        ShowStatusMessage(module->text(0) + " did not answer");
        SaveKnownBus(module->parent());
        return false;
    }
    SaveKnownBus(module->parent());
    if (slotText.isEmpty()) return true;
    // The slot list was read again: the clicked slot must still be there.
    for (int n = 0; n < module->childCount(); ++n) {
        if (module->child(n)->text(0) != slotText) continue;
        item = module->child(n);
        treeviewModule->setCurrentItem(item);
        return true;
    }
    treeviewModule->setCurrentItem(module);
    return false;
}

void TfrmMain::tlbtnTerminalClick() {
    if (!link_) return;
    ApplyComSettings();
    TfrmMTerminal terminal(this);
    terminal.SetLink(link_.get());
    dialogs().exec(&terminal);
}

void TfrmMain::tlbtnSaveConfClick() {
    if (modulePage_) modulePage_->SaveConfiguration();
}

void TfrmMain::tlbtnLoadConfClick() {
    if (modulePage_) modulePage_->LoadConfiguration();
}

void TfrmMain::tlbtnHelpClick() {
    const QString path = HelpPagePath();
    if (!QFileInfo::exists(path)) return;  // a missing page is not reported
    if (!help_) help_ = new TfrmHelp(this);
    help_->ShowPage(QUrl::fromLocalFile(path));
}

void TfrmMain::menuAboutOdelClick() {
    TfrmDlgAbout about(this);
    dialogs().exec(&about);
}

bool TfrmMain::askExit() {
    QApplication::beep();
    return dialogs().question("Are you sure to exit?");
}

void TfrmMain::menuExitClick() {
    if (!askExit()) return;
    SaveState();
    ReleaseResource();
    exitConfirmed_ = true;
    close();
    QApplication::quit();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!exitConfirmed_) {
        if (!askExit()) {
            event->ignore();
            return;
        }
        SaveState();
        ReleaseResource();
        exitConfirmed_ = true;
    }
    event->accept();
}

}  // namespace odel::ui

namespace odel::ui {

void TfrmMain::SetLinkObserver(odel::TrafficObserver* observer) {
    linkObserver_ = observer;
    if (link_) link_->SetObserver(observer);
}

TfrmBusMonitor* TfrmMain::busMonitor() const {
    return static_cast<TfrmBusMonitor*>(busMonitor_.data());
}

void TfrmMain::showPortPage(QTreeWidgetItem* item) {
    ShowStatusMessage("COM Port status");
    ReleaseAllForm();
    ShowCOMForm(item->text(0));
    if (link_)
        RefreshButton(true, true, true, true, false, false, true);
    else
        RefreshButton(true, false, false, false, false, false, true);
}

void TfrmMain::treeviewModuleContextMenu(const QPoint& pos) {
    QTreeWidgetItem* item = treeviewModule->itemAt(pos);
    if (!item || levelOf(item) != 1) return;
    QMenu menu(this);
    QAction* recheck = menu.addAction("Re-check Known Modules");
    recheck->setObjectName("menuRecheckPort");
    recheck->setEnabled(item->childCount() > 0);
    // The whole-bus backup commands of this port.
    menu.addSeparator();
    QAction* backUp = menu.addAction(menuBackUpBus->text());
    QAction* compare = menu.addAction(menuCompareBackup->text());
    QAction* restore = menu.addAction(menuRestoreBackup->text());
    QAction* chosen = menu.exec(treeviewModule->viewport()->mapToGlobal(pos));
    if (chosen == recheck) RecheckPort(item);
    if (chosen == backUp) menuBackUpBusClick(item);
    if (chosen == compare) menuCompareBackupClick(item);
    if (chosen == restore) menuRestoreBackupClick(item);
}

void TfrmMain::RecheckPort(QTreeWidgetItem* portNode) {
    // The port's own view first, as a click on it gives, so its link and settings are in force.
    if (treeviewModule->currentItem() != portNode || !frmComSet_) {
        treeviewModule->setCurrentItem(portNode);
        showPortPage(portNode);
        statbarMain->setPanelText(1, "0");
    }
    if (link_) menuRecheckClick();
}

void TfrmMain::menuAddNetworkPortClick() {
    TfrmDlgNetPort ask(this);
    if (dialogs().exec(&ask) != QDialog::Accepted) return;
    const QString name = ask.PortName();
    addPortNode(name);
    {
        auto state = SavedState();
        QStringList known = state->value("NetworkPorts").toStringList();
        if (!known.contains(name)) state->setValue("NetworkPorts", known << name);
    }
    QTreeWidgetItem* root = treeviewModule->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* node = root->child(i);
        if (node->text(0) != name) continue;
        root->setExpanded(true);
        treeviewModule->setCurrentItem(node);
        showPortPage(node);
        statbarMain->setPanelText(1, "0");
        return;
    }
}

void TfrmMain::menuBusMonitorClick() {
    if (!busMonitor_) {
        busMonitor_ = new TfrmBusMonitor([this](odel::TrafficObserver* o) { SetLinkObserver(o); },
                                         [this] { return link_.get(); }, this);
        busMonitor_->setAttribute(Qt::WA_QuitOnClose, false);
        PlaceToolWindow(busMonitor_, "BusMonitor", this);
    }
    busMonitor_->show();
    busMonitor_->raise();
}

// The Data Scope of the selected port node, on that port's link while it is the current one.
void TfrmMain::tlbtnDataScopeClick() {
    const QTreeWidgetItem* node = treeviewModule->currentItem();
    if (!node || !node->parent() || node->parent()->parent() || !link_) return;
    const QString port = node->text(0);
    TfrmDataScope::Open(port, ScopeModulesUnder(node), [this, port]() -> odel::SerialPort* {
        return link_ && QString::fromStdString(link_->GetPortName()) == port ? link_.get()
                                                                             : nullptr;
    }, this);
}

}  // namespace odel::ui
