#include "device/Counter.h"

namespace odel {

using ascii::From;
using ascii::Send;

// Counter group

bool CounterGroup::SetInputMode(const std::string& mode) {
    std::string reply;
    return Send(port_, reply, "$%sB%s\r", address_.c_str(), mode.c_str());
}

bool CounterGroup::ReadInputMode(std::string& mode) {
    std::string reply;
    if (!Send(port_, reply, "$%sB\r", address_.c_str())) return false;
    mode = From(reply, 3);
    return true;
}

bool CounterGroup::SetGateMode(const std::string& mode) {
    std::string reply;
    return Send(port_, reply, "$%sA%s\r", address_.c_str(), mode.c_str());
}

bool CounterGroup::ReadGateMode(std::string& mode) {
    std::string reply;
    if (!Send(port_, reply, "$%sA\r", address_.c_str())) return false;
    mode = From(reply, 3);
    return true;
}

bool CounterGroup::SetMaxCount(int counter, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s3%d%s\r", address_.c_str(), counter, value.c_str());
}

bool CounterGroup::ReadMaxCount(int counter, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s3%d\r", address_.c_str(), counter)) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::SetCounterState(int counter, const std::string& state) {
    std::string reply;
    return Send(port_, reply, "$%s5%d%s\r", address_.c_str(), counter, state.c_str());
}

bool CounterGroup::ReadCounterState(int counter, std::string& state) {
    std::string reply;
    if (!Send(port_, reply, "$%s5%d\r", address_.c_str(), counter)) return false;
    state = From(reply, 3);
    return true;
}

bool CounterGroup::ClearCounter(int counter) {
    std::string reply;
    return Send(port_, reply, "$%s6%d\r", address_.c_str(), counter);
}

bool CounterGroup::ReadCounterFlag(int counter, std::string& flag) {
    std::string reply;
    if (!Send(port_, reply, "$%s7%d\r", address_.c_str(), counter)) return false;
    flag = From(reply, 3);
    return true;
}

bool CounterGroup::ReadCounter(int counter, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "#%s%d\r", address_.c_str(), counter)) return false;
    value = From(reply, 1);
    return true;
}

bool CounterGroup::SetFilterEnable(const std::string& flag) {
    std::string reply;
    return Send(port_, reply, "$%s4%s\r", address_.c_str(), flag.c_str());
}

bool CounterGroup::ReadFilterEnable(std::string& flag) {
    std::string reply;
    if (!Send(port_, reply, "$%s4\r", address_.c_str())) return false;
    flag = From(reply, 3);
    return true;
}

