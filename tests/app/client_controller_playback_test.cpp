// The main window in remote playback: the playback bar, the view change,
// the stop, the event-jump bar and the start from a search window, against
// a recording stand-in for the session's playback.

#include "app/client_controller.h"

#include <gtest/gtest.h>

#include "search_test_data.h"

#include <optional>
#include <string>
#include <vector>

namespace kalix::app {
namespace {

using session::PlayMode;

class RecordingView final : public ClientView {
public:
    void buttonsChanged() override {}
    void repaintWall() override {}
    void openConnectDialog() override {}
    void openLocalSetup() override {}
    void showNotice(const NoticeBox&) override {}
    void showMessageBox(const std::string&) override {}
    void minimise() override {}
    void endDialog() override {}
    media::WallRect windowRect() const override { return {0, 0, 928, 712}; }
    bool openBrowser(const std::string&) override { return true; }
    void openTimeDisplay() override { ++time_displays; time_display = true; }
    void closeTimeDisplay() override { time_display = false; }
    void openEventJumpBar() override { ++jump_bars; jump_bar = true; }
    void closeEventJumpBar() override { jump_bar = false; }
    int time_displays = 0, jump_bars = 0;
    bool time_display = false, jump_bar = false;
};

class QuietMixer final : public MixerControl {
public:
    std::int32_t volume() const override { return 0; }
    bool setVolume(std::uint32_t) override { return true; }
    bool muted() const override { return false; }
    bool setMuted(bool) override { return true; }
};

// Takes every control as the recorder would: the mode follows the press.
class FakePlayback final : public PlaybackSession {
public:
    bool loggedIn() const override { return logged_in; }
    void playStart(const session::PlayStart& r) override { starts.push_back(r); pending = true; }
    void playAtEvent(const session::EventPlayStart& r) override { event_starts.push_back(r); pending = true; }
    void playControl(PlayMode m) override { controls.push_back(m); mode = m; }
    void eventJump(session::JumpDirection d, std::uint8_t kind) override {
        jumps.emplace_back(d, kind);
        mode = PlayMode::Pause;
    }
    void playViewChange(std::uint32_t mask) override { view_changes.push_back(mask); }
    void playStop() override { ++stops; on = false; }
    bool playbackOn() const override { return on; }
    bool playbackPending() const override { return pending; }
    PlayMode playMode() const override { return mode; }
    int playSpeed() const override { return speed; }
    protocol::RecorderTime playbackPosition() const override { return position; }
    std::uint32_t playbackChannels() const override { return channels; }

    bool logged_in = true, on = false, pending = false;
    PlayMode mode = PlayMode::None;
    int speed = 0;
    protocol::RecorderTime position = 0;
    std::uint32_t channels = 0xFFFF;
    std::vector<session::PlayStart> starts;
    std::vector<session::EventPlayStart> event_starts;
    std::vector<PlayMode> controls;
    std::vector<std::pair<session::JumpDirection, std::uint8_t>> jumps;
    std::vector<std::uint32_t> view_changes;
    int stops = 0;
};

constexpr protocol::RecorderTime kNoon2011 = 1293883200;  // 2011-01-01 12:00:00

struct Rig {
    Rig() {
        wall.initialise(16);
        wall.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
        ControllerDeps deps{.wall = wall, .view = view, .mixer = mixer};
        deps.playback = &playback;
        deps.pause = [](std::chrono::milliseconds) {};
        controller = std::make_unique<ClientController>(std::move(deps));
        controller->start();
    }
    // The recorder accepted the start (PLAY_ON_ACK) and told its channels.
    void accept(std::uint32_t channels = 0x000F) {
        playback.pending = false;
        playback.on = true;
        playback.mode = PlayMode::Forward;
        playback.channels = channels;
        controller->handle(session::PlaybackChanged{true});
        wall.view().setActiveChannels(channels, media::MapReset::IdentityWhenEmpty);
        controller->handle(session::PlayChannels{channels});
        controller->handle(session::WindowPost{.message = session::WindowMessage::CreateAuxiliaryWindow});
        controller->handle(session::WindowPost{.message = session::WindowMessage::OpenEventJumpBar});
    }
    void startAtTime(PlayOrigin origin = PlayOrigin::Timeline) {
        ASSERT_TRUE(controller->startRemotePlayback({0x000F, 0, kNoon2011}, {origin, kNoon2011, 0x000F, {}, {}}));
        accept();
    }
    ButtonState state(int i) const { return controller->buttonState(playbackButton(i)); }
    void press(int i) { controller->press(playbackButton(i)); }

