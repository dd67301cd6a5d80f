// The " Channel Setup " group of the multi-channel analog-input pages, ASCII and Modbus alike:
// per channel an enable box, a range list, the live value and its unit, then the buttons under
// "For all channels:". A page inherits it beside its frame; the grid handles Enable, Disable and
// "Range follow CH0" itself, the page says what Refresh and Update do.
#pragma once

#include <QString>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace odel::ui {

// One item of a page's range list: the combo text, the code written, the unit shown.
struct AiRange {
    QString item;
    int code;
    QString unit;
};

// What a page's grid looks like; fixed when the page is built.
struct AiGridLook {
    int rows = 8;                // rows built
    int channels = 8;            // rows past this one are hidden and disabled
    bool rangeLists = true;      // per-channel range lists and "Range follow CH0" shown
    bool units = true;           // unit labels shown
    bool rangeToolTips = false;  // a range list also shows its selected item as its tool tip
    const char* updateName = "btSingleChUpdate";  // objectName of the "&Update" button
};

class AiChannelGrid {
  public:
    virtual ~AiChannelGrid() = default;

    // Per-channel control tables, reached by channel index (one entry per row built).
    std::vector<QCheckBox*> chkEnableCh;
    std::vector<QComboBox*> cmbTypeChangeCh;
    std::vector<QLineEdit*> edtAIValCh;
    std::vector<QLabel*> labAIUnitCh;

    // The grid's own buttons, on the first ChannelCount() channels and without module traffic:
    // Enable ticks, Disable clears every enable box, "Range follow CH0" gives channels 1.. the
    // range index of channel 0.
    void btCheckAllClick();
    void btUncheckAllClick();
    void btFollowCh0Click();

  protected:
    // ---- what the page says ----
    virtual int ChannelCount() const = 0;
    // Range code written for a list index; -1 writes nothing (the channel keeps its range).
    virtual int RangeCodeOfIndex(int index) = 0;
    // The pause after each channel's range write.
    virtual void ChannelDelay() = 0;
    // Write the enable mask, or one channel's range code, to the module; false on failure.
    virtual bool WriteEnableMask(int mask) = 0;
    virtual bool WriteChannelRange(int channel, int code) = 0;
    // Puts a text in the page's status panel.
    virtual void ShowGridStatus(const QString& text) = 0;

    // Builds gbChannelSetup inside parent; the page places it in its layout. Refresh and Update
    // call the page's handlers.
    void buildChannelGrid(QWidget* parent, const std::vector<AiRange>& ranges,
                          const AiGridLook& look, const std::function<void()>& onRefresh,
                          const std::function<void()>& onUpdate);

    // The enable mask of the ticked boxes, and the boxes ticked from a mask.
    int EnableMask() const;
    void ShowEnableMask(int mask);
    // Writes the enable mask of the ticked boxes; false (and the status text) on failure.
    bool UpdateEnableMask();
    // Writes the grid to the module: the enable mask, then every channel's selected range with
    // ChannelDelay() after each; then one message says whether all of it went through.
    void WriteChannelSetup();

    QGroupBox* gbChannelSetup = nullptr;
    QPushButton* btFollowCh0 = nullptr;
};

}  // namespace odel::ui
