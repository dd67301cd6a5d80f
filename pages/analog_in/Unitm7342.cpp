#include "pages/analog_in/Unitm7342.h"

namespace odel::ui {

namespace {
AiSingleKind kind7342() {
    AiSingleKind k;
    k.className = "TfrmM7342";
    k.groupName = "gbOdl7341L";
    k.caption = " ODEL-7342 ";
    k.ranges = {{"+/- 10V", 0x08, "V"},    {"+/- 5V", 0x09, "V"},     {"+/- 1V", 0x0A, "V"},
                {"+/- 500mV", 0x0B, "mV"}, {"+/- 150mV", 0x0C, "mV"}, {"+/- 20mA", 0x0D, "mA"}};
    k.dataFormatItems = {"Engineering Units", "% FSR", "Two Completed of Hex"};
    k.dataFormatCodes = {"00", "01", "10"};
    k.waitTime = 5000;
    return k;
}
}  // namespace

TfrmM7342::TfrmM7342(QWidget* parent) : TfrmM7342(kind7342(), Options{true, false}, parent) {}

int TfrmM7342::IntegerDigits(int index) const {
    // The full scale of each range: 10 V, 5 V, 1 V, 500 mV, 150 mV, 20 mA.
    static const int digits[] = {2, 1, 1, 3, 3, 2};
    return index >= 0 && index < 6 ? digits[index] : 2;
}

QString TfrmM7342::ZeroCalInput(int index) {
    return index == 5 ? "0 mA" : "0 mV";
}

QString TfrmM7342::SpanCalInput(int index) {
    static const char* texts[] = {"10V", "5V", "1V", "500mV", "150mV", "20mA"};
    return index >= 0 && index < 6 ? texts[index] : "##.###";
}

}  // namespace odel::ui
