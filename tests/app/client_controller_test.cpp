// The main window's behaviour against a real session whose recorder end is
// scripted on a socket pair: the requests the buttons cause are read off
// the wire.

#include "app/client_controller.h"

#include <gtest/gtest.h>

#include <thread>

#include <bit>

#include "../media/audio_test_support.h"
#include "../session/session_test_support.h"
#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

using namespace std::chrono_literals;
using protocol::Code;
using session::testing::ScriptedPeer;

class FakeView final : public ClientView {
public:
    void buttonsChanged() override {}
    void repaintWall() override { ++repaints; }
    void openConnectDialog() override { ++connect_dialogs; }
    void openLocalSetup() override { ++setup_dialogs; }
    void showNotice(const NoticeBox& box) override { notices.push_back(box); }
    void showMessageBox(const std::string& text) override { boxes.push_back(text); }
    void minimise() override {}
    void endDialog() override { ++ended; }
    media::WallRect windowRect() const override { return window; }
    void wallFullScreenChanged() override { ++full_screen_changes; }
    void openRemoteSearch() override { ++searches; }
    int searches = 0;
    void openFirmware() override { ++firmware; }
    int firmware = 0;
    void openImageLoad() override { ++image_loads; }
    int image_loads = 0;
    void ptzWindowsChanged() override { ++ptz_changes; }
    int ptz_changes = 0;
    void startSaveJobTimer() override { save_timer = true; }
    void stopSaveJobTimer() override { save_timer = false; }
    bool save_timer = false;
    bool openBrowser(const std::string& url) override {
        browsed.push_back(url);
        return browser_works;
    }

    int repaints = 0, connect_dialogs = 0, setup_dialogs = 0, ended = 0, full_screen_changes = 0;
    std::vector<std::string> browsed;
    bool browser_works = true;
    std::vector<NoticeBox> notices;
    std::vector<std::string> boxes;
    media::WallRect window{0, 0, 928, 712};
};

class FakeMixer final : public MixerControl {
public:
    std::int32_t volume() const override { return level; }
    bool setVolume(std::uint32_t l) override {
        level = static_cast<std::int32_t>(l);
        return true;
    }
    bool muted() const override { return mute; }
    bool setMuted(bool m) override {
        mute = m;
        return true;
    }
    std::int32_t level = 12345;
    bool mute = true;
};

class SilentCapture final : public media::SoundIn {
public:
    bool start(media::CaptureSink&) override { return true; }
    void stop() override {}
};

std::uint32_t maskOf(const session::testing::PeerMessage& m) { return protocol::be32(m.payload.data()); }

struct Rig {
    explicit Rig(StorageMode storage = StorageMode::Writable) {
        wall.initialise(16);
        wall.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
        ControllerDeps deps{.wall = wall, .view = view, .mixer = mixer, .log = &log,
                            .version = ProgramVersion{{1, 2, 3, 4}}, .storage = storage};
        deps.make_session = [this](const ConnectRequest& r) {
            requests.push_back(r);
            session::SessionOptions o;
            o.address = r.address;
            o.user = r.user;
            o.close_grace = 10ms;
            o.live_stop_pause = 1ms;
            o.live_video.wall = &wall;
            o.live_audio.make_output = [] { return std::make_unique<media::test::FakeSoundOutput>(); };
            o.live_audio.channels = controller->audioChannelOwner();
            auto s = std::make_unique<session::DvrSession>(o, sink);
            auto [client, recorder] = session::testing::socketPair();
            peer.emplace(std::move(recorder));
            s->adopt(std::move(client));
            return s;
        };
        deps.make_capture = [] { return std::make_unique<SilentCapture>(); };
        deps.strings = [](std::uint16_t id) { return id == kVersionStringId ? std::string("Kalix client") : "s" + std::to_string(id); };
        deps.now = [this] { return clock; };
        deps.pause = [this](std::chrono::milliseconds d) { pauses.push_back(d); };
        controller = std::make_unique<ClientController>(std::move(deps));
    }

    // Connects and logs in; the recorder sends every channel live.
    void login(std::uint8_t account = 0, std::uint8_t product_major = 1) {
        controller->start();
        controller->connectTo({"127.0.0.1", 2000, "admin", "", ""});
        auto answer = session::testing::helloAnswer(11, 16);
        answer[3] = product_major;
        answer[7] = account;
        for (std::size_t i = 0; i < 8; ++i) answer[18 + i] = static_cast<std::uint8_t>(0xA0 + i);  // session key
        peer->send(Code::HELLO48_ACK, answer);
        ASSERT_TRUE(peer->readUntil(Code::LIVE_REQ));
        peer->send(Code::LIVE_CHANNEL_INFO, session::testing::word(0xFFFF));
        ASSERT_TRUE(sink.waitForCount<session::LiveChannels>(1));
        pump();
    }
    // Hands the session's events to the controller, as the UI thread does.
    void pump() {
        const auto events = sink.events();
        for (; pumped < events.size(); ++pumped) controller->handle(events[pumped]);
    }
    bool pressed(ControlId c) const { return controller->buttonState(c).pressed; }
    bool enabled(ControlId c) const { return controller->buttonState(c).enabled; }