    media::VideoWall wall;
    RecordingView view;
    QuietMixer mixer;
    FakePlayback playback;
    std::unique_ptr<ClientController> controller;
};

TEST(RemotePlaybackBar, StartsDisabledAndOpensAtTheRecordersAcceptance) {
    Rig rig;
    for (int i = 0; i < kPlaybackButtons; ++i) EXPECT_FALSE(rig.state(i).enabled) << i;
    rig.startAtTime();
    EXPECT_EQ(rig.wall.displayMode(), media::DisplayMode::RemotePlayback);
    for (int i = 0; i < kPlaybackButtons; ++i) EXPECT_EQ(rig.state(i).enabled, i != 4) << i;  // record stays off
    EXPECT_TRUE(rig.state(2).pressed);
    EXPECT_FALSE(rig.state(1).pressed);
    EXPECT_FALSE(rig.state(3).pressed);
    EXPECT_TRUE(rig.view.time_display);
    EXPECT_TRUE(rig.view.jump_bar);
}

// Which press reaches the recorder from which mode.
TEST(RemotePlaybackBar, EachButtonActsOnlyInItsModes) {
    struct Case {
        PlayMode from;
        int button;
        std::optional<PlayMode> sent;
    };
    const Case cases[] = {
        {PlayMode::Forward, 0, std::nullopt},          {PlayMode::Pause, 0, PlayMode::StepBackward},
        {PlayMode::StepBackward, 0, PlayMode::StepBackward},
        {PlayMode::Forward, 1, PlayMode::Reverse},     {PlayMode::Pause, 1, PlayMode::Reverse},
        {PlayMode::Reverse, 2, PlayMode::Forward},     {PlayMode::StepForward, 2, PlayMode::Forward},
        {PlayMode::Forward, 3, PlayMode::Pause},       {PlayMode::Reverse, 3, PlayMode::Pause},
        {PlayMode::Pause, 3, std::nullopt},            {PlayMode::StepForward, 3, std::nullopt},
        {PlayMode::Forward, 6, std::nullopt},          {PlayMode::Pause, 6, PlayMode::StepForward},
        {PlayMode::StepForward, 6, PlayMode::StepForward},
        {PlayMode::Forward, 4, std::nullopt},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.startAtTime();
        rig.playback.mode = c.from;
        rig.press(c.button);
        if (c.sent) {
            ASSERT_EQ(rig.playback.controls.size(), 1u) << c.button;
            EXPECT_EQ(rig.playback.controls[0], *c.sent) << c.button;
        } else {
            EXPECT_TRUE(rig.playback.controls.empty()) << c.button << " from " << static_cast<int>(c.from);
        }
    }
}

TEST(RemotePlaybackBar, ReverseForwardAndPauseShowTheRunningMode) {
    Rig rig;
    rig.startAtTime();
    rig.press(3);
    EXPECT_TRUE(rig.state(3).pressed);
    EXPECT_FALSE(rig.state(2).pressed);
    rig.press(6);  // a step leaves none of the three pressed
    EXPECT_FALSE(rig.state(1).pressed || rig.state(2).pressed || rig.state(3).pressed);
    rig.press(1);
    EXPECT_TRUE(rig.state(1).pressed);
    EXPECT_FALSE(rig.state(3).pressed);
}

TEST(RemotePlaybackBar, NothingReachesTheRecorderOutsideRemotePlayback) {
    Rig rig;
    rig.wall.setDisplayMode(media::DisplayMode::Live);
    for (int i = 0; i < kPlaybackButtons; ++i) rig.controller->handle(session::ControlState{playbackButton(i), session::ButtonLook::Released});
    rig.playback.on = true;
    rig.playback.mode = PlayMode::Pause;
    for (int i = 0; i < kPlaybackButtons; ++i) rig.press(i);
    EXPECT_TRUE(rig.playback.controls.empty());
    EXPECT_EQ(rig.playback.stops, 0);
}

TEST(RemotePlaybackBar, StopDisablesTheBarResetsTheWallAndClosesThePlaybacksWindows) {
    Rig rig;
    rig.startAtTime();
    rig.controller->press(splitButton(1));  // four panes
    rig.controller->audioChoice().select(2);
    rig.press(5);
    EXPECT_EQ(rig.playback.stops, 1);
    EXPECT_EQ(rig.controller->audioChoice().selected(), -1);
    EXPECT_EQ(rig.wall.displayMode(), media::DisplayMode::None);
    EXPECT_EQ(rig.wall.view().layout(), kSixteenPaneLayout);
    EXPECT_TRUE(rig.controller->buttonState(splitButton(kSplitButtons - 1)).pressed);
    for (int i = 0; i < kPlaybackButtons; ++i) {
        EXPECT_FALSE(rig.state(i).enabled) << i;
        EXPECT_FALSE(rig.state(i).pressed) << i;
    }
    EXPECT_FALSE(rig.view.time_display);
    EXPECT_FALSE(rig.view.jump_bar);
    EXPECT_FALSE(rig.controller->playbackStatus());
    // The session's own news of the stop changes nothing more.
    rig.controller->handle(session::PlaybackChanged{false});
    EXPECT_EQ(rig.playback.stops, 1);
}

TEST(RemotePlaybackBar, TheTimeDisplayIsCreatedOncePerPlayback) {
    Rig rig;
    rig.startAtTime();
    rig.controller->handle(session::WindowPost{.message = session::WindowMessage::CreateAuxiliaryWindow});
    EXPECT_EQ(rig.view.time_displays, 1);
    rig.controller->handle(session::PlaybackChanged{false});
    rig.startAtTime();
    EXPECT_EQ(rig.view.time_displays, 2);
}

TEST(RemotePlaybackBar, ChannelsOnScreenGoToTheSessionLimitedToThePlayback) {
    Rig rig;
    rig.startAtTime();
    rig.playback.channels = 0x0005;
    rig.controller->press(channelButton(2));
    ASSERT_EQ(rig.playback.view_changes.size(), 1u);
    EXPECT_EQ(rig.playback.view_changes[0], 0x0004u);
    rig.controller->press(splitButton(1));  // channels 1-4 on screen
    ASSERT_EQ(rig.playback.view_changes.size(), 2u);
    EXPECT_EQ(rig.playback.view_changes[1], 0x0005u);
}

TEST(RemotePlaybackStart, RefusedWithoutALoggedInSessionOrWhileAStartIsPending) {
    Rig rig;
    rig.playback.logged_in = false;
    EXPECT_FALSE(rig.controller->startRemotePlayback({}, {}));
    rig.playback.logged_in = true;
    EXPECT_TRUE(rig.controller->startRemotePlayback({0x3, 0x3F, kNoon2011}, {PlayOrigin::TimeSearch, kNoon2011, 0x3, {}, {}}));
    EXPECT_FALSE(rig.controller->startRemotePlayback({}, {}));
    ASSERT_EQ(rig.playback.starts.size(), 1u);
    EXPECT_EQ(rig.playback.starts[0].kind_filter, 0x3F);
    EXPECT_TRUE(rig.controller->remotePlayState().active());
    EXPECT_EQ(rig.controller->remotePlayState().origin(), PlayOrigin::TimeSearch);
}

TEST(RemotePlaybackStart, RefusedDuringLocalPlayback) {
    Rig rig;
    rig.wall.setDisplayMode(media::DisplayMode::LocalPlayback);
    EXPECT_FALSE(rig.controller->startRemotePlayback({}, {}));
    EXPECT_FALSE(rig.controller->startEventPlayback({}, {}));
    EXPECT_TRUE(rig.playback.starts.empty());
    EXPECT_TRUE(rig.playback.event_starts.empty());
}

TEST(EventJumpBar, JumpsOnlyWhenThePlaybackStartedAtAnEvent) {
    Rig rig;
    rig.startAtTime();
    for (int i = 0; i < kEventJumpButtons; ++i) EXPECT_FALSE(rig.controller->eventJumpState(eventJumpButton(i)).enabled);
    rig.controller->pressEventJump(EventJumpButton::NextEvent);
    EXPECT_TRUE(rig.playback.jumps.empty());

    Rig at_event;
    session::EventPlayStart start;
    start.event_kind = 2;
    start.time = kNoon2011;
    ASSERT_TRUE(at_event.controller->startEventPlayback(start, {PlayOrigin::Timeline, kNoon2011, 0xFFFF, {}, {}}));
    EXPECT_EQ(at_event.controller->remotePlayState().origin(), PlayOrigin::EventList);
    // Not before the recorder accepted.
    EXPECT_FALSE(at_event.controller->eventJumpState(EventJumpButton::PreviousEvent).enabled);
    at_event.accept();
    for (int i = 0; i < kEventJumpButtons; ++i) {
        const auto b = eventJumpButton(i);
        EXPECT_EQ(at_event.controller->eventJumpState(b).enabled,
                  b == EventJumpButton::PreviousEvent || b == EventJumpButton::NextEvent) << i;
    }
    at_event.controller->pressEventJump(EventJumpButton::PreviousEvent);
    at_event.controller->pressEventJump(EventJumpButton::NextEvent);
    at_event.controller->pressEventJump(EventJumpButton::AddBookmark);
    ASSERT_EQ(at_event.playback.jumps.size(), 2u);
    EXPECT_EQ(at_event.playback.jumps[0], std::make_pair(session::JumpDirection::Backward, std::uint8_t{2}));
    EXPECT_EQ(at_event.playback.jumps[1], std::make_pair(session::JumpDirection::Forward, std::uint8_t{2}));
    EXPECT_TRUE(at_event.state(3).pressed);  // the jump paused the playback
}

TEST(EventJumpBar, AnEventKindThatDoesNotFitItsByteIsRefused) {
    Rig rig;
    session::EventPlayStart start;
    start.event_kind = 8;
    EXPECT_FALSE(rig.controller->startEventPlayback(start, {}));
    EXPECT_TRUE(rig.playback.event_starts.empty());
}

TEST(RemotePlaybackStatus, FollowsThePositionAndKeepsTheStartTimeUntilAFrameCame) {
    Rig rig;
    EXPECT_FALSE(rig.controller->playbackStatus());
    rig.startAtTime(PlayOrigin::Timeline);
    rig.playback.speed = 2;
    rig.controller->playbackTick();
    auto status = rig.controller->playbackStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, (PlaybackStatus{PlayOrigin::Timeline, PlayMode::Forward, 2, kNoon2011}));
    rig.playback.position = kNoon2011 + 75;
    rig.controller->playbackTick();
    EXPECT_EQ(rig.controller->playbackStatus()->position, kNoon2011 + 75);
    EXPECT_EQ(rig.controller->remotePlayState().position(), kNoon2011 + 75);
}

// The search dialog's hub with the controller as its way to playback.
struct SearchSide {
    struct Requests final : SearchRequests {
        void searchMonth() override {}
        void searchDay(int, int, int) override {}
        void searchEvents(std::uint32_t, std::uint32_t) override {}
    } requests;
    struct View final : RemoteSearchView {
        void stateChanged() override {}
        void openCalendar() override {}
        void openTimeline() override {}
        void closeTimeline(std::chrono::milliseconds) override { ++timeline_closes; }
        void openEventList() override {}
        void showNotice(session::Notice) override {}
        void closeDialog() override {}
        int timeline_closes = 0;
    } view;
    std::optional<RemoteSearchHub> hub;

