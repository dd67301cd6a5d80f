#include "pages/analog_out/AoCalibTargets.h"

#include "device/AnalogInput.h"
#include "device/AnalogOutput.h"

namespace odel::ui {

bool CurrentOutputCalib::Trim(const std::string& code) {
    return m_ && m_->TrimOutput(code);
}
bool CurrentOutputCalib::CalibrateLow() {
    return m_ && m_->Calibrate4mA();
}
bool CurrentOutputCalib::CalibrateHigh() {
    return m_ && m_->Calibrate20mA();
}

bool VoltageOutputCalib::Trim(const std::string& code) {
    return m_ && m_->TrimOutput(code);
}
bool VoltageOutputCalib::CalibrateLow() {
    return m_ && m_->CalibrateOutputLow();
}
bool VoltageOutputCalib::CalibrateHigh() {
    return m_ && m_->CalibrateOutputHigh();
}

bool ChannelOutputCalib::CalibrateLow() {
    return m_ && m_->Calibrate4mAChannel(ch_);
}
bool ChannelOutputCalib::CalibrateHigh() {
    return m_ && m_->Calibrate20mAChannel(ch_);
}

}  // namespace odel::ui
