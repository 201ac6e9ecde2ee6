#include "app/ptz_panels.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kalix::app {
namespace {

using session::PtzArrow;
using session::PtzCommand;
using session::PtzForm;

struct RecordingLink final : PtzLink {
    void move(PtzCommand command, unsigned number) override { sent.emplace_back(static_cast<int>(command), number); }
    void stopMove() override { sent.emplace_back(-1, 0); }
    bool presetSetupAllowed() const override { return setup; }
    std::vector<std::pair<int, unsigned>> sent;
    bool setup = true;
};

TEST(PresetKeypad, DigitsAppendBelowAThousandAndToursTakeOneToFour) {
    PresetKeypad k;
    k.presetButton();
    for (unsigned d : {1u, 2u, 3u, 4u}) k.digit(d);
    EXPECT_EQ(k.number(), 234u);
    EXPECT_EQ(k.okCommand(), PtzCommand::PresetGo);

    k.tourButton();
    EXPECT_EQ(k.number(), 0u);
    k.digit(7);
    EXPECT_EQ(k.number(), 0u);
    EXPECT_FALSE(k.okCommand());
    k.digit(3);
    EXPECT_EQ(k.okCommand(), PtzCommand::TourRun);
    k.tourButton();
    EXPECT_EQ(k.action(), PresetAction::Call);

    k.learnButton();
    k.digit(4);
    k.digit(6);
    EXPECT_EQ(k.number(), 6u);  // learn mode keeps one digit
    EXPECT_EQ(k.okCommand(), PtzCommand::PatternRun);
    k.setButton(true);
    k.digit(2);
    EXPECT_EQ(k.okCommand(), PtzCommand::LearnStart);
}

TEST(PresetKeypad, SetNeedsTheSetupRight) {
    PresetKeypad k;
    k.presetButton();
    k.setButton(false);
    EXPECT_EQ(k.action(), PresetAction::Call);
    k.setButton(true);
    k.digit(5);
    EXPECT_EQ(k.okCommand(), PtzCommand::PresetSet);
}

TEST(PtzPanels, ZoomSwitchesAnOpenPanFormAndClosesItsOwn) {
    RecordingLink link;
    PtzPanels p(link);
    p.formButton(PtzForm::Pan);
    EXPECT_TRUE(p.panelOpen());
    p.formButton(PtzForm::Zoom);
    EXPECT_TRUE(p.panelOpen());
    EXPECT_EQ(p.form(), PtzForm::Zoom);
    p.formButton(PtzForm::Zoom);
    EXPECT_FALSE(p.panelOpen());
}

TEST(PtzPanels, ArrowsWaitForTheRecorderAndFollowTheForm) {
    RecordingLink link;
    PtzPanels p(link);
    p.formButton(PtzForm::Zoom);
    p.arrowPressed(PtzArrow::Up);
    p.arrowReleased();
    EXPECT_TRUE(link.sent.empty());
    p.channelAnswer(true);
    p.arrowPressed(PtzArrow::Up);
    p.arrowPressed(PtzArrow::Left);  // a second key while one is held is ignored
    p.arrowReleased();
    p.arrowReleased();
    EXPECT_EQ(link.sent, (std::vector<std::pair<int, unsigned>>{{4, 0}, {-1, 0}}));
}

TEST(PtzPanels, LearnStaysPendingUntilTheCentreOrAReset) {
    RecordingLink link;
    PtzPanels p(link);
    p.formButton(PtzForm::Pan);
    p.channelAnswer(true);
    p.centrePressed();
    ASSERT_TRUE(p.keypadOpen());
    p.keypad().learnButton();
    p.keypad().setButton(true);
    p.keypad().digit(7);
    p.keypadOk();
    EXPECT_FALSE(p.keypadOpen());
    EXPECT_TRUE(p.learnPending());
    p.centrePressed();
    EXPECT_FALSE(p.learnPending());
    EXPECT_FALSE(p.keypadOpen());
    EXPECT_EQ(link.sent, (std::vector<std::pair<int, unsigned>>{{10, 7}, {11, 7}}));

    link.sent.clear();
    p.centrePressed();
    p.keypad().learnButton();
    p.keypad().setButton(true);
    p.keypad().digit(3);
    p.keypadOk();
    p.reset();
    EXPECT_EQ(link.sent, (std::vector<std::pair<int, unsigned>>{{10, 3}, {11, 3}}));
    EXPECT_FALSE(p.panelOpen());
}

TEST(PtzPanels, TheDomePadTurnsTheZoomFormToPanAndClosesWithX) {
    RecordingLink link;
    PtzPanels p(link);
    p.formButton(PtzForm::Zoom);
    p.channelAnswer(true);
    p.centrePressed();
    p.keypadDome();
    EXPECT_TRUE(p.domeMenuMode());
    EXPECT_EQ(p.form(), PtzForm::Pan);
    p.arrowPressed(PtzArrow::Right);
    p.arrowReleased();
    p.domeSelect();
    p.domePrevious();
    p.domeClose();
    EXPECT_FALSE(p.domeMenuMode());
    EXPECT_EQ(link.sent, (std::vector<std::pair<int, unsigned>>{{13, 0}, {0, 0}, {-1, 0}, {14, 0}, {15, 0}, {16, 0}}));

    // Without the set-up right the Dome key does nothing.
    link.setup = false;
    link.sent.clear();
    p.centrePressed();
    p.keypadDome();
    EXPECT_FALSE(p.domeMenuMode());
    EXPECT_TRUE(link.sent.empty());
}

TEST(PtzPanels, OkWithNumberZeroSendsNothingAndKeepsTheKeypad) {
    RecordingLink link;
    PtzPanels p(link);
    p.formButton(PtzForm::Pan);
    p.channelAnswer(true);
    p.centrePressed();
    p.keypadOk();
    EXPECT_TRUE(link.sent.empty());
    EXPECT_TRUE(p.keypadOpen());
}

TEST(PtzChannel, TheCurrentStaysWhileShownAndUnblockedElseTheFirstInPaneOrder) {
    const std::vector<int> panes{6, 2, 9};
    EXPECT_EQ(choosePtzChannel(9, panes, 0), 9);
    EXPECT_EQ(choosePtzChannel(4, panes, 0), 6);             // not on screen
    EXPECT_EQ(choosePtzChannel(9, panes, 1u << 9), 6);       // blocked
    EXPECT_EQ(choosePtzChannel(0, panes, 1u << 6), 2);       // the first unblocked
    EXPECT_EQ(choosePtzChannel(0, panes, 0b10'0100'0100), std::nullopt);
    EXPECT_EQ(choosePtzChannel(0, std::vector<int>{}, 0), std::nullopt);
}

TEST(PtzPanels, ClosingThePanelStopsAHeldArrow) {
    RecordingLink link;
    PtzPanels p(link);
    p.formButton(PtzForm::Pan);
    p.channelAnswer(true);
    p.arrowPressed(PtzArrow::Up);
    p.formButton(PtzForm::Pan);
    EXPECT_FALSE(p.holding());
    EXPECT_EQ(link.sent, (std::vector<std::pair<int, unsigned>>{{2, 0}, {-1, 0}}));
}

}  // namespace
}  // namespace kalix::app