    media::VideoWall wall;
    FakeView view;
    FakeMixer mixer;
    session::testing::RecordingSink sink;
    session::testing::RecordingLog log;
    std::optional<ScriptedPeer> peer;
    std::vector<ConnectRequest> requests;
    std::chrono::steady_clock::time_point clock{};
    std::vector<std::chrono::milliseconds> pauses;
    std::size_t pumped = 0;
    std::unique_ptr<ClientController> controller;
};

TEST(ClientController, StartUpSavesMixerLogsAndOpensConnect) {
    Rig rig;
    rig.controller->start();
    EXPECT_EQ(rig.mixer.level, 40000);
    EXPECT_FALSE(rig.mixer.mute);
    EXPECT_EQ(rig.view.connect_dialogs, 1);
    EXPECT_EQ(rig.wall.view().layout(), kSixteenPaneLayout);
    EXPECT_TRUE(rig.pressed(splitButton(8)));
    ASSERT_EQ(rig.log.entries().size(), 1u);
    EXPECT_EQ(rig.log.entries()[0].category, session::LogCategory::Program);
    EXPECT_EQ(rig.log.entries()[0].action, 1u);
    // The playback bar and the unavailable controls stay disabled.
    for (int i = 0; i < kPlaybackButtons; ++i) EXPECT_FALSE(rig.enabled(playbackButton(i))) << i;
    EXPECT_TRUE(rig.enabled(ControlId::Pan));  // it does nothing outside live view
    EXPECT_TRUE(rig.enabled(ControlId::Save));
    EXPECT_TRUE(rig.enabled(ControlId::Load));
    EXPECT_FALSE(rig.enabled(static_cast<ControlId>(299)));

    rig.controller->shutdown();
    EXPECT_EQ(rig.log.entries().back().action, 2u);
    EXPECT_EQ(rig.mixer.level, 12345);  // put back as found
    EXPECT_TRUE(rig.mixer.mute);
}

TEST(ClientController, CdModeNeitherConnectsNorLogs) {
    Rig rig(StorageMode::ReadOnlyMedium);
    rig.controller->start();
    rig.controller->press(ControlId::Connect);
    rig.controller->connectTo({"127.0.0.1", 2000, "admin", "", ""});
    EXPECT_EQ(rig.view.connect_dialogs, 0);
    EXPECT_TRUE(rig.requests.empty());
    // The local setup still opens (it hides the location there).
    rig.controller->press(ControlId::LSetup);
    EXPECT_EQ(rig.view.setup_dialogs, 1);
    rig.controller->shutdown();
    EXPECT_TRUE(rig.log.entries().empty());
}

TEST(ClientController, SplitButtonsSelectTheirLayoutsAndResendTheShownMask) {
    Rig rig;
    rig.login();
    constexpr std::array<int, kSplitButtons> panes{1, 4, 6, 7, 8, 9, 10, 13, 16};
    for (int i = 0; i < kSplitButtons; ++i) {
        rig.controller->press(splitButton(i));
        EXPECT_EQ(rig.wall.view().layout(), kSplitLayouts[static_cast<std::size_t>(i)]);
        const auto request = rig.peer->readUntil(Code::LIVE_REQ);
        ASSERT_TRUE(request) << i;
        EXPECT_EQ(maskOf(*request), rig.wall.view().visibleChannels()) << i;
        EXPECT_EQ(std::popcount(maskOf(*request)), panes[static_cast<std::size_t>(i)]) << i;
        for (int j = 0; j < kSplitButtons; ++j) EXPECT_EQ(rig.pressed(splitButton(j)), i == j);
    }
}

TEST(ClientController, ChannelButtonShowsOneChannelAndTakesItsAudio) {
    Rig rig;
    rig.login();
    rig.controller->press(channelButton(5));
    const auto request = rig.peer->readUntil(Code::LIVE_REQ);
    ASSERT_TRUE(request);
    EXPECT_EQ(maskOf(*request), 1u << 5);
    for (int k = 0; k < kChannelButtons; ++k) EXPECT_EQ(rig.pressed(channelButton(k)), k == 5);
    EXPECT_EQ(rig.controller->audioChoice().selected(), 5);

    // Back to four panes: channel buttons released, audio re-chosen among
    // the channels now shown.
    rig.controller->press(splitButton(1));
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    for (int k = 0; k < kChannelButtons; ++k) EXPECT_FALSE(rig.pressed(channelButton(k)));
    EXPECT_TRUE(rig.wall.view().isChannelVisible(rig.controller->audioChoice().selected()));

    // The one-pane split button presses the shown channel's button.
    rig.controller->press(splitButton(0));
    const int shown = std::countr_zero(rig.wall.view().visibleChannels());
    EXPECT_TRUE(rig.pressed(channelButton(shown)));
}

