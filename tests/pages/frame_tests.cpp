// Building blocks of the page frame: the address up-down, the general group's texts, the
// registry of page classes and the settings-file name.
#include <QGroupBox>
#include <QToolButton>

#include "PageFixture.h"
#include "pages/PageRegistry.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/ModulePage.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/UpDown.h"

using namespace odel::ui;

namespace {

TEST(UpDown, StepsWithinZeroTo255WithoutWrapping) {
    GeneralSettingGroup g(0);
    auto* up = g.UpDownODEL_ID->findChild<QToolButton*>("btUp");
    auto* down = g.UpDownODEL_ID->findChild<QToolButton*>("btDown");
    ASSERT_TRUE(up && down);
    g.edtAddress_Dec->setText("254");
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(g.edtAddress_Dec->text(), "255");
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(g.edtAddress_Dec->text(), "255");
    g.edtAddress_Dec->setText("0");
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(g.edtAddress_Dec->text(), "0");
    // A text that is no number steps from the last position.
    g.edtAddress_Dec->setText("7");
    QTest::mouseClick(up, Qt::LeftButton);
    g.edtAddress_Dec->setText("x");
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(g.edtAddress_Dec->text(), "9");
}

TEST(GeneralSettingGroup, CaptionsAndItems) {
    GeneralSettingGroup g(GeneralSettingGroup::DataFormat | GeneralSettingGroup::CommWDT);
    EXPECT_EQ(g.title(), " General Setting ");
    EXPECT_EQ(g.edtAddress_Dec->text(), "0");
    QStringList baud;
    for (int i = 0; i < g.cmbBaudRate->count(); ++i) baud << g.cmbBaudRate->itemText(i);
    EXPECT_EQ(baud, (QStringList{"1200 bps", "2400 bps", "4800 bps", "9600 bps", "19.2 kbps",
                                 "38.4 kbps", "57.6 kbps", "115.2 kbps"}));
    EXPECT_EQ(g.cmbDataFormat->itemText(2), "2's Complement of Hex");
    EXPECT_EQ(g.cmbIntegrationTime->itemText(0), "50 ms(60 Hz)");
    EXPECT_EQ(g.cmbIntegrationTime->itemText(1), "60 ms(50 Hz)");
    EXPECT_EQ(g.cmbPotocolSelect->itemText(0), "MERIDOX");
    EXPECT_EQ(g.cmbPotocolSelect->itemText(1), "MODBUS");
    EXPECT_EQ(g.chkCheckSum->text(), "Enable");
    EXPECT_EQ(g.btSystemUpdate->text(), "&Update");
    EXPECT_EQ(g.edtCommWDT->maxLength(), 5);
    QStringList labels;
    for (QLabel* l : g.findChildren<QLabel*>())
        if (!l->isHidden()) labels << l->text();
    for (const char* t : {"&Address :", "DEC", "HEX", "&BaudRate :", "&CheckSum :",
                          "Firmware Ver :", "&Data Format :", "Comm. WDT:", "Sec"})
        EXPECT_TRUE(labels.contains(t)) << t;
    // Rows the page did not ask for are hidden with their labels.
    EXPECT_TRUE(g.cmbIntegrationTime->isHidden());
    EXPECT_TRUE(g.cmbPotocolSelect->isHidden());
    EXPECT_FALSE(labels.contains("Integration Time : "));
    EXPECT_FALSE(labels.contains("&Protocol : "));
}

TEST(PageRegistry, MultiChannelPagesAreRegisteredWithTheirCaptions) {
    struct Case {
        const char* cls;
        const char* group;
        const char* caption;
        int channels;
    };
    const Case cases[] = {{"TfrmM7354R", "gbOdl7354R", " ODEL-7354+ ", 8},
                          {"TfrmM7352R", "gbOdl7352R", " ODEL-7352+ ", 8},
                          {"TfrmM7354", "gbOdl7354", " ODEL-7354 ", 8},
                          {"TfrmM7352", "gbOdl7352", " ODEL-7352 ", 8},
                          {"TfrmM7347", "gbOdl7347", " ODEL-7347 ", 6},
                          {"TfrmM7356", "gbOdl7356", " ODEL-7356 ", 8},
                          {"TfrmM7347K", "gbOdl7347K", " ODEL-7347K ", 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        PageFactory f = FindPage(c.cls);
        ASSERT_TRUE(f);
        std::unique_ptr<ModulePage> p(f(nullptr));
        EXPECT_EQ(QString(p->metaObject()->className()), QString("odel::ui::") + c.cls);
        auto* outer = p->findChild<QGroupBox*>(c.group);
        ASSERT_NE(outer, nullptr);
        EXPECT_EQ(outer->title(), c.caption);
        int shown = 0;
        for (int i = 0; i < 8; ++i)
            if (!p->findChild<QCheckBox*>(QString("chkEnableCh%1").arg(i))->isHidden()) ++shown;
        EXPECT_EQ(shown, c.channels);
        auto* timer = p->findChild<QTimer*>("tmrUpdateAIData");
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), 500);
        EXPECT_FALSE(timer->isActive());
        EXPECT_EQ(p->findChild<QCheckBox*>("chkEnableCh7")->text(), "CH7");
        EXPECT_EQ(p->findChild<QPushButton*>("btFollowCh0")->text(), "&Range follow CH0");
        EXPECT_EQ(p->findChild<QPushButton*>("btCJCCal")->text(), "&CJC Cal.");
    }
}

