#include "pages/analog_in/Unitm7354.h"

#include "device/AnalogInput.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"

namespace odel::ui {

namespace {
AiPageKind kind7354() {
    AiPageKind k;
    k.groupName = "gbOdl7354";
    k.caption = " ODEL-7354 ";
    k.perChannelRange = false;
    k.generalRows = GeneralSettingGroup::IntegrationTime;
    k.ranges = {{"+/- 15mV", 0x00, "mV"},  {"+/- 50mV", 0x01, "mV"}, {"+/- 100mV", 0x02, "mV"},
                {"+/- 500mV", 0x03, "mV"}, {"+/- 1V", 0x04, "V"},    {"+/- 2.5V", 0x05, "V"},
                {"+/- 20mA", 0x06, "mA"},  {"J Type ", 0x0E, "'C"},  {"K Type ", 0x0F, "'C"},
                {"T Type ", 0x10, "'C"},   {"E Type ", 0x11, "'C"},  {"R Type ", 0x12, "'C"},
                {"S Type ", 0x13, "'C"},   {"B Type ", 0x14, "'C"}};
    return k;
}
}  // namespace

TfrmM7354::TfrmM7354(QWidget* parent) : TfrmM7354R(kind7354(), parent) {}

void TfrmM7354::RefreshAIStatus() {
    if (!module()) return;
    std::string mask;
    if (!module()->ReadChannelEnable(mask) || hexCode(mask) < 0) {
        // One retry; when it answers, this refresh ends there.
        if (module()->ReadChannelEnable(mask)) return;
        setStatus("Try to read status!");
        return;
    }
    ShowEnableMask(hexCode(mask));
    std::string type;
    if (!module()->GetTypeCode(type)) {
        setStatus("Fail to Change Type!");
        return;
    }
    ShowAllChannelsCode(hexCode(type));
}

void TfrmM7354::UpdateChannelSetup() {
    stopPolling();
    if (UpdateEnableMask())
        dialogs().information("Update success!");
    else
        dialogs().error("Error occurred during setup!");
    RefreshAIStatus();
    startPolling();
}

int TfrmM7354::RangeCodeOfIndex(int index) {
    // An index outside the table keeps the module's own type code.
    if (index >= 0 && index < static_cast<int>(kind().ranges.size()))
        return kind().ranges[index].code;
    return -1;
}

QString TfrmM7354::ZeroCalInput(int index) {
    if (index == 4 || index == 5) return "0 V";
    if (index == 6) return "0 mA";
    return "0 mV";
}

QString TfrmM7354::SpanCalInput(int index) {
    static const char* texts[] = {"15mV", "50mV", "100mV", "500mV", "1V",   "2.5V", "20mA",
                                  "50mV", "50mV", "22mV",  "78mV",  "22mV", "19mV", "15mV"};
    return index >= 0 && index < 14 ? texts[index] : "15mV";
}

}  // namespace odel::ui
