#include "pages/analog_in/Unitm7345.h"

namespace odel::ui {

namespace {
AiSingleKind kind7345() {
    AiSingleKind k;
    k.className = "TfrmM7345";
    k.groupName = "gbOdl7341L";
    k.caption = " ODEL-7345 ";
    // Codes 20..2C in list order.
    const char* items[] = {
        "Pt.00385 -100' to 100'C", "Pt.00385 0' to 100'C",    "Pt.00385 0' to 200'C",
        "Pt.00385 0' to 600'C",    "Pt.00391 -100' to 100'C", "Pt.00391 0' to 100'C",
        "Pt.00391 0' to 200'C",    "Pt.00391 0' to 600'C",    "Ni, -80' to 100'C",
        "Ni, 0' to 100'C",         "Cu 25'C 0 to 120'C",      "Cu 0'C 0 to 120'C",
        "T1 -50 to 150'C"};
    for (int i = 0; i < 13; ++i) k.ranges.push_back({items[i], 0x20 + i, "'C"});
    k.dataFormatItems = {"Engineering Units", "% FSR", "Ohms"};
    k.dataFormatCodes = {"00", "01", "11"};
    k.waitTime = 5000;
    return k;
}
}  // namespace

// No alarm outputs, DI or counter; the CJC button is shown as on the 7341 pages.
TfrmM7345::TfrmM7345(QWidget* parent) : TfrmM7342(kind7345(), Options{false, true}, parent) {}

QString TfrmM7345::ZeroCalInput(int index) {
    return index > 9 ? "0 ohms" : "60 ohms";
}

QString TfrmM7345::SpanCalInput(int index) {
    static const char* texts[] = {"140 ohms", "140 ohms", "200 ohms", "200 ohms", "140 ohms",
                                  "140 ohms", "200 ohms", "440 ohms", "200 ohms", "200 ohms",
                                  "0 ohms",   "0 ohms",   "0 ohms"};
    return index >= 0 && index < 13 ? texts[index] : "##.###";
}

}  // namespace odel::ui
