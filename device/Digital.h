// Digital I/O modules: the digital-status and digital-output command groups and the classes
// DioModule, Module7385, Module7382 and Module7383.
#pragma once

#include <string>

#include "device/CommandGroup.h"
#include "device/ModuleBase.h"

namespace odel {

// "$AA6": the reply is "!" followed by the data digits (no address); each class cuts them.
class DigitalStatusGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    // The reply without "!" and CR.
    bool ReadStatusData(std::string& data);
};

class DigitalOutputGroup : public CommandGroup {
  public:
    using CommandGroup::CommandGroup;

    // Output channel (digit) to "0" or "1".
    bool WriteDigitalOutput(int channel, const std::string& value);
    bool SetSafeValue(const std::string& time, const std::string& value);
    // time = reply positions 1-4, value = positions 5-6.
    bool ReadSafeValue(std::string& time, std::string& value);
};

class DioModule : public ModuleBase {
  public:
    explicit DioModule(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    // outputs = the first two data characters, inputs = the next two.
    bool ReadDioStatus(std::string& outputs, std::string& inputs);

    bool WriteDigitalOutput(int channel, const std::string& value) {
        return output_.WriteDigitalOutput(channel, value);
    }
    bool SetSafeValue(const std::string& time, const std::string& value) {
        return output_.SetSafeValue(time, value);
    }
    bool ReadSafeValue(std::string& time, std::string& value) {
        return output_.ReadSafeValue(time, value);
    }

  protected:
    DigitalStatusGroup status_;
    DigitalOutputGroup output_;
};

class Module7385 : public DioModule {
  public:
    explicit Module7385(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;
};

class Module7382 : public ModuleBase {
  public:
    explicit Module7382(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    // The first two data characters.
    bool ReadDioStatus(std::string& data);

  protected:
    DigitalStatusGroup status_;
};

class Module7383 : public ModuleBase {
  public:
    explicit Module7383(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;

    // The first four data characters.
    bool ReadDioStatus(std::string& data);

  protected:
    DigitalStatusGroup status_;
};

}  // namespace odel
