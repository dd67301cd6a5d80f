// Counter/frequency modules: the counter and display command groups, Module7320 and
// Module7320L (counter with display and its own alarm commands).
#pragma once

#include <string>

#include "device/CommandGroup.h"
#include "device/ModuleBase.h"

namespace odel {

// Counter numbers are 0 or 1.
class CounterGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    bool SetInputMode(const std::string& mode);
    bool ReadInputMode(std::string& mode);
    bool SetGateMode(const std::string& mode);
    bool ReadGateMode(std::string& mode);
    bool SetMaxCount(int counter, const std::string& value);
    bool ReadMaxCount(int counter, std::string& value);
    bool SetCounterState(int counter, const std::string& state);
    bool ReadCounterState(int counter, std::string& state);
    bool ClearCounter(int counter);
    bool ReadCounterFlag(int counter, std::string& flag);
    // The reply without its first character and the CR.
    bool ReadCounter(int counter, std::string& value);
    bool SetFilterEnable(const std::string& flag);
    bool ReadFilterEnable(std::string& flag);
    bool SetMinWidthHigh(const std::string& value);
    bool SetMinWidthLow(const std::string& value);
    bool SetTriggerLevelHigh(const std::string& value);
    bool SetTriggerLevelLow(const std::string& value);
    bool ReadMinWidthHigh(std::string& value);
    bool ReadMinWidthLow(std::string& value);
    bool ReadTriggerLevelHigh(std::string& value);
    bool ReadTriggerLevelLow(std::string& value);
    bool SetDigitalOutput(const std::string& value);
    // state = reply position 3, outputs = positions 4-5.
    bool ReadAlarmOutputs(std::string& state, std::string& outputs);

    // Per-counter alarms.
    bool SetAlarmValue(int counter, const std::string& value);
    bool EnableAlarm(int counter);
    bool DisableAlarm(int counter);
    // Selector 0: "PA", otherwise "SA".
    bool SetAlarmLimit(int selector, const std::string& value);
    bool ReadAlarmValue(int counter, std::string& value);
    // Selector 0: "RP", otherwise "RA".
    bool ReadAlarmLimit(int selector, std::string& value);

    // Alarms of the counter with display (no counter number).
    bool EnableAlarm(const std::string& mode);
    bool DisableAlarm();
    bool ClearAlarmLatch();
    bool SetLowAlarmLimit(const std::string& value);
    bool SetHighAlarmLimit(const std::string& value);
    bool ReadLowAlarmLimit(std::string& value);
    bool ReadHighAlarmLimit(std::string& value);
};

class DisplayGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    bool SetLedSource(const std::string& source);
    bool WriteLedData(const std::string& data);
    // Reply position 3, one character.
    bool ReadLedSource(std::string& source);
};

class Module7320 : public ModuleBase {
  public:
    explicit Module7320(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    virtual bool SetAlarmValue(int counter, const std::string& value);
    virtual bool EnableAlarm(int counter);
    virtual bool DisableAlarm(int counter);
    virtual bool SetAlarmLimit(int selector, const std::string& value);
    virtual bool ReadAlarmValue(int counter, std::string& value);
    virtual bool ReadAlarmLimit(int selector, std::string& value);

    bool SetInputMode(const std::string& mode) { return counter_.SetInputMode(mode); }
    bool ReadInputMode(std::string& mode) { return counter_.ReadInputMode(mode); }
    bool SetGateMode(const std::string& mode) { return counter_.SetGateMode(mode); }
    bool ReadGateMode(std::string& mode) { return counter_.ReadGateMode(mode); }
    bool SetMaxCount(int counter, const std::string& value) {
        return counter_.SetMaxCount(counter, value);
    }
    bool ReadMaxCount(int counter, std::string& value) {
        return counter_.ReadMaxCount(counter, value);
    }
    bool SetCounterState(int counter, const std::string& state) {
        return counter_.SetCounterState(counter, state);
    }
    bool ReadCounterState(int counter, std::string& state) {
        return counter_.ReadCounterState(counter, state);
    }
    bool ClearCounter(int counter) { return counter_.ClearCounter(counter); }
    bool ReadCounterFlag(int counter, std::string& flag) {
        return counter_.ReadCounterFlag(counter, flag);
    }
    bool ReadCounter(int counter, std::string& value) {
        return counter_.ReadCounter(counter, value);
    }
    bool SetFilterEnable(const std::string& flag) { return counter_.SetFilterEnable(flag); }
    bool ReadFilterEnable(std::string& flag) { return counter_.ReadFilterEnable(flag); }
    bool SetMinWidthHigh(const std::string& value) { return counter_.SetMinWidthHigh(value); }
    bool SetMinWidthLow(const std::string& value) { return counter_.SetMinWidthLow(value); }
    bool SetTriggerLevelHigh(const std::string& value) {
        return counter_.SetTriggerLevelHigh(value);
    }
    bool SetTriggerLevelLow(const std::string& value) { return counter_.SetTriggerLevelLow(value); }
    bool ReadMinWidthHigh(std::string& value) { return counter_.ReadMinWidthHigh(value); }
    bool ReadMinWidthLow(std::string& value) { return counter_.ReadMinWidthLow(value); }
    bool ReadTriggerLevelHigh(std::string& value) { return counter_.ReadTriggerLevelHigh(value); }
    bool ReadTriggerLevelLow(std::string& value) { return counter_.ReadTriggerLevelLow(value); }
    bool SetDigitalOutput(const std::string& value) { return counter_.SetDigitalOutput(value); }
    bool ReadAlarmOutputs(std::string& state, std::string& outputs) {
        return counter_.ReadAlarmOutputs(state, outputs);
    }

  protected:
    CounterGroup counter_;
};

// The per-counter alarm operations send nothing here and fail; the module has one alarm.
class Module7320L : public Module7320 {
  public:
    explicit Module7320L(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    bool SetAlarmValue(int counter, const std::string& value) override;
    bool EnableAlarm(int counter) override;
    bool DisableAlarm(int counter) override;
    bool SetAlarmLimit(int selector, const std::string& value) override;
    bool ReadAlarmValue(int counter, std::string& value) override;
    bool ReadAlarmLimit(int selector, std::string& value) override;

    bool EnableAlarm(const std::string& mode) { return counter_.EnableAlarm(mode); }
    bool DisableAlarm() { return counter_.DisableAlarm(); }
    bool ClearAlarmLatch() { return counter_.ClearAlarmLatch(); }
    bool SetLowAlarmLimit(const std::string& value) { return counter_.SetLowAlarmLimit(value); }
    bool SetHighAlarmLimit(const std::string& value) { return counter_.SetHighAlarmLimit(value); }
    bool ReadLowAlarmLimit(std::string& value) { return counter_.ReadLowAlarmLimit(value); }
    bool ReadHighAlarmLimit(std::string& value) { return counter_.ReadHighAlarmLimit(value); }

    bool SetLedSource(const std::string& source) { return display_.SetLedSource(source); }
    bool WriteLedData(const std::string& data) { return display_.WriteLedData(data); }
    bool ReadLedSource(std::string& source) { return display_.ReadLedSource(source); }

  protected:
    DisplayGroup display_;
};

}  // namespace odel
