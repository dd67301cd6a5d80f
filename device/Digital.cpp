#include "device/Digital.h"

#include <cstdio>

namespace odel {

using ascii::Send;

bool DigitalStatusGroup::ReadStatusData(std::string& data) {
    std::string reply;
    if (!Send(port_, reply, "$%s6\r", address_.c_str())) return false;
    data = ascii::From(reply, 1);
    return true;
}

bool DigitalOutputGroup::WriteDigitalOutput(int channel, const std::string& value) {
    char channelText[16] = {};
    std::snprintf(channelText, sizeof channelText, "1%d", channel);
    std::string reply;
    return Send(port_, reply, "#%s%s%s\r", address_.c_str(), channelText, ("0" + value).c_str());
}

bool DigitalOutputGroup::SetSafeValue(const std::string& time, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%sX0%s%s\r", address_.c_str(), time.c_str(), value.c_str());
}

bool DigitalOutputGroup::ReadSafeValue(std::string& time, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%sX1\r", address_.c_str())) return false;
    std::string t, v;
    if (!ascii::Field(reply, 1, 4, t) || !ascii::Field(reply, 5, 2, v)) return false;
    time = t;
    value = v;
    return true;
}

DioModule::DioModule(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), status_(port, address), output_(port, address) {}

bool DioModule::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    status_.SetAddress(address);
    output_.SetAddress(address);
    return true;
}

bool DioModule::ReadDioStatus(std::string& outputs, std::string& inputs) {
    std::string data;
    if (!status_.ReadStatusData(data) || data.size() < 4) return false;
    outputs = data.substr(0, 2);
    inputs = data.substr(2, 2);
    return true;
}

Module7385::Module7385(SerialPort* port, const std::string& address) : DioModule(port, address) {}

bool Module7385::SetAddress(const std::string& address) {
    return DioModule::SetAddress(address);
}

Module7382::Module7382(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), status_(port, address) {}

bool Module7382::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    status_.SetAddress(address);
    return true;
}

bool Module7382::ReadDioStatus(std::string& data) {
    std::string all;
    if (!status_.ReadStatusData(all) || all.size() < 2) return false;
    data = all.substr(0, 2);
    return true;
}

Module7383::Module7383(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), status_(port, address) {}

bool Module7383::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    status_.SetAddress(address);
    return true;
}

bool Module7383::ReadDioStatus(std::string& data) {
    std::string all;
    if (!status_.ReadStatusData(all) || all.size() < 4) return false;
    data = all.substr(0, 4);
    return true;
}

}  // namespace odel
