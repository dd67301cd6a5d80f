// Analog-output modules: the analog-output command group, the single-output Module7361 and the
// four-output Module7364 (with emergency input and digital inputs).
#pragma once

#include <string>

#include "device/CommandGroup.h"
#include "device/ModuleBase.h"

namespace odel {

class AnalogOutputGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    // Single output.
    bool WriteAnalogOutput(const std::string& value);
    bool SetStartupOutput();
    bool TrimOutput(const std::string& trim);
    bool Calibrate4mA();
    bool Calibrate20mA();
    bool ReadLastOutput(std::string& value);
    bool ReadOutputReadback(std::string& value);

    // Four outputs; channel 0 to 3.
    bool WriteChannelOutput(int channel, const std::string& value);
    bool SetChannelStartupValue(int channel, const std::string& value);
    bool SetChannelEmergencyValue(int channel, const std::string& value);
    bool SetChannelEmergencyInput(int channel, const std::string& flag);
    bool SetChannelRange(int channel, const std::string& code);
    bool Calibrate4mAChannel(int channel);
    bool Calibrate20mAChannel(int channel);
    bool ReadChannelOutput(int channel, std::string& value);
    // The reply from position 5 up to the CR.
    bool ReadChannelRange(int channel, std::string& code);
    bool ReadChannelEmergencyInput(int channel, std::string& flag);
    bool ReadChannelStartupValue(int channel, std::string& value);
    bool ReadChannelEmergencyValue(int channel, std::string& value);
    bool ReadDigitalInputs(std::string& inputs);
    bool SetCommSafety(const std::string& value);
    // Exactly the four characters from position 1.
    bool ReadCommSafety(std::string& value);
};

class Module7361 : public ModuleBase {
  public:
    explicit Module7361(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    bool WriteAnalogOutput(const std::string& value) { return ao_.WriteAnalogOutput(value); }
    bool SetStartupOutput() { return ao_.SetStartupOutput(); }
    bool TrimOutput(const std::string& trim) { return ao_.TrimOutput(trim); }
    bool Calibrate4mA() { return ao_.Calibrate4mA(); }
    bool Calibrate20mA() { return ao_.Calibrate20mA(); }
    bool ReadLastOutput(std::string& value) { return ao_.ReadLastOutput(value); }
    bool ReadOutputReadback(std::string& value) { return ao_.ReadOutputReadback(value); }

  protected:
    AnalogOutputGroup ao_;
};

// The protocol-select flag of this module lives in data-format bit 7.
class Module7364 : public ModuleBase {
  public:
    explicit Module7364(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;
    bool SetProtocolBit(const std::string& bit) override;
    bool GetProtocolBit(std::string& bit) override;

    bool WriteChannelOutput(int channel, const std::string& value) {
        return ao_.WriteChannelOutput(channel, value);
    }
    bool SetChannelStartupValue(int channel, const std::string& value) {
        return ao_.SetChannelStartupValue(channel, value);
    }
    bool SetChannelEmergencyValue(int channel, const std::string& value) {
        return ao_.SetChannelEmergencyValue(channel, value);
    }
    bool SetChannelEmergencyInput(int channel, const std::string& flag) {
        return ao_.SetChannelEmergencyInput(channel, flag);
    }
    bool SetChannelRange(int channel, const std::string& code) {
        return ao_.SetChannelRange(channel, code);
    }
    bool Calibrate4mAChannel(int channel) { return ao_.Calibrate4mAChannel(channel); }
    bool Calibrate20mAChannel(int channel) { return ao_.Calibrate20mAChannel(channel); }
    bool ReadChannelOutput(int channel, std::string& value) {
        return ao_.ReadChannelOutput(channel, value);
    }
    bool ReadChannelRange(int channel, std::string& code) {
        return ao_.ReadChannelRange(channel, code);
    }
    bool ReadChannelEmergencyInput(int channel, std::string& flag) {
        return ao_.ReadChannelEmergencyInput(channel, flag);
    }
    bool ReadChannelStartupValue(int channel, std::string& value) {
        return ao_.ReadChannelStartupValue(channel, value);
    }
    bool ReadChannelEmergencyValue(int channel, std::string& value) {
        return ao_.ReadChannelEmergencyValue(channel, value);
    }
    bool ReadDigitalInputs(std::string& inputs) { return ao_.ReadDigitalInputs(inputs); }
    bool SetCommSafety(const std::string& value) { return ao_.SetCommSafety(value); }
    bool ReadCommSafety(std::string& value) { return ao_.ReadCommSafety(value); }

  protected:
    AnalogOutputGroup ao_;
};

}  // namespace odel