TEST(ConfFile, DefaultNameFromTheCaption) {
    EXPECT_EQ(defaultConfFileName(" ODEL-7354+ "), "7354+.txt");
    EXPECT_EQ(defaultConfFileName(" ODEL-7361 "), "7361.txt");
    EXPECT_EQ(defaultConfFileName(" ODEL-7347K "), "7347K.txt");
}

}  // namespace

namespace {

// A lit and a dark lamp must differ in shape and fill, not only in hue: their grey-scale
// pictures differ, and only the lit one has the rays outside the ring.
// The one number reading of every value edit: one sign at most, one point at most, nothing else.
TEST(NumberText, WholeTextWithOneSignAndOnePoint) {
    struct Case {
        const char* text;
        bool number;
        double value;
        bool unsignedNumber;  // also read where no sign is taken
    };
    const Case cases[] = {
        {"5", true, 5, true},     {" -5 ", true, -5, false},  {"+.5", true, 0.5, false},
        {"5.", true, 5, true},    {"0.25", true, 0.25, true}, {"--5", false, 0, false},
        {"+-5", false, 0, false}, {"-+5", false, 0, false},   {"1.2.3", false, 0, false},
        {"", false, 0, false},    {".", false, 0, false},     {"-", false, 0, false},
        {"1e3", false, 0, false}, {"inf", false, 0, false},   {"5 5", false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double v = -1;
        EXPECT_EQ(odel::ui::parseNumber(c.text, v), c.number);
        EXPECT_EQ(v, c.number ? c.value : -1);
        double u = -1;
        EXPECT_EQ(odel::ui::parseNumber(c.text, u, odel::ui::Sign::None), c.unsignedNumber);
    }
}

TEST(Lamp, LitAndDarkDifferInGreyScaleAndShape) {
    odel::ui::Lamp lamp("bitbtnDO3", "DO 3", 3);
    EXPECT_EQ(lamp.tag(), 3);
    EXPECT_EQ(lamp.focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(lamp.isOn());
    const QImage dark =
        lamp.icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_Grayscale8);
    lamp.setOn(true);
    EXPECT_TRUE(lamp.isOn());
    const QImage lit =
        lamp.icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(lit.size(), QSize(24, 24));
    int differing = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            if (std::abs(qGray(lit.pixel(x, y)) - qGray(dark.pixel(x, y))) > 40) ++differing;
    EXPECT_GT(differing, 60);
    // The top ray at (12, 1): drawn on the lit lamp, transparent on the dark one.
    const QImage litArgb = lamp.icon().pixmap(24, 24).toImage();
    lamp.setOn(false);
    const QImage darkArgb = lamp.icon().pixmap(24, 24).toImage();
    EXPECT_GT(qAlpha(litArgb.pixel(12, 1)), 128);
    EXPECT_EQ(qAlpha(darkArgb.pixel(12, 1)), 0);
}

TEST(StatusPanels, TextPanelsTakeAFontColour) {
    odel::ui::StatusPanels panels;
    panels.setPanelColor(0, Qt::red);
    EXPECT_EQ(panels.panelColor(0), QColor(Qt::red));
    panels.setPanelColor(0, Qt::black);
    EXPECT_EQ(panels.panelColor(0), QColor(Qt::black));
}

}  // namespace
