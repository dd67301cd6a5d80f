#include "pages/analog_in/Unitm7356.h"

#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

namespace {
AiPageKind kind7356() {
    AiPageKind k;
    k.groupName = "gbOdl7356";
    k.caption = " ODEL-7356 ";
    k.generalRows = GeneralSettingGroup::IntegrationTime;
    k.ranges = {{"+/- 100mV", 0x02, "mV"},  {"+/- 500mV", 0x03, "mV"}, {"+/- 1V", 0x04, "V"},
                {"+/- 2.5V", 0x05, "V"},    {"+/- 10V", 0x08, "V"},    {"+/- 5V", 0x09, "V"},
                {"+/- 0~20mA", 0x0D, "mA"}, {"J Type ", 0x0E, "'C"},   {"K Type ", 0x0F, "'C"},
                {"T Type ", 0x10, "'C"},    {"E Type ", 0x11, "'C"},   {"R Type ", 0x12, "'C"},
                {"S Type ", 0x13, "'C"},    {"B Type ", 0x14, "'C"}};
    return k;
}
}  // namespace

TfrmM7356::TfrmM7356(QWidget* parent) : TfrmM7354R(kind7356(), parent) {}

int TfrmM7356::RangeCodeOfIndex(int index) {
    if (index >= 0 && index < static_cast<int>(kind().ranges.size()))
        return kind().ranges[index].code;
    return 0x08;
}

void TfrmM7356::ChannelDelay() {
    pause(200);
}

QString TfrmM7356::ZeroCalInput(int index) {
    if (index >= 2 && index <= 5) return "0 V";
    if (index == 6) return "0 mA";
    return "0 mV";
}

QString TfrmM7356::SpanCalInput(int index) {
    // One text per range of the list: full scale for the voltage and current ranges, the
    // thermocouple span voltages for J, K, T, E, R, S, B.
    static const char* texts[] = {"100mV", "500mV", "1V",   "2.5V", "10V",  "5V",   "20mA",
                                  "50mV",  "50mV",  "22mV", "78mV", "22mV", "19mV", "15mV"};
    return index >= 0 && index < 14 ? texts[index] : "###.##V";
}

}  // namespace odel::ui
