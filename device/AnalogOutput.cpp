#include "device/AnalogOutput.h"

namespace odel {

using ascii::From;
using ascii::Send;

// Single output

bool AnalogOutputGroup::WriteAnalogOutput(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "#%s%s\r", address_.c_str(), value.c_str());
}

bool AnalogOutputGroup::SetStartupOutput() {
    std::string reply;
    return Send(port_, reply, "$%s4\r", address_.c_str());
}

bool AnalogOutputGroup::TrimOutput(const std::string& trim) {
    std::string reply;
    return Send(port_, reply, "$%s3%s\r", address_.c_str(), trim.c_str());
}

bool AnalogOutputGroup::Calibrate4mA() {
    std::string reply;
    return Send(port_, reply, "$%s0\r", address_.c_str());
}

bool AnalogOutputGroup::Calibrate20mA() {
    std::string reply;
    return Send(port_, reply, "$%s1\r", address_.c_str());
}

bool AnalogOutputGroup::ReadLastOutput(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s6\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool AnalogOutputGroup::ReadOutputReadback(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s8\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

// Four outputs

bool AnalogOutputGroup::WriteChannelOutput(int channel, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "#%sC%d%s\r", address_.c_str(), channel, value.c_str());
}

bool AnalogOutputGroup::SetChannelStartupValue(int channel, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "#%sSC%d%s\r", address_.c_str(), channel, value.c_str());
}

bool AnalogOutputGroup::SetChannelEmergencyValue(int channel, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "#%sEC%d%s\r", address_.c_str(), channel, value.c_str());
}

bool AnalogOutputGroup::SetChannelEmergencyInput(int channel, const std::string& flag) {
    std::string reply;
    return Send(port_, reply, "$%sAC%d%s\r", address_.c_str(), channel, flag.c_str());
}

bool AnalogOutputGroup::SetChannelRange(int channel, const std::string& code) {
    std::string reply;
    return Send(port_, reply, "$%s7C%dR%s\r", address_.c_str(), channel, code.c_str());
}

bool AnalogOutputGroup::Calibrate4mAChannel(int channel) {
    std::string reply;
    return Send(port_, reply, "$%s0C%d\r", address_.c_str(), channel);
}

bool AnalogOutputGroup::Calibrate20mAChannel(int channel) {
    std::string reply;
    return Send(port_, reply, "$%s1C%d\r", address_.c_str(), channel);
}

bool AnalogOutputGroup::ReadChannelOutput(int channel, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s6C%d\r", address_.c_str(), channel)) return false;
    value = From(reply, 3);
    return true;
}

bool AnalogOutputGroup::ReadChannelRange(int channel, std::string& code) {
    std::string reply;
    if (!Send(port_, reply, "$%s8C%d\r", address_.c_str(), channel)) return false;
    code = From(reply, 5);
    return true;
}

bool AnalogOutputGroup::ReadChannelEmergencyInput(int channel, std::string& flag) {
    std::string reply;
    if (!Send(port_, reply, "$%sBC%d\r", address_.c_str(), channel)) return false;
    flag = From(reply, 5);
    return true;
}

bool AnalogOutputGroup::ReadChannelStartupValue(int channel, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%sDC%d\r", address_.c_str(), channel)) return false;
    value = From(reply, 3);
    return true;
}

bool AnalogOutputGroup::ReadChannelEmergencyValue(int channel, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%sEC%d\r", address_.c_str(), channel)) return false;
    value = From(reply, 3);
    return true;
}

bool AnalogOutputGroup::ReadDigitalInputs(std::string& inputs) {
    std::string reply;
    if (!Send(port_, reply, "$%sI\r", address_.c_str())) return false;
    inputs = From(reply, 3);
    return true;
}

bool AnalogOutputGroup::SetCommSafety(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%sX0%s\r", address_.c_str(), value.c_str());
}

bool AnalogOutputGroup::ReadCommSafety(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%sX1\r", address_.c_str())) return false;
    return ascii::Field(reply, 1, 4, value);
}

// Module classes

Module7361::Module7361(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), ao_(port, address) {}

bool Module7361::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    ao_.SetAddress(address);
    return true;
}

Module7364::Module7364(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), ao_(port, address) {}

bool Module7364::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    ao_.SetAddress(address);
    return true;
}

bool Module7364::SetProtocolBit(const std::string& bit) {
    return SetFormatBit(7, bit);
}

bool Module7364::GetProtocolBit(std::string& bit) {
    return GetFormatBit(7, bit);
}

}  // namespace odel
