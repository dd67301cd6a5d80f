#include "device/AnalogInput.h"

namespace odel {

using ascii::From;
using ascii::Send;

// Analog-input group

bool AnalogInputGroup::SpanCalibrate() {
    std::string reply;
    return Send(port_, reply, "$%s0\r", address_.c_str());
}

bool AnalogInputGroup::ZeroCalibrate() {
    std::string reply;
    return Send(port_, reply, "$%s1\r", address_.c_str());
}

bool AnalogInputGroup::SpanCalibrateChannel(int channel) {
    std::string reply;
    return Send(port_, reply, "$%s0C%d\r", address_.c_str(), channel);
}

bool AnalogInputGroup::ZeroCalibrateChannel(int channel) {
    std::string reply;
    return Send(port_, reply, "$%s1C%d\r", address_.c_str(), channel);
}

bool AnalogInputGroup::SetChannelEnable(const std::string& mask) {
    std::string reply;
    return Send(port_, reply, "$%s5%s\r", address_.c_str(), mask.c_str());
}

bool AnalogInputGroup::ReadChannelEnable(std::string& mask) {
    std::string reply;
    if (!Send(port_, reply, "$%s6\r", address_.c_str())) return false;
    mask = From(reply, 3);
    return true;
}

bool AnalogInputGroup::SetChannelRange(int channel, const std::string& code) {
    std::string reply;
    return Send(port_, reply, "$%s7C%dR%s\r", address_.c_str(), channel, code.c_str());
}

bool AnalogInputGroup::ReadChannelRange(int channel, std::string& code) {
    std::string reply;
    if (!Send(port_, reply, "$%s8C%d\r", address_.c_str(), channel)) return false;
    // The range code follows the "R" after the channel ("!AACnRcc"); modules that echo the
    // command letter ("!AA8CnRcc") put it one place later, so cut after the "R" when present.
    std::size_t r = reply.find_first_of("Rr", 5);
    code = From(reply, r != std::string::npos ? r + 1 : 6);
    return true;
}

bool AnalogInputGroup::ReadAnalogData(std::string& data) {
    std::string reply;
    if (!Send(port_, reply, "#%s\r", address_.c_str())) return false;
    data = From(reply, 1);
    return true;
}

bool AnalogInputGroup::ReadCjc(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s3\r", address_.c_str())) return false;
    value = From(reply, 1);
    return true;
}

bool AnalogInputGroup::SetCjcOffset(const std::string& sign, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s9%s%s\r", address_.c_str(), sign.c_str(), value.c_str());
}

bool AnalogInputGroup::ReadLeadWireCompensation(const std::string& wire, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%sR%s\r", address_.c_str(), wire.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool AnalogInputGroup::SetLeadWireCompensation(const std::string& wire, const std::string& sign,
                                               const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%sR%s%s%s\r", address_.c_str(), wire.c_str(), sign.c_str(),
                value.c_str());
}

// Alarm group

bool AlarmGroup::SetAlarmMode(const std::string& mode) {
    std::string reply;
    return Send(port_, reply, "@%sEA%s\r", address_.c_str(), mode.c_str());
}

bool AlarmGroup::DisableAlarm() {
    std::string reply;
    return Send(port_, reply, "@%sDA\r", address_.c_str());
}

bool AlarmGroup::ClearAlarmLatch() {
    std::string reply;
    return Send(port_, reply, "@%sCA\r", address_.c_str());
}

bool AlarmGroup::SetDigitalOutput(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sDO%s\r", address_.c_str(), value.c_str());
}

bool AlarmGroup::SetHighAlarmLimit(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sHI%s\r", address_.c_str(), value.c_str());
}

bool AlarmGroup::SetLowAlarmLimit(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sLO%s\r", address_.c_str(), value.c_str());
}

