// Zero/span calibration and cold-junction compensation from the multi-channel pages.
#include "PageFixture.h"
#include "pages/analog_in/AiCalibTargets.h"
#include "pages/analog_in/Unitm7347.h"
#include "pages/analog_in/Unitm7352.h"
#include "pages/analog_in/Unitm7352r.h"
#include "pages/analog_in/Unitm7354.h"
#include "pages/analog_in/Unitm7354r.h"
#include "pages/analog_in/Unitm7356.h"
#include "pages/analog_in/Unitmcalib.h"
#include "pages/analog_in/Unitmcjc.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class Calibration : public PageTest {
  protected:
    // Opens a page in INIT state on a module of the model.
    template <class Page>
    void openInit(const std::string& model) {
        auto m = module(model, 0x30);
        m.init = true;
        startBus({m});
        open<Page>("*", QString("(*)%1").arg(QString::fromStdString(model)));
    }
    // Runs the calibration dialog opened by a click, pressing "&Save" presses times.
    struct Seen {
        QString title, input, channel;
        int result = -1;
    };
    Seen calibrate(const char* button, int presses) {
        Seen seen;
        dialogs.execHandler = [&](QDialog* d) {
            auto* c = qobject_cast<TfrmCalib*>(d);
            EXPECT_NE(c, nullptr);
            if (!c) return int(QDialog::Rejected);
            seen.title = c->windowTitle();
            seen.input = c->Edit1->text();
            seen.channel = c->Label3->text();
            for (int i = 0; i < presses && c->result() != QDialog::Accepted; ++i)
                QTest::mouseClick(c->Button1, Qt::LeftButton);
            seen.result = c->result();
            return c->result();
        };
        click(button);
        return seen;
    }
};

TEST_F(Calibration, ZeroAndSpanAreForInitStateOnly) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    EXPECT_FALSE(get<QPushButton>("btZeroCal")->isEnabled());
    EXPECT_FALSE(get<QPushButton>("btSpanCal")->isEnabled());
    EXPECT_TRUE(get<QPushButton>("btCJCCal")->isEnabled());
}

TEST_F(Calibration, ZeroCalibrationOfChannelZero) {
    openInit<TfrmM7354R>("7354R");
    ASSERT_EQ(combo("cmbTypeChangeCh0")->currentText(), "K Type ");
    Seen s = calibrate("btZeroCal", 1);
    EXPECT_EQ(s.title, " ODEL-7354+  Zero calibration");
    EXPECT_EQ(s.input, "0 mV");
    EXPECT_EQ(s.channel, "CH 0");
    EXPECT_EQ(s.result, QDialog::Accepted);
    EXPECT_EQ(received(), "$001C0|");
    ASSERT_EQ(dialogs.shown.back().kind, "messageBox");
    EXPECT_EQ(dialogs.shown.back().text, "Zero Calibration Successfully");
    EXPECT_EQ(dialogs.shown.back().caption, "");
    EXPECT_EQ(bus.module(0).calibrations, std::vector<std::string>{"$1C0"});
}

TEST_F(Calibration, FailedSpanKeepsTheDialogOpenForARetry) {
    openInit<TfrmM7354R>("7354R");
    combo("cmbTypeChangeCh0")->setCurrentIndex(0);
    bus.setFault(0, odel::sim::Fault::Reject, "$0C0");
    Seen s = calibrate("btSpanCal", 2);
    EXPECT_EQ(s.title, " ODEL-7354+  Span calibration");
    EXPECT_EQ(s.input, "20mA");
    EXPECT_NE(s.result, QDialog::Accepted);
    EXPECT_EQ(received(), "$000C0|$000C0|");
    EXPECT_EQ(dialogs.texts("messageBox"),
              (QStringList{"Span Calibration Error", "Span Calibration Error"}));
    // Once the module accepts, the next press succeeds and closes the dialog.
    bus.clearFault(0);
    dialogs.clear();
    s = calibrate("btSpanCal", 3);
    EXPECT_EQ(s.result, QDialog::Accepted);
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{"Span Calibration Successfully"});
    dialogs.clear();
    bus.setFault(0, odel::sim::Fault::NoReply, "$1C0");
    s = calibrate("btZeroCal", 1);
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{"Zero Calibration Error"});
}