TEST(ClientController, ArrangeRestoresThePanesAndResendsTheMask) {
    Rig rig;
    rig.login();
    rig.controller->press(splitButton(1));
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    ASSERT_TRUE(rig.wall.view().exchangePanes(0, 9));  // channel 9 now on the first page
    ASSERT_TRUE(rig.wall.view().isChannelVisible(9));
    rig.controller->press(ControlId::Arrange);
    const auto request = rig.peer->readUntil(Code::LIVE_REQ);
    ASSERT_TRUE(request);
    EXPECT_EQ(maskOf(*request), 0x000Fu);
    EXPECT_FALSE(rig.wall.view().isChannelVisible(9));
}

TEST(ClientController, SelAudioCyclesThroughTheShownChannels) {
    Rig rig;
    rig.login();
    rig.controller->press(splitButton(1));  // channels 0-3 on screen
    std::vector<int> picked;
    for (int i = 0; i < 5; ++i) {
        rig.controller->press(ControlId::SelAudio);
        picked.push_back(rig.controller->audioChoice().selected());
    }
    const int first = picked[0];
    ASSERT_GE(first, 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(picked[static_cast<std::size_t>(i)], (first + i) % 4) << i;
}

TEST(ClientController, WithoutLiveViewButtonsChangeTheWallOnly) {
    Rig rig;
    rig.controller->start();
    rig.controller->press(splitButton(1));
    EXPECT_EQ(rig.wall.view().layout(), 1);
    rig.controller->press(ControlId::Freeze);  // disabled outside live view
    rig.controller->press(ControlId::Live);
    rig.controller->press(ControlId::Mike);
    EXPECT_EQ(rig.controller->freezePresses(), 0);
    EXPECT_TRUE(rig.view.notices.empty());
}

TEST(ClientController, LiveButtonStopsAndRestartsLiveViewButNotInRemotePlayback) {
    Rig rig;
    rig.login();
    rig.wall.setDisplayMode(media::DisplayMode::RemotePlayback);
    rig.controller->press(ControlId::Live);
    EXPECT_TRUE(rig.controller->session()->liveOn());
    rig.wall.setDisplayMode(media::DisplayMode::Live);

    rig.controller->press(ControlId::Live);
    EXPECT_TRUE(rig.peer->readUntil(Code::LIVE_STOP));
    EXPECT_FALSE(rig.controller->session()->liveOn());
    rig.controller->press(ControlId::Live);
    const auto request = rig.peer->readUntil(Code::LIVE_REQ);
    ASSERT_TRUE(request);
    EXPECT_EQ(maskOf(*request), 0xFFFFu);

    rig.controller->press(ControlId::Connect);  // connected: disconnects
    EXPECT_EQ(rig.controller->session(), nullptr);
    EXPECT_FALSE(rig.enabled(ControlId::Live));
}

TEST(ClientController, FreezeButtonTogglesAndCountsInLiveView) {
    Rig rig;
    rig.login();
    ASSERT_TRUE(rig.enabled(ControlId::Freeze));  // the session's login start released it
    rig.controller->press(ControlId::Freeze);
    EXPECT_TRUE(rig.controller->session()->frozen());
    EXPECT_TRUE(rig.pressed(ControlId::Freeze));
    // While frozen, a channel change waits and repaints.
    const int repaints = rig.view.repaints;
    rig.controller->press(channelButton(2));
    EXPECT_EQ(rig.view.repaints, repaints + 1);
    EXPECT_EQ(rig.pauses.back(), kFrozenRepaintDelay);
    rig.controller->press(ControlId::Freeze);
    EXPECT_FALSE(rig.controller->session()->frozen());
    EXPECT_FALSE(rig.pressed(ControlId::Freeze));
    EXPECT_EQ(rig.controller->freezePresses(), 2);
}

TEST(ClientController, AudioButtonSendsTheOppositeOfTheSessionFlag) {
    Rig rig;
    rig.login();
    rig.controller->press(ControlId::Audio);
    const auto request = rig.peer->readUntil(Code::AUDIO_ONOFF_REQ);
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->header.audioOn());
    EXPECT_TRUE(request->payload.empty());
}

TEST(ClientController, OsdCyclesCaptionStylesAndSoundMutes) {
    Rig rig;
    rig.controller->start();
    for (int expected : {1, 2, 0}) {
        rig.controller->press(ControlId::Osd);
        EXPECT_EQ(rig.wall.painter().captionStyle(), expected);
    }
    rig.controller->press(ControlId::Sound);
    EXPECT_TRUE(rig.mixer.mute);
    EXPECT_TRUE(rig.pressed(ControlId::Sound));
    EXPECT_FALSE(rig.enabled(ControlId::VolumeSlider));
    rig.controller->press(ControlId::Sound);
    EXPECT_FALSE(rig.mixer.mute);
    EXPECT_TRUE(rig.enabled(ControlId::VolumeSlider));
    rig.controller->sliderMoved(ControlId::VolumeSlider, 500);
    EXPECT_EQ(rig.mixer.level, 500);
}

