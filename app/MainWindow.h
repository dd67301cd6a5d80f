// The main window: tree of ports and modules on the left, the page of the selected node on the
// right, the tool bar and menus, the status bar, and the one serial link it keeps open.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "app/HelpWindow.h"

class QAction;
class QScrollArea;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace odel {
class SerialPort;
class TrafficObserver;
}

namespace odel::ui {

class ModulePage;
class StatusPanels;
class TfrmComSet;
class TfrmIntro;
class TfrmBusMonitor;

class TfrmMain : public QMainWindow {
    Q_OBJECT
  public:
    // extraPorts are listed after the discovered ports (command-line ports, the simulated bus).
    explicit TfrmMain(const QStringList& extraPorts = {}, bool discoverPorts = true,
                      QWidget* parent = nullptr);
    ~TfrmMain() override;

    QToolBar* ToolBar1;
    QTreeWidget* treeviewModule;
    QSplitter* Splitter1;
    QScrollArea* ScrollBox1;
    StatusPanels* statbarMain;

    // Commands: tool button and menu item of each.
    QAction* tlbtnSave;
    QAction* tlbtnSearch;
    QAction* tlbtnTerminal;
    QAction* tlbtnDataScope;
    QAction* tlbtnSaveConf;
    QAction* tlbtnLoadConf;
    QAction* tlbtnHelp;
    QAction* menuSave;
    QAction* menuExit;
    QAction* menuSearch;
    QAction* menuTerminal;
    QAction* menuDataScope;
    QAction* menuSaveConf;
    QAction* menuDownloadConf;
    QAction* menuOnlineHelp;
    QAction* menuAboutOdel;
    QAction* menuBusMonitor;
    QAction* menuAddNetworkPort;
    QAction* menuRecheck;
    QAction* menuBackUpBus;
    QAction* menuCompareBackup;
    QAction* menuRestoreBackup;

    void RefreshButton(bool save, bool search, bool terminal, bool dataScope, bool saveConf,
                       bool loadConf, bool help);
    // The state RefreshButton last gave command i (0 Save ... 6 Help); Data Scope is invisible,
    // and an invisible action always reports itself disabled.
    bool CommandEnabled(int index) const { return index >= 0 && index < 7 && commandState_[index]; }
    void ShowStatusMessage(const QString& text);
    void ScanComPort();
    void RefreshComPort(const QString& portName);
    void ShowCOMForm(const QString& portName);
    void ShowIntro();
    void ShowComSet();
    void ShowModuleForm(int level);
    void ReleaseAllForm();
    void ReleaseResource();
    // Applies the COM settings page (baud rate, time-out) to the current link.
    void ApplyComSettings();
    // The size the window opens at when nothing was saved (before fitting it to the screen).
    QSize defaultSize() const { return defaultSize_; }
    // Writes the window's place and splitter to the saved state (done when the program exits).
    void SaveState();

    // The tree's mouse-down handler; pos in viewport coordinates.
    void treeviewModuleMouseDown(Qt::MouseButton button, const QPoint& pos);

    // The current link (borrowed by search, terminal and pages), or nullptr.
    odel::SerialPort* link() const { return link_.get(); }
    QWidget* shownPage() const { return page_; }
    ModulePage* modulePage() const { return modulePage_; }
    TfrmComSet* frmComSet() const { return frmComSet_; }
    TfrmIntro* frmIntro() const { return frmIntro_; }
    // The bus monitor's observer: given to the current link and to every link opened later.
    void SetLinkObserver(odel::TrafficObserver* observer);
    TfrmBusMonitor* busMonitor() const;
    // The help window once Help was used, else nullptr.
    TfrmHelp* frmHelp() const { return help_; }

  public Q_SLOTS:
    void tlbtnSaveClick();
    void tlbtnSearchClick();
    void tlbtnTerminalClick();
    void tlbtnDataScopeClick();
    void tlbtnSaveConfClick();
    void tlbtnLoadConfClick();
    void tlbtnHelpClick();
    void menuExitClick();
    void menuAboutOdelClick();
    void menuBusMonitorClick();
    // Asks for a device server, lists its port under "PC" and selects it.
    void menuAddNetworkPortClick();
    // Probes only the remembered modules of the selected port node and marks each node as
    // found, changed or gone.
    void menuRecheckClick();
    // The port node's context-menu command: selects the port, then re-checks it.
    void RecheckPort(QTreeWidgetItem* portNode);
    // Whole-bus backup of a port node (the selected node's port when none is given).
    void menuBackUpBusClick(QTreeWidgetItem* port = nullptr);
    void menuCompareBackupClick(QTreeWidgetItem* port = nullptr);
    void menuRestoreBackupClick(QTreeWidgetItem* port = nullptr);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildCommands();
    void restoreSavedState();
    void placePage(QWidget* page);
    // keepUnavailable: a port the user named is listed greyed when it cannot be opened.
    void addPortNode(const QString& name, bool keepUnavailable = false);
    QTreeWidgetItem* portNodeNamed(const QString& name) const;
    // A module (or slot) node not checked in this run is probed first; false when it is gone
    // or the clicked slot is no longer there. item may be replaced by the slot read anew.
    bool confirmKnownNode(QTreeWidgetItem*& item);
    void treeviewModuleContextMenu(const QPoint& pos);
    // What selecting a port node does: its COM settings page on a freshly checked link.
    void showPortPage(QTreeWidgetItem* item);
    bool askExit();
    // The three backup commands: their port's page on its link, the folder, and the modules.
    bool beginBusCommand(QTreeWidgetItem* port, const QString& title, QString& folder);
    void runBusComparison(QTreeWidgetItem* port, bool restore);
    // Whether pos (viewport coordinates) is on the expand indicator of a node with children.
    bool onExpandIndicator(const QTreeWidgetItem* item, const QPoint& pos) const;

    QStringList extraPorts_;
    bool discoverPorts_;
    std::unique_ptr<odel::SerialPort> link_;
    QPointer<QWidget> page_;  // the one page in the pane (intro, COM settings or module page)
    ModulePage* modulePage_ = nullptr;
    TfrmComSet* frmComSet_ = nullptr;
    TfrmIntro* frmIntro_ = nullptr;
    QPointer<TfrmHelp> help_;
    bool exitConfirmed_ = false;
    odel::TrafficObserver* linkObserver_ = nullptr;
    QPointer<QWidget> busMonitor_;  // a TfrmBusMonitor
    bool commandState_[7] = {};
    QSize defaultSize_;
};

}  // namespace odel::ui