    RemoteSearchHub& open(ClientController& controller) {
        session::RecorderIdentity id;
        id.channel_num = 4;
        RemoteSearchSetup setup{requests, controller, view, id};
        setup.current_year = 2011;
        hub.emplace(setup);
        return *hub;
    }
    // 1 January 2011 chosen in the calendar and its day table come.
    void dayOfNoon2011() {
        hub->openCalendarSearch();
        hub->onAnswer({session::SearchKind::Month, testing::yearRecord(2011, {{0, 0}})});
        hub->chooseDay(0);
        hub->onAnswer({session::SearchKind::Day, testing::dayRecord(0xF, 1, kNoon2011 - 43'200, kNoon2011 + 3600)});
    }
};

TEST(SearchDialogPlayback, TimelineStartsGoThroughTheControllerAndTheNextDialogFollowsThem) {
    Rig rig;
    SearchSide search;
    search.open(*rig.controller).setChannelMask(0x3);
    search.dayOfNoon2011();
    ASSERT_NE(search.hub->timeline(), nullptr);
    search.hub->timeline()->stepCursor(+1);  // 00:05:00
    search.hub->playTimeline();
    ASSERT_EQ(rig.playback.starts.size(), 1u);
    EXPECT_EQ(rig.playback.starts[0].mask, 0x3u);
    const RemotePlayState& state = rig.controller->remotePlayState();
    EXPECT_TRUE(state.active());
    EXPECT_EQ(state.origin(), PlayOrigin::Timeline);
    EXPECT_EQ(state.startTime(), kNoon2011 - 43'200 + 300);
    EXPECT_EQ(state.monthRecords(), 1u);
    EXPECT_EQ(state.dayRecords(), 1u);
    EXPECT_EQ(search.view.timeline_closes, 1);
    // A second Play while the recorder has not answered sends nothing and
    // leaves the timeline up.
    search.hub->playTimeline();
    EXPECT_EQ(rig.playback.starts.size(), 1u);
    EXPECT_EQ(search.view.timeline_closes, 1);

    rig.accept(0x3);
    search.hub->close();  // in remote playback: the state stays
    EXPECT_TRUE(state.active());

    // The dialog opened again asks for the playback's channels; choosing a
    // day clears the state, and the timeline opens where the playback is.
    SearchSide again;
    EXPECT_EQ(again.open(*rig.controller).channelMask(), 0x3u);
    rig.playback.position = kNoon2011 + 61;
    again.dayOfNoon2011();
    EXPECT_FALSE(state.active());
    ASSERT_NE(again.hub->timeline(), nullptr);
    EXPECT_EQ(again.hub->timeline()->cursor(), 12 * 3600 + 61);
}

}  // namespace
}  // namespace kalix::app