TEST(ClientController, FullScreenGoesToTheMonitorUnderTheWindowCentre) {
    Rig rig;
    rig.controller->start();
    const media::WallRect left{0, 0, 1920, 1080}, right{1920, 0, 3840, 1080};
    rig.controller->setMonitors({left, right});
    rig.view.window = {2000, 100, 2928, 812};
    rig.controller->press(ControlId::Full);
    ASSERT_TRUE(rig.wall.view().fullScreen());
    EXPECT_EQ(rig.wall.view().placement(), right);
    EXPECT_EQ(rig.view.full_screen_changes, 1);
    rig.controller->press(ControlId::Full);  // already full screen: ignored
    EXPECT_EQ(rig.view.full_screen_changes, 1);

    rig.controller->leaveFullScreen();
    EXPECT_FALSE(rig.wall.view().fullScreen());
    EXPECT_EQ(rig.wall.view().placement(), (media::WallRect{54, 67, 874, 661}));
    EXPECT_EQ(rig.view.full_screen_changes, 2);
    rig.controller->leaveFullScreen();
    EXPECT_EQ(rig.view.full_screen_changes, 2);
}

// A double click on the wall changes the view without a button: the split
// buttons, the channel buttons and the recorder follow.
TEST(ClientController, DoubleClickSingleViewUpdatesButtonsAndTheRecorder) {
    Rig rig;
    rig.login();
    const auto pane = rig.wall.view().paneAt(300, 200);
    ASSERT_TRUE(pane);
    ASSERT_EQ(rig.wall.view().doubleClick(pane), media::DoubleClickResult::SingleView);
    rig.controller->wallViewChanged();
    const std::uint16_t shown = rig.wall.view().visibleChannels();
    ASSERT_EQ(std::popcount(shown), 1);
    EXPECT_TRUE(rig.pressed(splitButton(0)));
    EXPECT_FALSE(rig.pressed(splitButton(8)));
    EXPECT_TRUE(rig.pressed(channelButton(std::countr_zero(shown))));
    const auto request = rig.peer->readUntil(Code::LIVE_REQ);
    ASSERT_TRUE(request);
    EXPECT_EQ(maskOf(*request), shown);

    ASSERT_EQ(rig.wall.view().doubleClick(pane), media::DoubleClickResult::Restored);
    rig.controller->wallViewChanged();
    EXPECT_TRUE(rig.pressed(splitButton(8)));
    for (int k = 0; k < kChannelButtons; ++k) EXPECT_FALSE(rig.pressed(channelButton(k))) << k;
}

class FakeSaveJob final : public SaveJob {
public:
    explicit FakeSaveJob(int& stops) : stops_(stops) {}
    bool finished() const override { return done; }
    void stop() override { ++stops_; }
    bool done = false;

private:
    int& stops_;
};

TEST(ClientController, SaveJobsFillSixteenSlotsAndTheTimerEndsWithTheLast) {
    Rig rig;
    rig.controller->start();
    int stops = 0;
    std::vector<FakeSaveJob*> jobs;
    std::vector<std::unique_ptr<SaveJob>> batch;
    for (int i = 0; i < 18; ++i) {
        auto job = std::make_unique<FakeSaveJob>(stops);
        jobs.push_back(job.get());
        batch.push_back(std::move(job));
    }
    const auto refused = rig.controller->startSaveJobs(std::move(batch));
    EXPECT_EQ(refused.size(), 2u);  // the slots are full
    EXPECT_EQ(rig.controller->runningSaveJobs(), 16u);
    EXPECT_TRUE(rig.view.save_timer);
    EXPECT_FALSE(rig.enabled(ControlId::Save));
    EXPECT_EQ(rig.log.entries().back().category, session::LogCategory::Local);
    EXPECT_EQ(rig.log.entries().back().action, 2u);

    for (int i = 0; i < 15; ++i) jobs[static_cast<std::size_t>(i)]->done = true;
    rig.controller->saveJobTick();
    EXPECT_EQ(stops, 15);
    EXPECT_EQ(rig.controller->runningSaveJobs(), 1u);
    EXPECT_TRUE(rig.view.save_timer);
    jobs[15]->done = true;
    rig.controller->saveJobTick();
    EXPECT_EQ(rig.controller->runningSaveJobs(), 0u);
    EXPECT_FALSE(rig.view.save_timer);
    EXPECT_TRUE(rig.enabled(ControlId::Save));
}

TEST(ClientController, LoadOpensTheImageDialogButNotWhileADownloadRuns) {
    Rig rig;
    rig.login();
    rig.controller->press(ControlId::Load);
    EXPECT_EQ(rig.view.image_loads, 1);
    const session::DownloadRange range{0x0001, session::kAllRecordingKinds, 1'700'000'000, 1'700'003'600};
    ASSERT_TRUE(rig.controller->session()->downloadStart(
        range, [](std::int32_t, std::function<void(const session::ArchivePairClosed&)>) {
            return std::unique_ptr<session::ArchiveStore>();
        }));
    ASSERT_TRUE(rig.controller->session()->downloading());
    rig.controller->press(ControlId::Load);
    EXPECT_EQ(rig.view.image_loads, 1);
}

