// Analog-input modules: the analog-input, alarm and strain-gauge output command groups and the
// module classes that carry them.
#pragma once

#include <string>

#include "device/CommandGroup.h"
#include "device/ModuleBase.h"

namespace odel {

class AnalogInputGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    bool SpanCalibrate();
    bool ZeroCalibrate();
    bool SpanCalibrateChannel(int channel);
    bool ZeroCalibrateChannel(int channel);
    bool SetChannelEnable(const std::string& mask);
    bool ReadChannelEnable(std::string& mask);
    bool SetChannelRange(int channel, const std::string& code);
    // Range code: the reply from position 6 ("!AACnR" + code).
    bool ReadChannelRange(int channel, std::string& code);
    // Every channel value as the module prints it (the reply without ">" and CR).
    bool ReadAnalogData(std::string& data);
    bool ReadCjc(std::string& value);
    bool SetCjcOffset(const std::string& sign, const std::string& value);
    bool ReadLeadWireCompensation(const std::string& wire, std::string& value);
    bool SetLeadWireCompensation(const std::string& wire, const std::string& sign,
                                 const std::string& value);
};

class AlarmGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    // "M" momentary, "L" latch.
    bool SetAlarmMode(const std::string& mode);
    bool DisableAlarm();
    bool ClearAlarmLatch();
    bool SetDigitalOutput(const std::string& value);
    bool SetHighAlarmLimit(const std::string& value);
    bool SetLowAlarmLimit(const std::string& value);
    bool ReadHighAlarmLimit(std::string& value);
    bool ReadLowAlarmLimit(std::string& value);
    // mode: 0 disabled, 1 momentary, 2 latch; outputs and inputs two hexadecimal digits each.
    bool ReadAlarmStatus(std::string& mode, std::string& outputs, std::string& inputs);
    bool ReadEventCounter(std::string& count);
    bool ClearEventCounter();
};

// The excitation/analog output of the strain-gauge module.
class StrainGaugeGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    bool SetOutputValue(const std::string& value);
    bool SetStartupOutput();
    bool TrimOutput(const std::string& trim);
    bool CalibrateOutputLow();
    bool CalibrateOutputHigh();
    bool ReadOutputValue(std::string& value);
};

class AiModule : public ModuleBase {
  public:
    explicit AiModule(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    bool SpanCalibrate() { return ai_.SpanCalibrate(); }
    bool ZeroCalibrate() { return ai_.ZeroCalibrate(); }
    bool SpanCalibrateChannel(int channel) { return ai_.SpanCalibrateChannel(channel); }
    bool ZeroCalibrateChannel(int channel) { return ai_.ZeroCalibrateChannel(channel); }
    bool SetChannelEnable(const std::string& mask) { return ai_.SetChannelEnable(mask); }
    bool ReadChannelEnable(std::string& mask) { return ai_.ReadChannelEnable(mask); }
    bool SetChannelRange(int channel, const std::string& code) {
        return ai_.SetChannelRange(channel, code);
    }
    bool ReadChannelRange(int channel, std::string& code) {
        return ai_.ReadChannelRange(channel, code);
    }
    bool ReadAnalogData(std::string& data) { return ai_.ReadAnalogData(data); }
    bool ReadLeadWireCompensation(const std::string& wire, std::string& value) {
        return ai_.ReadLeadWireCompensation(wire, value);
    }
    bool SetLeadWireCompensation(const std::string& wire, const std::string& sign,
                                 const std::string& value) {
        return ai_.SetLeadWireCompensation(wire, sign, value);
    }

  protected:
    AnalogInputGroup ai_;
};

class AiAlarmModule : public AiModule {
  public:
    explicit AiAlarmModule(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    virtual bool SetCjcOffset(const std::string& sign, const std::string& value);
    virtual bool ReadCjc(std::string& value);
    virtual bool ReadEventCounter(std::string& count);
    virtual bool ClearEventCounter();

    bool SetAlarmMode(const std::string& mode) { return alarm_.SetAlarmMode(mode); }
    bool DisableAlarm() { return alarm_.DisableAlarm(); }
    bool ClearAlarmLatch() { return alarm_.ClearAlarmLatch(); }
    bool SetDigitalOutput(const std::string& value) { return alarm_.SetDigitalOutput(value); }
    bool SetHighAlarmLimit(const std::string& value) { return alarm_.SetHighAlarmLimit(value); }
    bool SetLowAlarmLimit(const std::string& value) { return alarm_.SetLowAlarmLimit(value); }
    bool ReadHighAlarmLimit(std::string& value) { return alarm_.ReadHighAlarmLimit(value); }
    bool ReadLowAlarmLimit(std::string& value) { return alarm_.ReadLowAlarmLimit(value); }
    bool ReadAlarmStatus(std::string& mode, std::string& outputs, std::string& inputs) {
        return alarm_.ReadAlarmStatus(mode, outputs, inputs);
    }

  protected:
    AlarmGroup alarm_;
};

class Module7341L : public AiAlarmModule {
  public:
    explicit Module7341L(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;
};

// Modules without cold-junction compensation: the CJC operations fail without sending.
class AiAlarmModuleNoCjc : public AiAlarmModule {
  public:
    explicit AiAlarmModuleNoCjc(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;
    bool SetCjcOffset(const std::string& sign, const std::string& value) override;
    bool ReadCjc(std::string& value) override;
};

class Module7349 : public AiAlarmModuleNoCjc {
  public:
    explicit Module7349(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    bool SetOutputValue(const std::string& value) { return gauge_.SetOutputValue(value); }
    bool SetStartupOutput() { return gauge_.SetStartupOutput(); }
    bool TrimOutput(const std::string& trim) { return gauge_.TrimOutput(trim); }
    bool CalibrateOutputLow() { return gauge_.CalibrateOutputLow(); }
    bool CalibrateOutputHigh() { return gauge_.CalibrateOutputHigh(); }
    bool ReadOutputValue(std::string& value) { return gauge_.ReadOutputValue(value); }

  protected:
    StrainGaugeGroup gauge_;
};

class AiMultiModule : public ModuleBase {
  public:
    explicit AiMultiModule(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    bool SpanCalibrate() { return ai_.SpanCalibrate(); }
    bool ZeroCalibrate() { return ai_.ZeroCalibrate(); }
    bool SpanCalibrateChannel(int channel) { return ai_.SpanCalibrateChannel(channel); }
    bool ZeroCalibrateChannel(int channel) { return ai_.ZeroCalibrateChannel(channel); }
    bool SetChannelEnable(const std::string& mask) { return ai_.SetChannelEnable(mask); }
    bool ReadChannelEnable(std::string& mask) { return ai_.ReadChannelEnable(mask); }
    bool SetChannelRange(int channel, const std::string& code) {
        return ai_.SetChannelRange(channel, code);
    }
    bool ReadChannelRange(int channel, std::string& code) {
        return ai_.ReadChannelRange(channel, code);
    }
    bool ReadAnalogData(std::string& data) { return ai_.ReadAnalogData(data); }
    bool ReadCjc(std::string& value) { return ai_.ReadCjc(value); }
    bool SetCjcOffset(const std::string& sign, const std::string& value) {
        return ai_.SetCjcOffset(sign, value);
    }
    bool ReadLeadWireCompensation(const std::string& wire, std::string& value) {
        return ai_.ReadLeadWireCompensation(wire, value);
    }
    bool SetLeadWireCompensation(const std::string& wire, const std::string& sign,
                                 const std::string& value) {
        return ai_.SetLeadWireCompensation(wire, sign, value);
    }

  protected:
    AnalogInputGroup ai_;
};

}  // namespace odel
