#include "pages/analog_in/Unitm7352.h"

#include "device/AnalogInput.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

namespace {
AiPageKind kind7352() {
    AiPageKind k;
    k.groupName = "gbOdl7352";
    k.caption = " ODEL-7352 ";
    k.perChannelRange = false;
    k.generalRows = GeneralSettingGroup::IntegrationTime;
    k.cjc = false;
    k.ranges = {{"+/- 10V", 0x08, "V"},    {"+/- 5V", 0x09, "V"},     {"+/- 1V", 0x0A, "V"},
                {"+/- 500mV", 0x0B, "mV"}, {"+/- 150mV", 0x0C, "mV"}, {"+/- 20mA", 0x0D, "mA"}};
    return k;
}
}  // namespace

TfrmM7352::TfrmM7352(QWidget* parent) : TfrmM7354(kind7352(), parent) {}

void TfrmM7352::RefreshAIStatus() {
    if (!module()) return;
    pause(100);
    std::string mask;
    if (!module()->ReadChannelEnable(mask) || hexCode(mask) < 0) {
        setStatus("Try to read status!");
        return;
    }
    ShowEnableMask(hexCode(mask));
    pause(100);
    std::string type;
    if (!module()->GetTypeCode(type)) {
        setStatus("Fail to Change Type!");
        return;
    }
    // The table runs from code 08 in steps of one, so the index is code - 8.
    ShowAllChannelsCode(hexCode(type));
}

QString TfrmM7352::ZeroCalInput(int index) {
    return index > 4 ? "0 mA" : "0 V";
}

QString TfrmM7352::SpanCalInput(int index) {
    static const char* texts[] = {"10V", "5V", "1V", "500mV", "150mV", "20mA"};
    return index >= 0 && index < 6 ? texts[index] : "###.##";
}

}  // namespace odel::ui