TEST(ClientController, RSetupOpensTheRecordersPagesForTheFirstAccountOfOldRecorders) {
    Rig rig;
    rig.login(0, 0);
    rig.controller->press(ControlId::RSetup);
    ASSERT_EQ(rig.view.browsed.size(), 1u);
    EXPECT_EQ(rig.view.browsed[0], "http://127.0.0.1:8080/webdb/webdb.cgi?key=a0a1a2a3a4a5a6a7");
    rig.view.browser_works = false;
    rig.controller->press(ControlId::RSetup);
    ASSERT_EQ(rig.view.boxes.size(), 1u);
    EXPECT_EQ(rig.view.boxes[0], "Remote Setup Error!!!");
}

TEST(ClientController, RSetupIsRefusedWithoutTheRightAndIdleWithoutASession) {
    Rig idle;
    idle.controller->start();
    idle.controller->press(ControlId::RSetup);
    EXPECT_TRUE(idle.view.browsed.empty());
    EXPECT_TRUE(idle.view.notices.empty());

    Rig rig;
    rig.login(1, 0);  // not the first account
    rig.controller->press(ControlId::RSetup);
    EXPECT_TRUE(rig.view.browsed.empty());
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_TRUE(rig.view.notices[0].notice.is(session::NoticeKind::NotAllowed));
}

TEST(ClientController, RSearchFollowsTheAccountOnFirstVersionRecorders) {
    Rig idle;
    idle.controller->start();
    idle.controller->press(ControlId::RSearch);
    EXPECT_EQ(idle.view.searches, 0);

    Rig searcher;
    searcher.login(2, 0);
    searcher.controller->press(ControlId::RSearch);
    EXPECT_EQ(searcher.view.searches, 1);

    Rig other;
    other.login(1, 0);
    other.controller->press(ControlId::RSearch);
    EXPECT_EQ(other.view.searches, 0);
    ASSERT_EQ(other.view.notices.size(), 1u);
    EXPECT_TRUE(other.view.notices[0].notice.is(session::NoticeKind::NotAllowed));
}

TEST(ClientController, FirmUpOpensTheUpgradeOnlyWithALoggedInSession) {
    Rig idle;
    idle.controller->start();
    idle.controller->press(ControlId::FirmUp);
    EXPECT_EQ(idle.view.firmware, 0);

    Rig logged_in;
    logged_in.login(1, 0);
    logged_in.controller->press(ControlId::FirmUp);
    EXPECT_EQ(logged_in.view.firmware, 1);
    EXPECT_TRUE(logged_in.view.notices.empty());  // no right is asked for
}

TEST(ClientController, SearchAnswersReachTheOpenSearchDialogOnly) {
    struct Requests final : SearchRequests {
        void searchMonth() override { ++months; }
        void searchDay(int, int, int) override {}
        void searchEvents(std::uint32_t, std::uint32_t) override {}
        int months = 0;
    } requests;
    struct View final : RemoteSearchView {
        void stateChanged() override {}
        void openCalendar() override { ++calendars; }
        void openTimeline() override {}
        void closeTimeline(std::chrono::milliseconds) override {}
        void openEventList() override {}
        void showNotice(session::Notice) override {}
        void closeDialog() override { closed = true; }
        int calendars = 0;
        bool closed = false;
    } view;

    Rig rig;
    rig.login(0, 0);
    std::vector<std::uint8_t> month(376, 0);
    month[2] = 0x07;  // 2024
    month[3] = 0xE8;
    month[4] = 1;
    rig.controller->handle(session::SearchAnswer{session::SearchKind::Month, month});  // no dialog: dropped

    RemoteSearchSetup setup{requests, *rig.controller, view, *rig.controller->session()->identity()};
    setup.current_year = 2024;
    RemoteSearchHub hub(setup);
    rig.controller->setRemoteSearch(&hub);
    hub.openCalendarSearch();
    rig.controller->handle(session::SearchAnswer{session::SearchKind::Month, month});
    EXPECT_EQ(view.calendars, 1);
    EXPECT_FALSE(hub.pending());
    // A disconnect closes the dialog before the session goes.
    rig.controller->press(ControlId::Connect);
    EXPECT_TRUE(view.closed);
    rig.controller->setRemoteSearch(nullptr);  // the hub goes first, as the dialog's does
}

TEST(ClientController, OneNoticeAtATimeAndKindTwoDisconnectsFirst) {
    Rig rig;
    rig.login();
    rig.controller->requestNotice({0x0E, 0});
    rig.controller->requestNotice({0x09, 0});  // dropped, not queued
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_EQ(rig.view.notices[0].notice.kind, 0x0E);

    // Kind 2 disconnects even while its own box cannot be shown.
    rig.controller->handle(session::WindowPost{session::WindowMessage::Notice, session::Owner::MainWindow, 0, 0x20000});
    EXPECT_EQ(rig.controller->session(), nullptr);
    EXPECT_EQ(rig.view.notices.size(), 1u);

    rig.controller->noticeClosed();
    rig.controller->handle(session::Notice{0x02, 0});
    ASSERT_EQ(rig.view.notices.size(), 2u);
    EXPECT_EQ(rig.view.notices[1].notice.kind, 0x02);
}

