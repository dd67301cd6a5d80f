#include "pages/analog_in/Unitm7352r.h"

#include "pages/frame/GeneralSettingGroup.h"

namespace odel::ui {

std::vector<AiRange> ranges7352R() {
    return {{"+ 4~20mA", 0x07, "mA"},  {"+/- 10V", 0x08, "V"},    {"+/- 5V", 0x09, "V"},
            {"+/- 1V", 0x0A, "V"},     {"+/- 500mV", 0x0B, "mV"}, {"+/- 150mV", 0x0C, "mV"},
            {"+/- 0~20mA", 0x0D, "mA"}};
}

namespace {
AiPageKind kind7352R() {
    using G = GeneralSettingGroup;
    AiPageKind k;
    k.groupName = "gbOdl7352R";
    k.caption = " ODEL-7352+ ";
    k.generalRows = G::IntegrationTime | G::CommWDT | G::Protocol;
    k.cjc = false;
    k.ranges = ranges7352R();
    return k;
}
}  // namespace

TfrmM7352R::TfrmM7352R(QWidget* parent) : TfrmM7354R(kind7352R(), parent) {}

int TfrmM7352R::RangeCodeOfIndex(int index) {
    // No default range: a channel without a valid selection keeps the module's own code.
    if (index >= 0 && index < static_cast<int>(kind().ranges.size()))
        return kind().ranges[index].code;
    return -1;
}

QString TfrmM7352R::ZeroCalInput(int index) {
    if (index == 0 || index == 6) return "0 mA";
    if (index >= 1 && index <= 3) return "0 V";
    return "0 mV";
}

QString TfrmM7352R::SpanCalInput(int index) {
    static const char* texts[] = {"20mA", "10V", "+5V", "+1V", "500mV", "150mV", "20mA"};
    return index >= 0 && index < 7 ? texts[index] : "###.##";
}

}  // namespace odel::ui
