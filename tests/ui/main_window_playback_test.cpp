// The main window in remote playback, without a recorder: the controller is
// told what the session would tell it, and a stand-in takes the playback's
// requests. The time display, the status strip, the position bar and the
// event-jump bar appear and go with the playback.
#include "ui/main_window.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_slider.h"
#include "ui/widgets/event_jump_bar.h"
#include "ui/widgets/time_display.h"

namespace kalix::ui {
namespace {

using app::ControlId;
using session::PlayMode;

constexpr protocol::RecorderTime kStart = 1293883200 + 3 * 3600 + 4 * 60 + 5;  // 2011-01-01 15:04:05

class StandInPlayback final : public app::PlaybackSession {
public:
    bool loggedIn() const override { return true; }
    void playStart(const session::PlayStart&) override {}
    void playAtEvent(const session::EventPlayStart&) override {}
    void playControl(PlayMode m) override { mode = m; }
    void eventJump(session::JumpDirection d, std::uint8_t) override { jumps.push_back(d); }
    void playViewChange(std::uint32_t) override {}
    void playStop() override { on = false; }
    bool playbackOn() const override { return on; }
    bool playbackPending() const override { return false; }
    PlayMode playMode() const override { return mode; }
    int playSpeed() const override { return 1; }
    protocol::RecorderTime playbackPosition() const override { return position; }
    std::uint32_t playbackChannels() const override { return 0xF; }
    bool on = false;
    PlayMode mode = PlayMode::None;
    protocol::RecorderTime position = 0;
    std::vector<session::JumpDirection> jumps;
};

class MainWindowPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        // The texts and glyph pictures come from the bundle.
        ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE)));
        MainWindowSetup setup;
        setup.draw_path = DrawPathChoice::Rgb;
        setup.open_mixer = false;
        setup.home = home_.path().toStdString();
        setup.settings = std::make_unique<app::MemorySettingsStore>();
        setup.playback = &playback_;
        window_ = std::make_unique<MainWindow>(std::move(setup));
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        unloadResourceBundle();
    }
    // What the session tells the window at PLAY_ON_ACK.
    void accept() {
        playback_.on = true;
        playback_.mode = PlayMode::Forward;
        auto& c = window_->controller();
        c.handle(session::PlaybackChanged{true});
        c.handle(session::WindowPost{.message = session::WindowMessage::CreateAuxiliaryWindow});
        c.handle(session::WindowPost{.message = session::WindowMessage::OpenEventJumpBar});
    }

    QTemporaryDir home_;
    StandInPlayback playback_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowPlaybackTest, PlaybackWindowsComeAndGoWithThePlayback) {
    EXPECT_FALSE(window_->slider(ControlId::PositionSlider)->isVisible());
    EXPECT_TRUE(window_->statusStripText().isEmpty());
    ASSERT_TRUE(window_->controller().startRemotePlayback(
        {0xF, 0x3F, kStart}, {app::PlayOrigin::TimeSearch, kStart, 0xF, {}, {}}));
    accept();

    ASSERT_NE(window_->timeDisplay(), nullptr);
    EXPECT_EQ(window_->timeDisplay()->geometry(), QRect(kTimeDisplayPos, kTimeDisplaySize));
    EXPECT_EQ(window_->timeDisplay()->timeText(), "15:04:05");
    EXPECT_EQ(window_->timeDisplay()->dateText(), "2011-01-01");
    EXPECT_EQ(window_->statusStripText(), "Time search  Play  x1  2011-01-01 15:04:05");
    EXPECT_TRUE(window_->slider(ControlId::PositionSlider)->isVisible());
    EXPECT_TRUE(window_->button(app::playbackButton(2))->shownPressed());
    EXPECT_TRUE(window_->button(app::playbackButton(3))->isEnabled());

    // The position follows the frames within a redraw or two.
    playback_.position = kStart + 60;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->timeDisplay()->timeText() == "15:05:05"; }, 2000));
    EXPECT_TRUE(window_->statusStripText().endsWith("15:05:05"));

    // Started at a time: the event-jump bar offers no jumps.
    ASSERT_NE(window_->eventJumpBar(), nullptr);
    EXPECT_FALSE(window_->eventJumpBar()->button(app::EventJumpButton::NextEvent)->isEnabled());

    QTest::mouseClick(window_->button(app::playbackButton(3)), Qt::LeftButton);
    EXPECT_EQ(playback_.mode, PlayMode::Pause);
    EXPECT_TRUE(window_->button(app::playbackButton(3))->shownPressed());
    QTest::mouseClick(window_->button(app::playbackButton(5)), Qt::LeftButton);  // stop
    EXPECT_FALSE(playback_.on);
    EXPECT_EQ(window_->timeDisplay(), nullptr);
    EXPECT_EQ(window_->eventJumpBar(), nullptr);
    EXPECT_TRUE(window_->statusStripText().isEmpty());
    EXPECT_FALSE(window_->slider(ControlId::PositionSlider)->isVisible());
    EXPECT_FALSE(window_->button(app::playbackButton(1))->isEnabled());
}

TEST_F(MainWindowPlaybackTest, EventJumpBarStepsThroughTheRecordersEvents) {
    session::EventPlayStart start;
    start.event_kind = 1;
    start.time = kStart;
    ASSERT_TRUE(window_->controller().startEventPlayback(start, {app::PlayOrigin::TimeSearch, kStart, 0xF, {}, {}}));
    accept();
    EventJumpBar* bar = window_->eventJumpBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(kEventJumpBarPos, kEventJumpBarSize));
    EXPECT_FALSE(bar->button(app::EventJumpButton::AddBookmark)->isEnabled());
    QTest::mouseClick(bar->button(app::EventJumpButton::PreviousEvent), Qt::LeftButton);
    QTest::mouseClick(bar->button(app::EventJumpButton::NextEvent), Qt::LeftButton);
    EXPECT_EQ(playback_.jumps, (std::vector{session::JumpDirection::Backward, session::JumpDirection::Forward}));
    // A second 21078 replaces the bar.
    window_->controller().handle(session::WindowPost{.message = session::WindowMessage::OpenEventJumpBar});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window_->findChildren<EventJumpBar*>().size(), 1);
}

}  // namespace
}  // namespace kalix::ui