TEST_F(Calibration, ExitSendsNothing) {
    openInit<TfrmM7354R>("7354R");
    dialogs.execHandler = [](QDialog* d) {
        QTest::mouseClick(qobject_cast<TfrmCalib*>(d)->Button2, Qt::LeftButton);
        return d->result();
    };
    click("btZeroCal");
    EXPECT_EQ(received(), "");
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{});
}

// The input texts of each page for the range that applies to channel 0.
TEST_F(Calibration, InputTextsPerPageAndRange) {
    struct Case {
        const char* page;
        int index;
        const char* zero;
        const char* span;
    };
    const Case cases[] = {
        {"7354R", 0, "0 mA", "20mA"},
        {"7354R", 1, "0 mA", "20mA"},
        {"7354R", -1, "0 mA", "15mV"},
        {"7354R", 8, "0 mV", "15mV"},
        {"7352R", 0, "0 mA", "20mA"},
        {"7352R", 2, "0 V", "+5V"},
        {"7352R", 6, "0 mA", "20mA"},
        {"7352R", 4, "0 mV", "500mV"},
        {"7352R", -1, "0 mV", "###.##"},
        {"7354", 3, "0 mV", "500mV"},
        {"7354", 5, "0 V", "2.5V"},
        {"7354", 6, "0 mA", "20mA"},
        {"7354", 10, "0 mV", "78mV"},
        {"7352", 4, "0 V", "150mV"},
        {"7352", 5, "0 mA", "20mA"},
        {"7347", 0, "80 ohm", "140 ohm"},
        {"7347", 10, "850 ohm", "1600 ohm"},
        {"7347", 14, "###.##", "###.##"},
        {"7356", 1, "0 mV", "500mV"},
        {"7356", 4, "0 V", "10V"},
        {"7356", 5, "0 V", "5V"},
        {"7356", 6, "0 mA", "20mA"},
        {"7356", 7, "0 mV", "50mV"},
        {"7356", 13, "0 mV", "15mV"},
        {"7356", -1, "0 mV", "###.##V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.page) + " index " + std::to_string(c.index));
        bus.stop();
        const std::string model = c.page;
        if (model == "7354R") openInit<TfrmM7354R>(model);
        if (model == "7352R") openInit<TfrmM7352R>(model);
        if (model == "7354") openInit<TfrmM7354>(model);
        if (model == "7352") openInit<TfrmM7352>(model);
        if (model == "7347") openInit<TfrmM7347>(model);
        if (model == "7356") openInit<TfrmM7356>(model);
        const bool oneRange = model == "7354" || model == "7352";
        combo(oneRange ? "cmbTypeChangeAllCh" : "cmbTypeChangeCh0")->setCurrentIndex(c.index);
        EXPECT_EQ(calibrate("btZeroCal", 0).input, c.zero);
        EXPECT_EQ(calibrate("btSpanCal", 0).input, c.span);
    }
}

TEST(CalibDialog, ChannelLabelNamesTheChannelOrKeepsCh0) {
    TfrmCalib multi;
    multi.setTarget(std::make_unique<MultiChannelCalib>(nullptr, 3));
    EXPECT_EQ(multi.Label3->text(), "CH 3");
    EXPECT_TRUE(multi.Label3->isVisibleTo(&multi));
    TfrmCalib single;
    single.setTarget(std::make_unique<SingleChannelCalib>(nullptr));
    EXPECT_EQ(single.Label3->text(), "CH 0");
    EXPECT_TRUE(single.Label3->isVisibleTo(&single));
}

TEST(CjcOffset, WorkedExamplesAndBounds) {
    struct Case {
        const char* text;
        const char* sign;  // nullptr: refused
        const char* offset;
    };
    const Case cases[] = {
        {"+1.0", "+", "006F"},       {"-0.5", "-", "0037"},   {"0", "+", "0000"},
        {"12.3", "+", "0556"},       {"99.8", "+", "2B50"},   {"99.9", nullptr, nullptr},
        {"-99.9", nullptr, nullptr}, {"-99.8", "-", "2B50"},  {"+00.0", "+", "0000"},
        {"", nullptr, nullptr},      {"+", nullptr, nullptr}, {".", nullptr, nullptr},
        {"1.2.3", nullptr, nullptr},  // the whole text must be one number
        {"100", nullptr, nullptr},
        // A second sign makes the text no number at all.
        {"--5", nullptr, nullptr},   {"+-5", nullptr, nullptr}, {"-+1.0", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString sign, offset;
        const bool ok = TfrmCJC::OffsetOf(c.text, sign, offset);
        EXPECT_EQ(ok, c.sign != nullptr);
        if (ok && c.sign) {
            EXPECT_EQ(sign, c.sign);
            EXPECT_EQ(offset, c.offset);
        }
    }
}

class Cjc : public PageTest {
  protected:
    // Opens the CJC dialog, types text and presses "&Save"; returns the temperature shown.
    QString run(const QString& text, QString* title = nullptr) {
        QString shown;
        dialogs.execHandler = [&](QDialog* d) {
            auto* c = qobject_cast<TfrmCJC*>(d);
            EXPECT_NE(c, nullptr);
            if (!c) return int(QDialog::Rejected);
            if (title) *title = c->windowTitle();
            c->FormActivate();
            EXPECT_EQ(c->edtCJCVal->text(), "+00.0");
            c->edtCJCVal->setText(text);
            QTest::mouseClick(c->btExecute, Qt::LeftButton);
            shown = c->edtCurrentCJCVal->text();
            return int(QDialog::Rejected);
        };
        click("btCJCCal");
        return shown;
    }
};

TEST_F(Cjc, OffsetWriteReadsTheTemperatureBack) {
    auto m = module("7354R", 0x10);
    m.cjc = 25.0;
    startBus({m});
    open<TfrmM7354R>("10", "(10)7354R");
    QString title;
    const QString shown = run("+1.0", &title);
    EXPECT_EQ(title, " ODEL-7354+  Cold Junction Compesation");
    EXPECT_EQ(received(), "$103|$109+006F|$103|");
    EXPECT_EQ(bus.module(0).cjcOffset, 111);
    EXPECT_EQ(pauses.back(), 4500);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(shown, "+026.00");  // 25 C plus the new offset of 1 C
}

TEST_F(Cjc, OutOfRangeAndRefusedOffsets) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    run("99.9");
    EXPECT_EQ(received(), "$103|");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, "Invalid data");
    EXPECT_EQ(dialogs.shown[1].caption, "Warning");

    dialogs.clear();
    bus.clearReceived();
    bus.setFault(0, odel::sim::Fault::Reject, "$9");
    const QString before = run("-0.5");
    EXPECT_EQ(received(), "$103|$109-0037|");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, "CJC Offset Calibration Error");
    EXPECT_EQ(dialogs.shown[1].caption, "7354R");
    EXPECT_EQ(before, "+025.00");  // the previous temperature stays
}

TEST_F(Cjc, OffsetEditTakesNumberCharactersOnly) {
    TfrmCJC dialog;
    dialog.edtCJCVal->clear();
    QTest::keyClicks(dialog.edtCJCVal, "-a1x2.5");
    EXPECT_EQ(dialog.edtCJCVal->text(), "-12.5");
    QTest::keyClicks(dialog.edtCJCVal, "55");
    EXPECT_EQ(dialog.edtCJCVal->text(), "-12.5");
}

TEST_F(Cjc, CjcButtonHiddenOnPagesWithoutThermocouples) {
    startBus({module("7352R", 0x01)});
    open<TfrmM7352R>("01", "(01)7352R");
    EXPECT_FALSE(get<QPushButton>("btCJCCal")->isVisibleTo(page.get()));
}

}  // namespace
