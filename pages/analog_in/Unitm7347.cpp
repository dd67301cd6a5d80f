#include "pages/analog_in/Unitm7347.h"

#include <QComboBox>

#include "device/AnalogInput.h"
#include "pages/frame/GeneralSettingGroup.h"

namespace odel::ui {

std::vector<AiRange> rtdRanges() {
    // The RTD codes run 20..2D in list order; "Ni-508:-80~150" continues the series with 2E.
    return {{"PT100(385)-50~150", 0x20, {}},  {"PT100(385)0~100", 0x21, {}},
            {"PT100(385)0~200", 0x22, {}},    {"PT100(385)0~400", 0x23, {}},
            {"PT100(385)-200~200", 0x24, {}}, {"PT100(392)-50~150", 0x25, {}},
            {"PT100(392)0~100", 0x26, {}},    {"PT100(392)0~200", 0x27, {}},
            {"PT100(392)0~400", 0x28, {}},    {"PT100(392)-200~200 ", 0x29, {}},
            {"PT1000 -40~160", 0x2A, {}},     {"Balc 0-500", 0x2B, {}},
            {"Balc:-30~120", 0x2C, {}},       {"Ni-50:-80~320", 0x2D, {}},
            {"Ni-508:-80~150", 0x2E, {}}};
}

namespace {
AiPageKind kind7347() {
    using G = GeneralSettingGroup;
    AiPageKind k;
    k.groupName = "gbOdl7347";
    k.caption = " ODEL-7347 ";
    k.channels = 6;
    k.generalRows = G::DataFormat | G::CommWDT | G::Protocol;
    k.cjc = false;
    k.units = false;
    k.dataFormatItems = {"Engineering Units", "Ohms"};
    k.ranges = rtdRanges();
    return k;
}
}  // namespace

TfrmM7347::TfrmM7347(QWidget* parent) : TfrmM7352R(kind7347(), parent) {}

void TfrmM7347::ApplyDataFormat() {
    module()->SetFormatBits10(general()->cmbDataFormat->currentIndex() == 1 ? "11" : "00");
}

void TfrmM7347::ShowDataFormat(const QString& code) {
    general()->cmbDataFormat->setCurrentIndex(code == "00" ? 0 : 1);
}

QString TfrmM7347::ZeroCalInput(int index) {
    static const char* texts[] = {"80 ohm",  "100 ohm", "100 ohm", "100 ohm", "20 ohm",
                                  "80 ohm",  "100 ohm", "100 ohm", "100 ohm", "20 ohm",
                                  "850 ohm", "400 ohm", "400 ohm", "600 ohm"};
    return index >= 0 && index < 14 ? texts[index] : "###.##";
}

QString TfrmM7347::SpanCalInput(int index) {
    static const char* texts[] = {"140 ohm",  "140 ohm", "180 ohm",  "250 ohm", "180 ohm",
                                  "140 ohm",  "140 ohm", "180 ohm",  "250 ohm", "180 ohm",
                                  "1600 ohm", "750 ohm", "1000 ohm", "1000 ohm"};
    return index >= 0 && index < 14 ? texts[index] : "###.##";
}

}  // namespace odel::ui
