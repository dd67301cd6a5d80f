// The frame every module page stands on: the outer group with the page's caption, the
// " General Setting " group, the INIT-state rule, the general Update sequence with its wait
// dialog, the polling timer and heartbeat, status-panel messages and the settings-file
// skeleton. A page family derives from it, builds its own groups and overrides the hooks.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "pages/frame/ModulePage.h"

class QGroupBox;
class QVBoxLayout;
class QTimer;
class QTreeWidget;
class QWidget;

namespace odel {
class ModuleBase;
class SerialPort;
}  // namespace odel

namespace odel::ui {

class ConfSchema;
class GeneralSettingGroup;

class PageFrame : public ModulePage {
    Q_OBJECT
  public:
    // caption is the outer group's caption (" ODEL-7354+ "), groupName its objectName.
    PageFrame(const QString& groupName, const QString& caption, unsigned generalRows,
              QWidget* parent = nullptr);
    ~PageFrame() override;

    void SaveConfiguration() override;
    void LoadConfiguration() override;
    bool HasSettingsFile() override;
    QByteArray SettingsFile() override;
    bool CheckSettingsFile(const QByteArray& content, ConfError* error) override;
    bool DownloadSettingsFile(const QByteArray& content, ConfError* error,
                              const std::function<void(int, const QString&)>& beforeStep) override;

    QString caption() const { return caption_; }
    // Address the module object talks to ("00" in INIT state).
    QString commandAddress() const;

    bool InitMode = false;
    bool heartbeat = false;
    int WaitTime = 1000;

  public slots:
    // The general Update sequence (address check, configuration write, wait, watchdog).
    virtual void btSystemUpdateClick();

  protected:
    // The module command object of the page, owned by the derived page; null before InitModule.
    virtual odel::ModuleBase* frameModule() const = 0;

    // ---- page building ----
    QGroupBox* outerGroup() const { return outer_; }
    GeneralSettingGroup* general() const { return general_; }
    // Columns inside the outer group: the general group heads the left one.
    QVBoxLayout* leftColumn() const { return left_; }
    QVBoxLayout* rightColumn() const { return right_; }
    // The polling timer (500 ms) named as the page's timer; its timeout calls onTick.
    QTimer* createPollTimer(const QString& name, std::function<void()> onTick);
    QTimer* pollTimer() const { return pollTimer_; }
    void stopPolling();
    void startPolling();

    // ---- start ----
    // Stores the environment and decides the INIT state from the address text; returns the
    // command address ("00" for "*").
    QString beginInit(const QString& addressText, StatusPanels* statusBar, QTreeWidget* treeView);

    // ---- messages ----
    void setStatus(const QString& text);
    // Writes the heartbeat panel: "0"/"1" after a good poll, "2"/"3" after a failed one.
    void showHeartbeat(bool ok);

    // ---- the general settings (multi-channel behaviour; families override) ----
    virtual void RefreshGeneralSetting();
    virtual bool RefreshCommWDT();
    virtual bool RefreshProtocol();
    virtual bool UpdateCommWDT();
    virtual void ApplyDataFormat();
    virtual void ShowDataFormat(const QString& code);
    virtual void ApplyProtocol();
    virtual void ApplyExtraSetting() {}
    virtual void SetWaitTime() { WaitTime = 1000; }
    // The settling time after a configuration write: the wait dialog for WaitTime by default;
    // families pause instead or do not wait.
    virtual void DelayForChangeType();

    // ---- Update sequence hooks ----
    // INIT state: what is staged after the new address (baud, checksum, format bits, extra).
    virtual void StageInitSettings();
    // Normal state: what is staged before the write (the page's extra setting).
    virtual void StageNormalSettings() { ApplyExtraSetting(); }
    // After the wait dialog: success message when done, then the read-back.
    virtual void FinishUpdate(bool done);
    // Read-back after an Update (general settings; families add their own).
    virtual void RefreshAfterUpdate() { RefreshGeneralSetting(); }

    // ---- settings file ----
    // The page's lines in order, with the Update steps loading runs. The frame adds the name.
    virtual void BuildConfSchema(ConfSchema& schema) = 0;
    // The lines loading expects; pages whose lines depend on values inside the file build the
    // list from content. By default the lines the page would save.
    virtual void BuildLoadSchema(ConfSchema& schema, const QByteArray& content) {
        (void)content;
        BuildConfSchema(schema);
    }

    // Variations of the Update sequence used by other families: the hourglass cursor from the
    // start of Update until restoreBusyCursor() (or its end), and a pause after the
    // configuration and name queries in normal state.
    bool updateBusyCursor_ = false;
    int pauseAfterQueries_ = 0;
    void restoreBusyCursor();

    // Checks the decimal address text: 1..255 or the error dialog; -1 when refused.
    int checkedDecimalAddress();
    // Renames the selected tree node and re-sorts the tree.
    void renameSelectedNode(const QString& text);

    QTreeWidget* treeView_ = nullptr;
    StatusPanels* statusBar_ = nullptr;

  private:
    // The lines loading expects of content, checked against it.
    bool checkedLoadSchema(ConfSchema& schema, const QByteArray& content, ConfError* error);

    QString caption_;
    QGroupBox* outer_;
    GeneralSettingGroup* general_;
    QVBoxLayout* left_;
    QVBoxLayout* right_;
    QTimer* pollTimer_ = nullptr;
    bool busyCursor_ = false;
};

}  // namespace odel::ui
