// Local playback in the main window: the event-jump bar's walk through the
// event list, and the controller's start, playback bar, slow buttons and
// stop against pairs made by the archive writer.

#include "app/local_playback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "../archive/archive_test_support.h"
#include "../media/audio_test_support.h"
#include "../session/session_test_support.h"
#include "app/client_controller.h"
#include "archive/archive_writer.h"

namespace kalix::app {
namespace {

using player::Command;

std::vector<JumpEvent> events(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> list) {
    std::vector<JumpEvent> v;
    for (auto [t, n] : list) v.push_back(JumpEvent{t, 0, n});
    return v;
}

TEST(EventJump, PreviousAndNextFollowTheRunningNumbers) {
    const auto e = events({{100, 0}, {200, 1}, {300, 2}, {400, 3}});
    EXPECT_EQ(eventJumpTarget(e, 250, JumpWay::Next), 2u);
    EXPECT_EQ(eventJumpTarget(e, 250, JumpWay::Previous), 0u);
    EXPECT_EQ(eventJumpTarget(e, 300, JumpWay::Previous), 1u);  // at an event: the one before it
    EXPECT_EQ(eventJumpTarget(e, 150, JumpWay::Previous), std::nullopt);  // the first event has none
    EXPECT_EQ(eventJumpTarget(e, 450, JumpWay::Next), std::nullopt);
    EXPECT_EQ(eventJumpTarget({}, 450, JumpWay::Next), std::nullopt);
}

TEST(EventJump, BeforeEveryEventNextIsTheFirst) {
    const auto e = events({{100, 0}, {200, 1}});
    EXPECT_EQ(eventJumpTarget(e, 50, JumpWay::Next), 0u);
    EXPECT_EQ(eventJumpTarget(e, 50, JumpWay::Previous), std::nullopt);
}

class NullView final : public ClientView {
public:
    void buttonsChanged() override {}
    void repaintWall() override {}
    void openConnectDialog() override {}
    void openLocalSetup() override {}
    void showNotice(const NoticeBox&) override { ++notices; }
    void showMessageBox(const std::string&) override {}
    void minimise() override {}
    void endDialog() override {}
    media::WallRect windowRect() const override { return {0, 0, 928, 712}; }
    bool openBrowser(const std::string&) override { return true; }
    void openTimeDisplay() override { time_display = true; }
    void closeTimeDisplay() override { time_display = false; }
    void openEventJumpBar() override { jump_bar = true; }
    void closeEventJumpBar() override { jump_bar = false; }
    int notices = 0;
    bool time_display = false, jump_bar = false;
};

class QuietMixer final : public MixerControl {
public:
    std::int32_t volume() const override { return 0; }
    bool setVolume(std::uint32_t) override { return true; }
    bool muted() const override { return false; }
    bool setMuted(bool) override { return true; }
};

constexpr std::uint32_t kT0 = 1'700'000'000;

class ControllerLocalTest : public ::testing::Test {
protected:
    ControllerLocalTest() {
        ControllerDeps deps{wall_, view_, mixer_};
        deps.pause = [](std::chrono::milliseconds) {};
        deps.archive_folder = [this] { return dir_.path(); };
        deps.log = &log_;
        controller_ = std::make_unique<ClientController>(std::move(deps));
    }

    void writeArchive() {
        archive::WriterOptions o;
        o.folder = dir_.path();
        o.clock = [] { return kT0 + 1000; };
        archive::ArchiveWriter w(o);
        ASSERT_TRUE(w.open());
        for (std::uint32_t t = kT0; t < kT0 + 600; ++t) {
            archive::testing::VideoSpec s;
            s.time = t;
            ASSERT_EQ(w.appendUnit(archive::testing::videoUnit(s)), archive::UnitResult::Stored);
        }
        ASSERT_TRUE(w.close());
    }

