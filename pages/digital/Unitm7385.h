// The digital I/O page family. TfrmM7385 holds all the logic: one lamp per input and output
// line refreshed by the 500 ms poll, a click on an output lamp switching that line, the
// communication fail-safe pattern and time-out, and the settings-file lines. The derived pages
// choose the rows shown, how the inputs are read and whether protocol and fail-safe take part.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "pages/frame/PageFrame.h"

class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace odel {
class Module7385;
}

namespace odel::ui {

class Lamp;

// What a page of the family shows; fixed when the page is built.
struct DioPageKind {
    QString model;              // "7385": caption " ODEL-7385 ", page TfrmM7385
    int inputs = 8;             // input lamps DI 0..inputs-1 of the first row; 0 hides the row
    int outputs = 8;            // output lamps DO 0..outputs-1; 0 hides the row
    bool outputsOnTop = false;  // output row above the input row
    bool inputWord = false;     // second row shows inputs 8..15 (display only)
    int safeBits = 8;           // fail-safe buttons DO 0..safeBits-1; 0 hides the group
    bool protocolShown = true;  // protocol selector visible
    // The module has no protocol choice: nothing is staged, the selector shows index 0 and
    // stays disabled.
    bool protocolFixed = false;
    bool safetyRead = true;  // false: the fail-safe refresh succeeds without a command
};

class TfrmM7385 : public PageFrame {
    Q_OBJECT
  public:
    explicit TfrmM7385(QWidget* parent = nullptr);
    ~TfrmM7385() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    odel::Module7385* module() const { return module_.get(); }

    // Lamps by bit number: outputs (second row), inputs (first row), fail-safe buttons.
    std::array<Lamp*, 8> DOButtons{};
    std::array<Lamp*, 8> DIButtons{};
    std::array<Lamp*, 8> SafeDOButtons{};
    // Output states of the last good poll; a click on output i inverts DOState[i].
    std::array<bool, 8> DOState{};
    // Fail-safe pattern as read, then edited by clicks until the fail-safe Update.
    std::uint8_t SafeValue = 0;

    QLineEdit* edtDI_Hex = nullptr;
    QLineEdit* edtDO_Hex = nullptr;
    QLineEdit* edtTimeoutSetting = nullptr;
    QPushButton* btSafeSettingUpdate = nullptr;

  public slots:
    virtual void tmrUpdateDIDataTimer();
    void RefreshDIOData();
    void bitbtnDO0Click();
    void bitbtnSafeDO0Click();
    void btSafeSettingUpdateClick();

  protected:
    TfrmM7385(const DioPageKind& kind, QWidget* parent);

    odel::ModuleBase* frameModule() const override;
    // The second command object of the input-only pages (null elsewhere); it follows every
    // address change of the page's module.
    virtual odel::ModuleBase* inputModule() const { return nullptr; }

    // Creates the second command object of the input-only pages on the page's link and address.
    virtual void createInputModule(odel::SerialPort*, const std::string&) {}

    // ---- the family's virtual operations ----
    void ApplyProtocol() override;
    bool RefreshProtocol() override;
    virtual bool RefreshSafetySetting();

    void RefreshGeneralSetting() override;
    void StageInitSettings() override;
    void DelayForChangeType() override {}
    void FinishUpdate(bool done) override;
    void BuildConfSchema(ConfSchema& schema) override;

    // Key filter of the time-out edit: true when the key is discarded.
    bool edtTimeoutSettingKeyPress(QKeyEvent* event);
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Shows a byte on a row of lamps and marks the poll as good (for the output clicks).
    static void showBits(const std::array<Lamp*, 8>& lamps, int bits);
    // Heartbeat and status text of one poll.
    void reportPoll(bool ok, const QString& okText, const QString& failText);

    const DioPageKind& kind() const { return kind_; }

    QGroupBox* GroupBox3 = nullptr;   // " Data Area "
    QGroupBox* GroupBox19 = nullptr;  // input row
    QGroupBox* GroupBox4 = nullptr;   // output row
    QGroupBox* gbSeftValue = nullptr;
    QLabel* labDI_Hex = nullptr;
    QLabel* labDO_Hex = nullptr;
    // A poll has succeeded since the page started: DOState holds the module's outputs.
    bool polled_ = false;

  private:
    QGroupBox* buildRow(const QString& name, const QString& label, QLineEdit*& hexEdit,
                        QLabel*& hexLabel, std::array<Lamp*, 8>& lamps, const QString& lampName,
                        const QString& captionPrefix, int captionBase, int shown);
    void buildSafeGroup();

    DioPageKind kind_;
    std::unique_ptr<odel::Module7385> module_;
};

// Two or four hex digits of a module reply as a number; -1 unless every character is one.
int hexDigits(const std::string& digits);

}  // namespace odel::ui
