// The output calibration dialog with each of its three module kinds, against the simulator.
#include <QGroupBox>

#include "PageFixture.h"
#include "device/AnalogInput.h"
#include "device/AnalogOutput.h"
#include "pages/analog_out/AoCalibTargets.h"
#include "pages/analog_out/Unitmaocalib.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class AoCalibration : public PageTest {
  protected:
    // A dialog for the model's module at address 01, shown texts filled in as on showing.
    std::unique_ptr<TfrmMAOCalib> dialogFor(const std::string& model, int mode) {
        startBus({module(model, 0x01)});
        auto d = std::make_unique<TfrmMAOCalib>();
        if (model == "7361") {
            m7361 = std::make_unique<odel::Module7361>(link.get(), "01");
            d->setTarget(std::make_unique<CurrentOutputCalib>(m7361.get()));
        } else if (model == "7349") {
            m7349 = std::make_unique<odel::Module7349>(link.get(), "01");
            d->setTarget(std::make_unique<VoltageOutputCalib>(m7349.get()));
        } else {
            m7364 = std::make_unique<odel::Module7364>(link.get(), "01");
            d->setTarget(std::make_unique<ChannelOutputCalib>(m7364.get(), 2));
        }
        d->setMode(mode);
        d->FormShow();
        return d;
    }
    std::unique_ptr<odel::Module7361> m7361;
    std::unique_ptr<odel::Module7349> m7349;
    std::unique_ptr<odel::Module7364> m7364;
};

struct Point {
    const char* model;
    int mode;
    const char* label;
    const char* group;
    const char* saveSent;
    const char* success;
    const char* failure;
};

TEST_F(AoCalibration, EachKindAndPointShowsItsTextsAndStoresWithItsCommand) {
    const Point points[] = {
        {"7361", 0, "4.0mA", " Trim for 4.0 mA ", "$010|", "4mA Calibration Successfully",
         "4mA Calibration Error"},
        {"7361", 1, "20.0mA", " Trim for 20.0 mA ", "$011|", "20mA Calibration Successfully",
         "20mA Calibration Error"},
        {"7349", 2, "0.0V", " Trim for 0.0 V ", "$01A|", "0V Calibration Successfully",
         "0V Calibration Error"},
        {"7349", 3, "10.0V", " Trim for 10.0 V ", "$01B|", "10V Calibration Successfully",
         "10V Calibration Error"},
        // The 7364 page sets these two texts itself; the dialog keeps its design texts.
        {"7364", 0, "20.0 mA", "Trim for 20.0 mA: ", "$010C2|", "4mA Calibration Successfully",
         "4mA Calibration Error"},
        {"7364", 1, "20.0 mA", "Trim for 20.0 mA: ", "$011C2|", "20mA Calibration Successfully",
         "20mA Calibration Error"},
    };
    for (const Point& p : points) {
        SCOPED_TRACE(std::string(p.model) + " mode " + std::to_string(p.mode));
        auto d = dialogFor(p.model, p.mode);
        EXPECT_EQ(d->labCalibVal->text(), p.label);
        EXPECT_EQ(d->grpUnit->title(), p.group);
        // A refused Save says so and stays open; pressing it again retries the same command.
        bus.setFault(0, odel::sim::Fault::Reject);
        bus.clearReceived();
        d->bitbtn20Execute->click();
        EXPECT_EQ(d->result(), QDialog::Rejected);
        bus.clearFault(0);
        d->bitbtn20Execute->click();
        EXPECT_EQ(received(), std::string(p.saveSent) + p.saveSent);
        EXPECT_EQ(d->result(), QDialog::Accepted);
        ASSERT_EQ(dialogs.texts("messageBox"), (QStringList{p.failure, p.success}));
        EXPECT_EQ(dialogs.shown.back().caption, "");
        dialogs.clear();
        bus.stop();
    }
}

TEST_F(AoCalibration, TrimButtonsSendTheirSignedCounts) {
    const struct {
        const char* model;
        int mode;
        const char* sent;
        QStringList hints;
    } kinds[] = {
        {"7361",
         0,
         "$0130A|$01301|$013FF|$013F6|",
         {"To trim -15.0uA", "To trim -1.50uA", "To trim +1.50uA", "To trim +15.0uA"}},
        {"7349",
         2,
         "$01E0A|$01E01|$01EFF|$01EF6|",
         {"To trim -1.0mV", "To trim -10.0mV", "To trim +1.0mV", "To trim +10.0mV"}},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.model);
        auto d = dialogFor(k.model, k.mode);
        bus.clearReceived();
        QStringList hints;
        for (QPushButton* b :
             {d->bitbtnLeftLeft20, d->bitbtnLeft20, d->bitbtnRight20, d->bitbtnRightRight20}) {
            hints << b->toolTip();
            b->click();
        }
        EXPECT_EQ(hints, k.hints);
        EXPECT_EQ(received(), k.sent);
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(d->result(), 0);  // still open
        bus.stop();
    }
}

TEST_F(AoCalibration, RefusedTrimIsReportedAndTheDialogStaysOpen) {
    auto d = dialogFor("7361", 1);
    bus.setFault(0, odel::sim::Fault::NoReply, "$3");
    d->bitbtnRight20->click();
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{"Write Trim Calibration Error"});
    EXPECT_EQ(d->result(), 0);
}

TEST_F(AoCalibration, FourOutputModuleHasNoTrimAndSendsNothingForIt) {
    auto d = dialogFor("7364", 0);
    bus.clearReceived();
    for (QPushButton* b :
         {d->bitbtnLeftLeft20, d->bitbtnLeft20, d->bitbtnRight20, d->bitbtnRightRight20}) {
        EXPECT_FALSE(b->isEnabled());
        EXPECT_EQ(b->toolTip(), "");
        d->bitbtnLeftLeft20Click(b->property("tag").toInt());
    }
    EXPECT_EQ(received(), "");
}

TEST_F(AoCalibration, ExitSendsNothing) {
    auto d = dialogFor("7349", 3);
    bus.clearReceived();
    d->bitbtn20Exit->click();
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_EQ(received(), "");
}

}  // namespace
