// What the output calibration dialog TfrmMAOCalib sends, per kind of analog output. Each page
// hands over the adapter for its module object; the dialog borrows nothing else.
//
// Use from a page (the strain-gauge page's excitation output, 0 V point):
//     TfrmMAOCalib dialog(this);
//     dialog.setWindowTitle(caption() + " 0V Calibration");
//     dialog.setTarget(std::make_unique<VoltageOutputCalib>(module_.get()));
//     dialog.setMode(TfrmMAOCalib::LowVoltage);   // HighVoltage for " 10V Calibration"
//     dialogs().exec(&dialog);
#pragma once

#include <string>

namespace odel {
class Module7349;
class Module7361;
class Module7364;
}  // namespace odel

namespace odel::ui {

class AoCalibTarget {
  public:
    // Decides the dialog's texts: trim hints, value label, group caption, result messages.
    enum class Kind { CurrentOutput, VoltageOutput, ChannelOutput };

    virtual ~AoCalibTarget() = default;
    virtual Kind kind() const = 0;
    // False for a module without a trim command of its own (the buttons are then disabled).
    virtual bool CanTrim() const { return true; }
    // One trim step: a signed 8-bit count as two hex digits ("0A", "01", "FF", "F6").
    virtual bool Trim(const std::string& code) = 0;
    // Stores the low (4 mA / 0 V) or the high (20 mA / 10 V) calibration point.
    virtual bool CalibrateLow() = 0;
    virtual bool CalibrateHigh() = 0;
};

// Single current output: trim "$AA3" + code, "$AA0" (4 mA), "$AA1" (20 mA).
class CurrentOutputCalib : public AoCalibTarget {
  public:
    explicit CurrentOutputCalib(odel::Module7361* module) : m_(module) {}
    Kind kind() const override { return Kind::CurrentOutput; }
    bool Trim(const std::string& code) override;
    bool CalibrateLow() override;
    bool CalibrateHigh() override;

  private:
    odel::Module7361* m_;
};

// Excitation voltage output of the strain-gauge module: trim "$AAE" + code, "$AAA" (0 V),
// "$AAB" (10 V).
class VoltageOutputCalib : public AoCalibTarget {
  public:
    explicit VoltageOutputCalib(odel::Module7349* module) : m_(module) {}
    Kind kind() const override { return Kind::VoltageOutput; }
    bool Trim(const std::string& code) override;
    bool CalibrateLow() override;
    bool CalibrateHigh() override;

  private:
    odel::Module7349* m_;
};

// One channel of the four-output module: "$AA0Cn" (4 mA), "$AA1Cn" (20 mA). The module has no
// trim command per channel, so nothing is sent for the trim buttons.
class ChannelOutputCalib : public AoCalibTarget {
  public:
    ChannelOutputCalib(odel::Module7364* module, int channel) : m_(module), ch_(channel) {}
    Kind kind() const override { return Kind::ChannelOutput; }
    bool CanTrim() const override { return false; }
    bool Trim(const std::string&) override { return false; }
    bool CalibrateLow() override;
    bool CalibrateHigh() override;
    int Channel() const { return ch_; }

  private:
    odel::Module7364* m_;
    int ch_;
};

}  // namespace odel::ui
