// The page of a second-series main unit (8600, 8600X): its general settings, the list of the
// modules in its slots, baud rate and checksum changes in INIT state, and the firmware download.
#pragma once

#include <QString>
#include <memory>

#include "pages/frame/ModulePage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace odel {
class Module8600;
}

namespace odel::ui {

// The description of a slot module by name ("Unknown module (86XY)" for names not listed).
QString SlotModuleDescription(const QString& name);

class TfrmM8600 : public ModulePage {
    Q_OBJECT
  public:
    explicit TfrmM8600(QWidget* parent = nullptr);
    ~TfrmM8600() override;

    // The main unit's page takes no tree view; treeView is ignored.
    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    odel::Module8600* module() const { return module_.get(); }
    bool InitMode = false;

    QGroupBox* GroupBoxM8600;
    QLineEdit* EditAddrDec;
    QLineEdit* EditAddrHex;
    QComboBox* ComboBoxBaudRate;
    QCheckBox* CheckBoxCheckSum;
    QLineEdit* EditFirmwareVer;
    QPushButton* ButtonUpdate;
    QPushButton* ButtonDownload;
    QTreeWidget* ListView86KModule;

  public Q_SLOTS:
    void ButtonUpdateClick();
    void ButtonDownloadClick();

  protected:
    // Reads version, name and configuration and fills the page; false when a read failed.
    bool RefreshMainUnit();
    void InitModuleViewList(const QString& name);

  private:
    void setStatus(const QString& text);
    // Download is offered only in INIT state and once name and version have been read, so the
    // loader is chosen for the unit actually there.
    void updateDownloadEnabled();

    std::unique_ptr<odel::Module8600> module_;
    odel::SerialPort* link_ = nullptr;
    StatusPanels* statusBar_ = nullptr;
    QString moduleName_;
    QString firmwareVersion_;
    bool identified_ = false;
};

}  // namespace odel::ui