bool AlarmGroup::ReadHighAlarmLimit(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "@%sRH\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool AlarmGroup::ReadLowAlarmLimit(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "@%sRL\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool AlarmGroup::ReadAlarmStatus(std::string& mode, std::string& outputs, std::string& inputs) {
    std::string reply;
    if (!Send(port_, reply, "@%sDI\r", address_.c_str())) return false;
    std::string m, o, i;
    if (!ascii::Field(reply, 3, 1, m) || !ascii::Field(reply, 4, 2, o) ||
        !ascii::Field(reply, 6, 2, i)) {
        return false;
    }
    mode = m;
    outputs = o;
    inputs = i;
    return true;
}

bool AlarmGroup::ReadEventCounter(std::string& count) {
    std::string reply;
    if (!Send(port_, reply, "@%sRE\r", address_.c_str())) return false;
    count = From(reply, 3);
    return true;
}

bool AlarmGroup::ClearEventCounter() {
    std::string reply;
    return Send(port_, reply, "@%sCE\r", address_.c_str());
}

// Strain-gauge output group

bool StrainGaugeGroup::SetOutputValue(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s7%s\r", address_.c_str(), value.c_str());
}

bool StrainGaugeGroup::SetStartupOutput() {
    std::string reply;
    return Send(port_, reply, "$%sS\r", address_.c_str());
}

bool StrainGaugeGroup::TrimOutput(const std::string& trim) {
    std::string reply;
    return Send(port_, reply, "$%sE%s\r", address_.c_str(), trim.c_str());
}

bool StrainGaugeGroup::CalibrateOutputLow() {
    std::string reply;
    return Send(port_, reply, "$%sA\r", address_.c_str());
}

bool StrainGaugeGroup::CalibrateOutputHigh() {
    std::string reply;
    return Send(port_, reply, "$%sB\r", address_.c_str());
}

bool StrainGaugeGroup::ReadOutputValue(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s6\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

// Module classes

AiModule::AiModule(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), ai_(port, address) {}

bool AiModule::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    ai_.SetAddress(address);
    return true;
}

AiAlarmModule::AiAlarmModule(SerialPort* port, const std::string& address)
    : AiModule(port, address), alarm_(port, address) {}

bool AiAlarmModule::SetAddress(const std::string& address) {
    AiModule::SetAddress(address);
    alarm_.SetAddress(address);
    return true;
}

bool AiAlarmModule::SetCjcOffset(const std::string& sign, const std::string& value) {
    return ai_.SetCjcOffset(sign, value);
}

bool AiAlarmModule::ReadCjc(std::string& value) {
    return ai_.ReadCjc(value);
}

bool AiAlarmModule::ReadEventCounter(std::string& count) {
    return alarm_.ReadEventCounter(count);
}

bool AiAlarmModule::ClearEventCounter() {
    return alarm_.ClearEventCounter();
}

Module7341L::Module7341L(SerialPort* port, const std::string& address)
    : AiAlarmModule(port, address) {}

bool Module7341L::SetAddress(const std::string& address) {
    return AiAlarmModule::SetAddress(address);
}

AiAlarmModuleNoCjc::AiAlarmModuleNoCjc(SerialPort* port, const std::string& address)
    : AiAlarmModule(port, address) {}

bool AiAlarmModuleNoCjc::SetAddress(const std::string& address) {
    return AiAlarmModule::SetAddress(address);
}

bool AiAlarmModuleNoCjc::SetCjcOffset(const std::string&, const std::string&) {
    return false;
}

bool AiAlarmModuleNoCjc::ReadCjc(std::string&) {
    return false;
}

Module7349::Module7349(SerialPort* port, const std::string& address)
    : AiAlarmModuleNoCjc(port, address), gauge_(port, address) {}

bool Module7349::SetAddress(const std::string& address) {
    AiAlarmModuleNoCjc::SetAddress(address);
    gauge_.SetAddress(address);
    return true;
}

AiMultiModule::AiMultiModule(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), ai_(port, address) {}

bool AiMultiModule::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    ai_.SetAddress(address);
    return true;
}

}  // namespace odel