bool CounterGroup::SetMinWidthHigh(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s0H%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::SetMinWidthLow(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s0L%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::SetTriggerLevelHigh(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s1H%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::SetTriggerLevelLow(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "$%s1L%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::ReadMinWidthHigh(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s0H\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::ReadMinWidthLow(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s0L\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::ReadTriggerLevelHigh(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s1H\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::ReadTriggerLevelLow(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "$%s1L\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::SetDigitalOutput(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sDO%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::ReadAlarmOutputs(std::string& state, std::string& outputs) {
    std::string reply;
    if (!Send(port_, reply, "@%sDI\r", address_.c_str())) return false;
    std::string s, o;
    if (!ascii::Field(reply, 3, 1, s) || !ascii::Field(reply, 4, 2, o)) return false;
    state = s;
    outputs = o;
    return true;
}

bool CounterGroup::SetAlarmValue(int counter, const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sP%d%s\r", address_.c_str(), counter, value.c_str());
}

bool CounterGroup::EnableAlarm(int counter) {
    std::string reply;
    return Send(port_, reply, "@%sEA%d\r", address_.c_str(), counter);
}

bool CounterGroup::DisableAlarm(int counter) {
    std::string reply;
    return Send(port_, reply, "@%sDA%d\r", address_.c_str(), counter);
}

bool CounterGroup::SetAlarmLimit(int selector, const std::string& value) {
    std::string reply;
    if (selector != 0) return Send(port_, reply, "@%sSA%s\r", address_.c_str(), value.c_str());
    return Send(port_, reply, "@%sPA%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::ReadAlarmValue(int counter, std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "@%sG%d\r", address_.c_str(), counter)) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::ReadAlarmLimit(int selector, std::string& value) {
    std::string reply;
    bool ok = selector != 0 ? Send(port_, reply, "@%sRA\r", address_.c_str())
                            : Send(port_, reply, "@%sRP\r", address_.c_str());
    if (!ok) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::EnableAlarm(const std::string& mode) {
    std::string reply;
    return Send(port_, reply, "@%sEA%s\r", address_.c_str(), mode.c_str());
}

bool CounterGroup::DisableAlarm() {
    std::string reply;
    return Send(port_, reply, "@%sDA\r", address_.c_str());
}

bool CounterGroup::ClearAlarmLatch() {
    std::string reply;
    return Send(port_, reply, "@%sCA\r", address_.c_str());
}

bool CounterGroup::SetLowAlarmLimit(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sPA%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::SetHighAlarmLimit(const std::string& value) {
    std::string reply;
    return Send(port_, reply, "@%sSA%s\r", address_.c_str(), value.c_str());
}

bool CounterGroup::ReadLowAlarmLimit(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "@%sRP\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

bool CounterGroup::ReadHighAlarmLimit(std::string& value) {
    std::string reply;
    if (!Send(port_, reply, "@%sRA\r", address_.c_str())) return false;
    value = From(reply, 3);
    return true;
}

// Display group

bool DisplayGroup::SetLedSource(const std::string& source) {
    std::string reply;
    return Send(port_, reply, "$%s8%s\r", address_.c_str(), source.c_str());
}

bool DisplayGroup::WriteLedData(const std::string& data) {
    std::string reply;
    return Send(port_, reply, "$%s9%s\r", address_.c_str(), data.c_str());
}

bool DisplayGroup::ReadLedSource(std::string& source) {
    std::string reply;
    if (!Send(port_, reply, "$%s8\r", address_.c_str())) return false;
    return ascii::Field(reply, 3, 1, source);
}

// Module classes

Module7320::Module7320(SerialPort* port, const std::string& address)
    : ModuleBase(port, address), counter_(port, address) {}

bool Module7320::SetAddress(const std::string& address) {
    ModuleBase::SetAddress(address);
    counter_.SetAddress(address);
    return true;
}

bool Module7320::SetAlarmValue(int counter, const std::string& value) {
    return counter_.SetAlarmValue(counter, value);
}

bool Module7320::EnableAlarm(int counter) {
    return counter_.EnableAlarm(counter);
}

bool Module7320::DisableAlarm(int counter) {
    return counter_.DisableAlarm(counter);
}

bool Module7320::SetAlarmLimit(int selector, const std::string& value) {
    return counter_.SetAlarmLimit(selector, value);
}

bool Module7320::ReadAlarmValue(int counter, std::string& value) {
    return counter_.ReadAlarmValue(counter, value);
}

bool Module7320::ReadAlarmLimit(int selector, std::string& value) {
    return counter_.ReadAlarmLimit(selector, value);
}

Module7320L::Module7320L(SerialPort* port, const std::string& address)
    : Module7320(port, address), display_(port, address) {}

bool Module7320L::SetAddress(const std::string& address) {
    Module7320::SetAddress(address);
    display_.SetAddress(address);
    return true;
}

bool Module7320L::SetAlarmValue(int, const std::string&) {
    return false;
}
bool Module7320L::EnableAlarm(int) {
    return false;
}
bool Module7320L::DisableAlarm(int) {
    return false;
}
bool Module7320L::SetAlarmLimit(int, const std::string&) {
    return false;
}
bool Module7320L::ReadAlarmValue(int, std::string&) {
    return false;
}
bool Module7320L::ReadAlarmLimit(int, std::string&) {
    return false;
}

}  // namespace odel
