#include "pages/analog_in/AiCalibTargets.h"

#include "device/AnalogInput.h"

namespace odel::ui {

bool MultiChannelCalib::Zero() {
    return m_ && m_->ZeroCalibrateChannel(ch_);
}
bool MultiChannelCalib::Span() {
    return m_ && m_->SpanCalibrateChannel(ch_);
}

bool SingleChannelCalib::Zero() {
    return m_ && m_->ZeroCalibrate();
}
bool SingleChannelCalib::Span() {
    return m_ && m_->SpanCalibrate();
}

bool StrainGaugeCalib::Zero() {
    return m_ && m_->ZeroCalibrate();
}
bool StrainGaugeCalib::Span() {
    return m_ && m_->CalibrateOutputHigh();
}

bool MultiChannelCjc::ReadCjc(std::string& value) {
    return m_ && m_->ReadCjc(value);
}
bool MultiChannelCjc::SetCjcOffset(const std::string& sign, const std::string& value) {
    return m_ && m_->SetCjcOffset(sign, value);
}

bool SingleChannelCjc::ReadCjc(std::string& value) {
    return m_ && m_->ReadCjc(value);
}
bool SingleChannelCjc::SetCjcOffset(const std::string& sign, const std::string& value) {
    return m_ && m_->SetCjcOffset(sign, value);
}

}  // namespace odel::ui
