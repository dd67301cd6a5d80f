#include "pages/analog_in/Unitm7341.h"

namespace odel::ui {

namespace {
AiSingleKind kind7341() {
    AiSingleKind k;
    k.className = "TfrmM7341";
    k.groupName = "gbOdl7341L";
    k.caption = " ODEL-7341";
    k.ranges = ranges7341();
    k.dataFormatItems = {"Engineering Units", "% FSR", "Two Completed of Hex"};
    k.dataFormatCodes = {"00", "01", "10"};
    k.waitTime = 10000;
    return k;
}
}  // namespace

TfrmM7341::TfrmM7341(QWidget* parent) : TfrmM7341L(kind7341(), Options{}, parent) {}

}  // namespace odel::ui