TEST(ClientController, VerInfoShowsTheProgramVersion) {
    Rig rig;
    rig.controller->start();
    rig.controller->press(ControlId::VerInfo);
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_TRUE(rig.view.notices[0].notice.is(session::NoticeKind::Version));
    EXPECT_EQ(rig.view.notices[0].message, "Kalix client 1.2.3.4");
}

TEST(ClientController, MikeSendsOneTalkRequestWithinTwoSeconds) {
    Rig rig;
    rig.login();
    rig.controller->press(ControlId::Mike);
    rig.clock += 1999ms;
    rig.controller->press(ControlId::Mike);
    EXPECT_TRUE(rig.peer->readUntil(Code::A_LISTEN_REQ));
    EXPECT_FALSE(rig.peer->readUntil(Code::A_LISTEN_REQ, 200ms));
    rig.clock += 1ms;
    rig.controller->press(ControlId::Mike);
    EXPECT_TRUE(rig.peer->readUntil(Code::A_LISTEN_REQ));

    // Accepted: the microphone runs and the button shows it; the next press
    // stops the talk.
    rig.controller->handle(session::WindowPost{session::WindowMessage::TalkAccepted});
    EXPECT_TRUE(rig.controller->session()->talking());
    EXPECT_TRUE(rig.pressed(ControlId::Mike));
    rig.controller->press(ControlId::Mike);
    EXPECT_TRUE(rig.peer->readUntil(Code::A_LISTEN_STOP_REQ));
    EXPECT_FALSE(rig.controller->session()->talking());

    // The recorder ends a talk: the microphone stops, nothing is sent.
    rig.controller->handle(session::WindowPost{session::WindowMessage::TalkAccepted});
    ASSERT_TRUE(rig.controller->session()->talking());
    rig.controller->handle(session::WindowPost{session::WindowMessage::TalkEnded});
    EXPECT_FALSE(rig.controller->session()->talking());
    EXPECT_FALSE(rig.pressed(ControlId::Mike));
}

TEST(ClientController, MikeIsRefusedForNonAdministratorAccounts) {
    Rig rig;
    rig.login(1);
    rig.controller->press(ControlId::Mike);
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_TRUE(rig.view.notices[0].notice.is(session::NoticeKind::NotAllowed));
    EXPECT_FALSE(rig.peer->readUntil(Code::A_LISTEN_REQ, 200ms));
}

TEST(ClientController, QuitStopsLiveViewBeforeClosingTheSession) {
    Rig rig;
    rig.login();
    rig.controller->press(ControlId::Quit);
    EXPECT_EQ(rig.view.ended, 1);
    rig.pauses.clear();
    rig.controller->shutdown();
    EXPECT_TRUE(rig.peer->readUntil(Code::LIVE_STOP));
    EXPECT_EQ(rig.controller->session(), nullptr);
    EXPECT_EQ(rig.pauses, (std::vector<std::chrono::milliseconds>{kShutdownStepPause, kShutdownStepPause}));
    EXPECT_EQ(rig.controller->audioChoice().selected(), -1);
}

}  // namespace
}  // namespace kalix::app

