// What the calibration dialogs send, per module kind. TfrmCalib and TfrmCJC talk to one of
// these; each analog-input page family hands over the adapter for its module object.
#pragma once

#include <QString>
#include <string>

namespace odel {
class AiMultiModule;
class Module7341L;
class Module7349;
}  // namespace odel

namespace odel::ui {

// Zero and span commands of one kind.
class CalibTarget {
  public:
    virtual ~CalibTarget() = default;
    virtual bool Zero() = 0;
    virtual bool Span() = 0;
    // Multi-channel modules calibrate one channel, shown as "CH %d" in the dialog.
    virtual bool HasChannel() const { return false; }
    virtual int Channel() const { return 0; }
};

// Multi-channel inputs: "$AA1Cn" / "$AA0Cn".
class MultiChannelCalib : public CalibTarget {
  public:
    MultiChannelCalib(odel::AiMultiModule* module, int channel) : m_(module), ch_(channel) {}
    bool Zero() override;
    bool Span() override;
    bool HasChannel() const override { return true; }
    int Channel() const override { return ch_; }

  private:
    odel::AiMultiModule* m_;
    int ch_;
};

// Single-channel inputs: "$AA1" / "$AA0".
class SingleChannelCalib : public CalibTarget {
  public:
    explicit SingleChannelCalib(odel::Module7341L* module) : m_(module) {}
    bool Zero() override;
    bool Span() override;

  private:
    odel::Module7341L* m_;
};

// Strain gauge: zero "$AA1", span through the output-high step "$AAB".
class StrainGaugeCalib : public CalibTarget {
  public:
    explicit StrainGaugeCalib(odel::Module7349* module) : m_(module) {}
    bool Zero() override;
    bool Span() override;

  private:
    odel::Module7349* m_;
};

// Cold-junction read and offset write of one kind, with its settling pause and error title.
class CjcTarget {
  public:
    virtual ~CjcTarget() = default;
    virtual bool ReadCjc(std::string& value) = 0;
    virtual bool SetCjcOffset(const std::string& sign, const std::string& value) = 0;
    virtual int SettleMs() const = 0;
    virtual QString ErrorTitle() const = 0;
};

class MultiChannelCjc : public CjcTarget {
  public:
    explicit MultiChannelCjc(odel::AiMultiModule* module) : m_(module) {}
    bool ReadCjc(std::string& value) override;
    bool SetCjcOffset(const std::string& sign, const std::string& value) override;
    int SettleMs() const override { return 4500; }
    QString ErrorTitle() const override { return "7354R"; }

  private:
    odel::AiMultiModule* m_;
};

class SingleChannelCjc : public CjcTarget {
  public:
    explicit SingleChannelCjc(odel::Module7341L* module) : m_(module) {}
    bool ReadCjc(std::string& value) override;
    bool SetCjcOffset(const std::string& sign, const std::string& value) override;
    int SettleMs() const override { return 1000; }
    QString ErrorTitle() const override { return "7341"; }

  private:
    odel::Module7341L* m_;
};

}  // namespace odel::ui