    template <typename F>
    bool eventually(F f) {
        for (int i = 0; i < 400; ++i) {
            if (f()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    archive::testing::ScratchDir dir_;
    session::testing::RecordingLog log_;
    media::VideoWall wall_;
    NullView view_;
    QuietMixer mixer_;
    std::unique_ptr<ClientController> controller_;
};

TEST_F(ControllerLocalTest, NoRecordingAtTheTimeRaisesTheNoDataNotice) {
    writeArchive();
    EXPECT_FALSE(controller_->startLocalPlayback(kT0 + 600));
    ASSERT_TRUE(controller_->noticeBox());
    EXPECT_TRUE(controller_->noticeBox()->notice.is(session::NoticeKind::NoRecordedData));
    EXPECT_FALSE(controller_->localPlaybackActive());
}

TEST_F(ControllerLocalTest, ThePlaybackBarAndTheSlowButtonsCommandThePlayer) {
    writeArchive();
    ASSERT_TRUE(controller_->startLocalPlayback(kT0 + 10));
    EXPECT_TRUE(controller_->localPlaybackActive());
    EXPECT_TRUE(view_.time_display);
    EXPECT_TRUE(view_.jump_bar);
    EXPECT_TRUE(controller_->buttonState(playbackButton(1)).enabled);
    ASSERT_TRUE(eventually([&] { return controller_->localStatus()->time >= kT0 + 10; }));
    EXPECT_EQ(controller_->playbackStatus()->mode, session::PlayMode::Forward);
    EXPECT_EQ(controller_->localStatus()->slider_range, 599u);
    // Channel 0 alone: four panes, that channel shown, without a recorder.
    EXPECT_EQ(wall_.view().channelCount(), 4);
    EXPECT_EQ(wall_.view().activeChannels(), 1u);

    controller_->press(playbackButton(6));  // step forward: only while paused
    EXPECT_EQ(controller_->localStatus()->state, Command::Forward);
    controller_->press(playbackButton(3));
    EXPECT_EQ(controller_->localStatus()->state, Command::Pause);
    controller_->press(playbackButton(1));
    EXPECT_EQ(controller_->localStatus()->state, Command::Backward);
    EXPECT_EQ(controller_->playbackStatus()->speed, -1);
    controller_->pressEventJump(EventJumpButton::SlowForward);
    EXPECT_EQ(controller_->localStatus()->state, Command::SlowForward);
    EXPECT_FALSE(controller_->eventJumpState(EventJumpButton::NextEvent).enabled);

    controller_->press(playbackButton(5));  // stop
    EXPECT_FALSE(controller_->localPlaybackActive());
    // The operation log has the start and the end of local playback.
    std::vector<std::uint32_t> local_records;
    for (const auto& e : log_.entries())
        if (e.category == session::LogCategory::LocalPlayback) local_records.push_back(e.action);
    EXPECT_EQ(local_records, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_FALSE(controller_->localStatus());
    EXPECT_FALSE(view_.jump_bar);
    EXPECT_FALSE(controller_->buttonState(playbackButton(1)).enabled);
}

TEST_F(ControllerLocalTest, AnEventJumpStartsAgainAtTheEvent) {
    writeArchive();
    ASSERT_TRUE(controller_->startLocalPlayback(kT0));
    controller_->setLocalEvents(events({{kT0 + 100, 0}, {kT0 + 300, 1}}));
    ASSERT_TRUE(controller_->eventJumpState(EventJumpButton::NextEvent).enabled);
    controller_->pressEventJump(EventJumpButton::NextEvent);
    ASSERT_TRUE(eventually([&] { return controller_->localStatus()->time >= kT0 + 100; }));
    EXPECT_LT(controller_->localStatus()->time, kT0 + 200);
}

TEST(LocalSound, SpeedOnePlaysTheSelectedChannelsBlocksAndOtherSpeedsStopIt) {
    archive::testing::ScratchDir dir;
    {
        archive::WriterOptions o;
        o.folder = dir.path();
        o.clock = [] { return kT0 + 1000; };
        archive::ArchiveWriter w(o);
        ASSERT_TRUE(w.open());
        for (std::uint32_t t = kT0; t < kT0 + 60; ++t) {
            archive::testing::VideoSpec s;
            s.time = t;
            ASSERT_EQ(w.appendUnit(archive::testing::videoUnit(s)), archive::UnitResult::Stored);
            // A second of sound: more blocks than one batch of the player.
            for (int b = 0; b < 50; ++b)
                ASSERT_EQ(w.appendUnit(archive::testing::audioUnit(1, 48)), archive::UnitResult::Stored);
        }
        ASSERT_TRUE(w.close());
    }
    media::VideoWall wall;
    NullView view;
    QuietMixer mixer;
    std::atomic<media::test::FakeSoundOutput*> output{nullptr};  // made on the player thread
    ControllerDeps deps{wall, view, mixer};
    deps.pause = [](std::chrono::milliseconds) {};
    deps.archive_folder = [&] { return dir.path(); };
    deps.make_sound_output = [&] {
        auto made = std::make_unique<media::test::FakeSoundOutput>();
        output = made.get();
        return made;
    };
    ClientController controller(std::move(deps));
    ASSERT_TRUE(controller.startLocalPlayback(kT0));
    const auto eventually = [](auto f) {
        for (int i = 0; i < 400 && !f(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return f();
    };
    ASSERT_TRUE(eventually([&] { return output.load() != nullptr && output.load()->writeCount() > 0; }));
    EXPECT_EQ(controller.localStatus()->speed, 1);
    controller.press(playbackButton(2));  // forward again: speed 2, no sound
    EXPECT_TRUE(eventually([&] { return controller.localStatus()->speed == 2; }));
    controller.press(playbackButton(5));
    EXPECT_FALSE(controller.localPlaybackActive());
}

}  // namespace
}  // namespace kalix::app