namespace kalix::app {
namespace {

// A RIGHT_CHANGE naming "admin" in slot 0 with these rights rows.
std::vector<std::uint8_t> adminRights(std::array<std::uint8_t, 9> rows) {
    std::vector<std::uint8_t> p(session::kRightChangeSize, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) p[r * 8] = rows[r];
    const char name[] = "admin";
    std::copy(name, name + 5, p.begin() + 72);
    return p;
}

TEST(ClientControllerRights, ButtonsFollowTheRightsAndRecordFollowsTheRecorder) {
    Rig rig;
    rig.login(0, 2);
    rig.peer->send(Code::RIGHT_CHANGE, adminRights({0, 0, 1, 1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(1));
    rig.pump();
    EXPECT_FALSE(rig.enabled(ControlId::Record));
    EXPECT_FALSE(rig.enabled(ControlId::RSetup));
    EXPECT_TRUE(rig.enabled(ControlId::RSearch));
    // The recording state shows on the button but does not enable it.
    rig.peer->send(Code::REC_STATUS, std::vector<std::uint8_t>(16, 0));
    ASSERT_TRUE(rig.sink.waitFor([](const std::vector<session::Event>& es) {
        return std::ranges::any_of(es, [](const session::Event& e) {
            const auto* c = std::get_if<session::ControlState>(&e);
            return c != nullptr && c->control == ControlId::Record;
        });
    }));
    rig.pump();
    EXPECT_TRUE(rig.pressed(ControlId::Record));
    EXPECT_FALSE(rig.enabled(ControlId::Record));

    rig.peer->send(Code::RIGHT_CHANGE, adminRights({1, 1, 0, 0, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(2));
    rig.pump();
    EXPECT_TRUE(rig.enabled(ControlId::Record));
    EXPECT_TRUE(rig.enabled(ControlId::RSetup));
    EXPECT_FALSE(rig.enabled(ControlId::RSearch));

    // Recording (REC_STATUS above): the button switches it off, then on.
    rig.controller->press(ControlId::Record);
    ASSERT_TRUE(rig.peer->readUntil(Code::REC_OFF_REQ));
    rig.peer->send(Code::REC_OFF_ACK, session::testing::word(50));
    ASSERT_TRUE(rig.sink.waitForCount<session::AdminAnswer>(1));
    rig.pump();
    EXPECT_FALSE(rig.pressed(ControlId::Record));
    rig.controller->press(ControlId::Record);
    ASSERT_TRUE(rig.peer->readUntil(Code::REC_ON_REQ));

    rig.controller->press(ControlId::Connect);  // disconnect: nothing is decided by rights any more
    EXPECT_TRUE(rig.enabled(ControlId::RSearch));
    EXPECT_FALSE(rig.pressed(ControlId::Record));
}

TEST(ClientControllerRights, CovertAndForbiddenChannelsLeaveTheWall) {
    Rig rig;
    rig.login(0, 2);
    std::vector<std::uint8_t> db(session::kDbChangeSize, 0);
    db[4 + 1] = 1;  // channel 2 covert
    rig.peer->send(Code::DB_CHANGE, db);
    std::vector<std::uint8_t> live(session::kNetLiveSize, 1);
    live[5] = 0;  // slot 0 may not watch channel 6
    rig.peer->send(Code::NETLIVE_CH_CHANGE, live);
    rig.peer->send(Code::RIGHT_CHANGE, adminRights({1, 1, 1, 1, 1, 0, 1, 1, 1}));
    // The channels are hidden again just after the rights are applied.
    const auto hiddenBecomes = [&rig](std::uint16_t mask) {
        for (int i = 0; i < 300; ++i) {
            rig.pump();
            if (rig.wall.view().hiddenChannels() == mask) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(1));
    EXPECT_TRUE(hiddenBecomes(0b10'0010u)) << rig.wall.view().hiddenChannels();
    EXPECT_EQ(rig.controller->mayReboot(), true);

    rig.peer->send(Code::RIGHT_CHANGE, adminRights({1, 1, 1, 1, 1, 1, 1, 0, 1}));
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(2));
    EXPECT_TRUE(hiddenBecomes(0b10'0000u)) << rig.wall.view().hiddenChannels();
    EXPECT_FALSE(rig.controller->mayReboot());
    rig.controller->rebootRecorder();  // refused by the session: notice 0x0F, nothing sent
    ASSERT_TRUE(rig.sink.waitForNotice(0xF0000));
    rig.controller->initialiseDatabase();
    EXPECT_TRUE(rig.peer->readUntil(Code::DB_INIT_REQ));
}


// ---------------------------------------------------------------- PTZ

using Bytes = std::vector<std::uint8_t>;

std::optional<Bytes> nextPtz(Rig& rig, Code code) {
    const auto m = rig.peer->readUntil(code);
    if (!m) return std::nullopt;
    return m->payload;
}

// The recorder says the PTZ channel has a camera (or not).
void answerPtz(Rig& rig, bool ptz, std::size_t nth) {
    rig.peer->send(Code::PTZ_CHANNEL_ACK, Bytes{static_cast<std::uint8_t>(ptz ? 1 : 0), 0, 0, 0});
    ASSERT_TRUE(rig.sink.waitForCount<session::PtzChannelAnswer>(nth));
    rig.pump();
}

TEST(ClientControllerPtz, ZoomOpensThePanelWhoseArrowsWaitForTheRecorder) {
    Rig rig;
    rig.login(0, 0);
    rig.controller->press(ControlId::Zoom);
    EXPECT_EQ(nextPtz(rig, Code::PTZ_CHANNEL_REQ), (Bytes{0, 1, 0, 0}));  // channel 0 in the zoom form
    EXPECT_TRUE(rig.pressed(ControlId::Zoom));
    EXPECT_FALSE(rig.pressed(ControlId::Pan));
    PtzPanels& panels = rig.controller->ptzPanels();
    EXPECT_FALSE(panels.arrowsEnabled());

    answerPtz(rig, true, 1);
    EXPECT_TRUE(panels.arrowsEnabled());
    EXPECT_GT(rig.view.ptz_changes, 0);
    panels.arrowPressed(session::PtzArrow::Left);
    panels.arrowReleased();
    EXPECT_EQ(nextPtz(rig, Code::PTZ_MOVE_REQ), (Bytes{7, 0, 0, 0}));
    EXPECT_TRUE(nextPtz(rig, Code::PTZ_MOVE_STOP));

    rig.controller->press(ControlId::Zoom);  // closes it
    EXPECT_FALSE(panels.panelOpen());
    EXPECT_FALSE(rig.pressed(ControlId::Zoom));

    // Without live view the buttons do nothing.
    rig.controller->press(ControlId::Live);
    rig.controller->press(ControlId::Pan);
    EXPECT_FALSE(panels.panelOpen());
}

TEST(ClientControllerPtz, TheChannelIsTheShownOneAndFollowsTheChannelButtons) {
    Rig rig;
    rig.login(0, 0);
    rig.controller->press(channelButton(5));
    rig.controller->press(ControlId::Pan);
    EXPECT_EQ(nextPtz(rig, Code::PTZ_CHANNEL_REQ), (Bytes{5, 0, 0, 0}));
    answerPtz(rig, true, 1);

    // A stale answer (for another channel) changes nothing.
    rig.controller->press(channelButton(9));
    EXPECT_EQ(nextPtz(rig, Code::PTZ_CHANNEL_REQ), (Bytes{9, 0, 0, 0}));
    EXPECT_FALSE(rig.controller->ptzPanels().arrowsEnabled());
    rig.controller->handle(session::PtzChannelAnswer{5, true});
    EXPECT_FALSE(rig.controller->ptzPanels().arrowsEnabled());
    answerPtz(rig, false, 2);  // channel 9 has no PTZ
    EXPECT_FALSE(rig.controller->ptzPanels().arrowsEnabled());
    rig.controller->ptzPanels().arrowPressed(session::PtzArrow::Up);
    EXPECT_FALSE(rig.controller->ptzPanels().holding());
}

TEST(ClientControllerPtz, LiveStopEndsAPendingLearnFirstAndDomeModeKeepsTheWall) {
    Rig rig;
    rig.login(0, 0);
    rig.controller->press(ControlId::Pan);
    ASSERT_TRUE(nextPtz(rig, Code::PTZ_CHANNEL_REQ));
    answerPtz(rig, true, 1);
    PtzPanels& panels = rig.controller->ptzPanels();

    // The dome menu: channel and split buttons are ignored until X.
    panels.centrePressed();
    panels.keypadDome();
    rig.controller->ptzChanged();
    EXPECT_EQ(nextPtz(rig, Code::PTZ_MOVE_REQ), (Bytes{13, 0, 0, 0}));
    rig.controller->press(channelButton(3));
    rig.controller->press(splitButton(0));
    EXPECT_EQ(rig.wall.view().layout(), kSixteenPaneLayout);
    panels.domeClose();
    EXPECT_EQ(nextPtz(rig, Code::PTZ_MOVE_REQ), (Bytes{16, 0, 0, 0}));
    rig.controller->press(splitButton(0));
    EXPECT_EQ(rig.wall.view().layout(), kSplitLayouts[0]);

    panels.centrePressed();
    panels.keypad().learnButton();
    panels.keypadSet();
    panels.keypad().digit(4);
    panels.keypadOk();
    EXPECT_EQ(nextPtz(rig, Code::PTZ_MOVE_REQ), (Bytes{10, 4, 0, 0}));
    rig.controller->press(ControlId::Live);
    EXPECT_EQ(nextPtz(rig, Code::PTZ_MOVE_REQ), (Bytes{11, 4, 0, 0}));
    EXPECT_TRUE(rig.peer->readUntil(Code::LIVE_STOP));
    EXPECT_FALSE(panels.panelOpen());
    EXPECT_FALSE(rig.pressed(ControlId::Pan));
    EXPECT_EQ(rig.controller->session()->ptz().state(), session::PtzState::NotAsked);
}

TEST(ClientControllerPtz, TheRightIsCheckedOnNewerRecordersAndItsLossClosesEverything) {
    Rig rig;
    rig.login(0, 2);
    rig.peer->send(Code::RIGHT_CHANGE, adminRights({1, 1, 1, 1, 0, 1, 1, 1, 1}));
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(1));
    rig.pump();
    rig.controller->press(ControlId::Pan);
    EXPECT_FALSE(rig.controller->ptzPanels().panelOpen());
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_TRUE(rig.view.notices[0].notice.is(session::NoticeKind::NotAllowed));
    rig.controller->noticeClosed();

    rig.peer->send(Code::RIGHT_CHANGE, adminRights({1, 1, 1, 1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(2));
    rig.pump();
    rig.controller->press(ControlId::Pan);
    ASSERT_TRUE(nextPtz(rig, Code::PTZ_CHANNEL_REQ));
    answerPtz(rig, true, 1);
    PtzPanels& panels = rig.controller->ptzPanels();
    panels.arrowPressed(session::PtzArrow::Down);
    EXPECT_EQ(nextPtz(rig, Code::PTZ_MOVE_REQ), (Bytes{3, 0, 0, 0}));

    // The right withdrawn while the camera moves: it stops, the panel closes.
    rig.peer->send(Code::RIGHT_CHANGE, adminRights({1, 1, 1, 1, 0, 1, 1, 1, 1}));
    ASSERT_TRUE(rig.sink.waitForCount<session::RightsApplied>(3));
    rig.pump();
    EXPECT_TRUE(nextPtz(rig, Code::PTZ_MOVE_STOP));
    EXPECT_FALSE(panels.panelOpen());
    EXPECT_FALSE(rig.pressed(ControlId::Pan));
}

}  // namespace
}  // namespace kalix::app
