#pragma once
// The main window's behaviour without its widgets: what every control does
// in each display mode, the state of every button, the notice box rule,
// start-up and shutdown. The Qt front end renders the button model, forwards
// presses by control number, and hands over the session's events on the
// user-interface thread. Everything here runs on that one thread.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/audio_channel_choice.h"
#include "app/local_playback.h"
#include "app/mixer_control.h"
#include "app/operation_log.h"
#include "app/playback_display.h"
#include "app/playback_session.h"
#include "app/ptz_panels.h"
#include "app/remote_play_state.h"
#include "app/remote_search.h"
#include "app/string_uses.h"
#include "media/audio/sound_in.h"
#include "media/video/video_wall.h"
#include "session/dvr_session.h"
#include "session/event_sink.h"
#include "session/operation_log_sink.h"

namespace kalix::app {

using session::ControlId;

inline constexpr int kChannelButtons = 16;
inline constexpr int kSplitButtons = 9;
inline constexpr int kPlaybackButtons = 7;
// Wall layout codes of the split buttons 320-328, in order.
inline constexpr std::array<int, kSplitButtons> kSplitLayouts{0, 1, 2, 3, 5, 6, 7, 13, 14};
inline constexpr int kSixteenPaneLayout = 14;

inline constexpr std::uint32_t kInitialVolume = 40000;
inline constexpr std::chrono::milliseconds kTalkRequestSpacing{2000};
inline constexpr std::chrono::milliseconds kFrozenRepaintDelay{300};
inline constexpr std::chrono::milliseconds kShutdownStepPause{100};

inline constexpr std::uint16_t kVersionStringId = app::stringNumber("version notice: label");
inline constexpr std::size_t kMaxAddressChars = 132;
inline constexpr std::size_t kMaxUserChars = 16;
inline constexpr std::size_t kMaxPasswordChars = 16;
inline constexpr std::size_t kMaxDescriptionChars = 260;

constexpr ControlId channelButton(int k) { return static_cast<ControlId>(300 + k); }
constexpr ControlId splitButton(int i) { return static_cast<ControlId>(320 + i); }
constexpr ControlId playbackButton(int i) { return static_cast<ControlId>(340 + i); }

// The event-jump bar's buttons. In remote playback only the previous and
// next event act (on the recorder), and only when the playback started at
// an event; the slow-motion, backup-range, bookmark and bookmark-list
// buttons belong to local playback here.
enum class EventJumpButton : std::uint16_t {
    SlowBackward = 1011,
    SlowForward = 1012,
    MarkRange = 1013,
    AddBookmark = 1014,
    Bookmarks = 1015,
    PreviousEvent = 1016,
    NextEvent = 1017,
};
inline constexpr int kEventJumpButtons = 7;
constexpr EventJumpButton eventJumpButton(int i) { return static_cast<EventJumpButton>(1011 + i); }

inline constexpr std::size_t kSaveJobSlots = 16;
inline constexpr std::chrono::milliseconds kSaveJobPoll{1000};

// What the Save button's jobs share (app/still_saver.h).
struct StillSaveOptions;

// A running picture-save job (one pane's picture being written to a file).
class SaveJob {
public:
    virtual ~SaveJob() = default;
    virtual bool finished() const = 0;
    virtual void stop() = 0;  // called once it has finished, before it goes
};

struct ButtonState {
    bool enabled = true;
    bool pressed = false;  // the pressed face (Sound: the muted face)
    friend bool operator==(const ButtonState&, const ButtonState&) = default;
};

// The four 16-bit parts of the program's version.
struct ProgramVersion {
    std::array<std::uint16_t, 4> parts{};
    std::string text() const;  // " a.b.c.d"
};

// What the connect dialog's OK hands over.
struct ConnectRequest {
    std::string address;
    std::uint16_t port = session::kDefaultPort;
    std::string user;
    std::string password;
    std::string description;
};

// The notice box on screen: its kind and detail, and its two lines.
struct NoticeBox {
    session::Notice notice;
    std::string title;
    std::string message;
};


// What the controller asks of the window. Calls come on the UI thread.
class ClientView {
public:
    virtual ~ClientView() = default;
    virtual void buttonsChanged() = 0;  // re-read buttonState() of every control
    virtual void repaintWall() = 0;
    virtual void openConnectDialog() = 0;  // modal; OK calls connectTo()
    virtual void openLocalSetup() = 0;     // modal; OK applies the settings
    virtual void showNotice(const NoticeBox& box) = 0;  // closing it calls noticeClosed()
    virtual void showMessageBox(const std::string& text) = 0;
    virtual void minimise() = 0;
    virtual void endDialog() = 0;  // Quit: the window closes; then shutdown()
    virtual media::WallRect windowRect() const = 0;  // the main window on the desktop
    // The wall went full screen (or came back): the window moves it.
    virtual void wallFullScreenChanged() {}
    // Opens an address in the desktop's web browser; false when it cannot.
    virtual bool openBrowser(const std::string& url) = 0;
    // The save-job timer: saveJobTick() every kSaveJobPoll while it runs.
    virtual void startSaveJobTimer() {}
    virtual void stopSaveJobTimer() {}
    // Remote playback: the status strip, the position bar and the time
    // display read playbackStatus() again.
    virtual void playbackChanged() {}
    // The time display (auxiliary window): created once per playback.
    virtual void openTimeDisplay() {}
    virtual void closeTimeDisplay() {}
    // The event-jump bar: a new one replaces one already open.
    virtual void openEventJumpBar() {}
    virtual void closeEventJumpBar() {}
    // RSearch: the remote search dialog opens (application-modal); the
    // window hands its hub over with setRemoteSearch().
    virtual void openRemoteSearch() {}
    // FirmUp: the upgrade folder is scanned and, after the operator's OK,
    // the upgrade window opens; nothing while one is open.
    virtual void openFirmware() {}
    // LSearch: the local search (archive pairs, bookmarks, export) opens.
    virtual void openLocalSearch() {}
    // Load: the image file dialog with its preview; a chosen file opens in
    // the image viewer.
    virtual void openImageLoad() {}
    // The PTZ panel, preset keypad or dome pad opened, closed or changed:
    // the window shows what ptzPanels() says.
    virtual void ptzWindowsChanged() {}
};

struct ControllerDeps {
    media::VideoWall& wall;
    ClientView& view;
    MixerControl& mixer;
    // Creates a session and starts its connection (DvrSession::connect).
    std::function<std::unique_ptr<session::DvrSession>(const ConnectRequest&)> make_session{};
    // The microphone handed to the session once the recorder accepts talk.
    std::function<std::unique_ptr<media::SoundIn>()> make_capture{};
    session::OperationLogSink* log = nullptr;
    // String table of the resource bundle; empty text when missing.
    std::function<std::string(std::uint16_t id)> strings{};
    ProgramVersion version{};
    StorageMode storage = StorageMode::Writable;
    std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
    // The pauses the window keeps on its own thread (shutdown steps, the
    // repaint after a channel change while frozen).
    std::function<void(std::chrono::milliseconds)> pause{};
    // Stands in for the session's remote playback (tests); none: the
    // controller's own session.
    PlaybackSession* playback = nullptr;
    // The archive folder local playback reads ("Download" below the
    // storage location); empty: no local playback.
    std::function<std::filesystem::path()> archive_folder{};
    // Local playback's sound output and its AudioBuf setting; none: silent.
    std::function<std::unique_ptr<media::SoundOutput>()> make_sound_output{};
    std::function<std::uint8_t()> local_audio_buf{};
    // The local setup's Watermark setting: local playback checks watermarks.
    std::function<bool()> watermark_check{};
    // Save: the folder, format and caption date order of the stills as the
    // settings say now; none: Save saves nothing.
    std::function<StillSaveOptions()> still_options{};
};

// The playback bar's mode for a local player state (slow states as their direction).
session::PlayMode localPlayMode(player::Command state);

class ClientController final : public RemotePlayStarter {
public:
    explicit ClientController(ControllerDeps deps);
    ~ClientController() override;
    ClientController(const ClientController&) = delete;
    ClientController& operator=(const ClientController&) = delete;

    // Start-up after the window exists: mixer saved and unmuted, volume and
    // buttons set, 16-pane layout, log entry (1, 1), then the Connect action.
    void start();
    // Monitors in enumeration order; the first four are kept.
    void setMonitors(const std::vector<media::WallRect>& monitors);

    // A control was pressed (buttons) or released at `position` (sliders).
    void press(ControlId control);
    void sliderMoved(ControlId slider, std::uint32_t position);
    void connectTo(const ConnectRequest& request);
    // The operator changed the wall's view on the wall itself (a double
    // click into or out of single view): buttons, recorder and audio
    // channel follow as after a split button.
    void wallViewChanged();
    // Leaves full screen (the full-screen bar, right button, Enter, Esc).
    void leaveFullScreen();

    // Save: the picture saver hands over the jobs it started, filling free
    // slots (the Save button is disabled and the poll timer started); jobs
    // beyond the free slots are refused and returned. Each tick stops and
    // deletes the finished jobs; once every slot is free the timer stops and
    // Save is enabled again.
    std::vector<std::unique_ptr<SaveJob>> startSaveJobs(std::vector<std::unique_ptr<SaveJob>> jobs);
    void saveJobTick();
    std::size_t runningSaveJobs() const;

    // An event from the session, on the UI thread.
    void handle(const session::Event& event);
    // The open remote search dialog's hub, which gets the search answers
    // and the search dialog's window messages; null when it is closed (and
    // they are dropped).
    void setRemoteSearch(RemoteSearchHub* hub) { remote_search_ = hub; }
    RemoteSearchHub* remoteSearch() const { return remote_search_; }
    // An operator notice from any part of the program.
    void requestNotice(session::Notice notice);
    void noticeClosed();

    // The shutdown after the dialog ended: session requests and close, the
    // wall, log entry (1, 2), mixer put back. Idempotent.
    void shutdown();

    // -- RemotePlayStarter (the search windows) --
    bool startRemotePlayback(const session::PlayStart& request, RemotePlayInit init) override;
    bool startEventPlayback(const session::EventPlayStart& request, RemotePlayInit init) override;
    const RemotePlayState& remotePlayState() const override { return play_state_; }
    void clearRemotePlayState() override;
    void setRemotePlayChannels(std::uint32_t mask) override { play_state_.setChannelMask(mask); }
    bool remotePlaybackShown() const override;
    bool localPlaybackActive() const override;
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override;

    // Remote playback as the status strip and the time display show it;
    // none outside remote playback.
    std::optional<PlaybackStatus> playbackStatus() const;
    // The window's 100 ms redraw tick: the playback position is taken over
    // into the remote-play state.
    void playbackTick();
    // -- local playback --
    // Starts local playback at t from the archive folder's catalogue (any
    // running local player is stopped first). No segment holds or follows
    // t: notice 0x40000 and false. Refused while remote playback runs.
    bool startLocalPlayback(protocol::RecorderTime t);
    void stopLocalPlayback();
    // The events the event-jump bar walks in local playback, in list order.
    void setLocalEvents(std::vector<JumpEvent> events) { local_events_ = std::move(events); }
    void clearLocalEvents() { local_events_.clear(); }
    std::optional<LocalStatus> localStatus() const;
    // The .vid of the segment playing (bookmarks); empty without a player.
    std::string localPlaybackPath() const;

    // -- PTZ (Pan and Zoom) --
    // The three PTZ windows' behaviour. The windows press through it and
    // then call ptzChanged(), which redraws Pan and Zoom and the windows.
    PtzPanels& ptzPanels() { return ptz_panels_; }
    const PtzPanels& ptzPanels() const { return ptz_panels_; }
    void ptzChanged();

    ButtonState eventJumpState(EventJumpButton button) const;
    void pressEventJump(EventJumpButton button);

    // Reboot and database initialisation, once the operator confirmed them
    // (the view asks). Only with a logged-in session; the reboot needs the
    // reboot right, else notice 0x0F.
    void rebootRecorder();
    void initialiseDatabase();
    bool mayReboot() const;

    ButtonState buttonState(ControlId control) const;
    std::optional<NoticeBox> noticeBox() const { return notice_; }
    bool muted() const { return muted_; }
    std::uint32_t volume() const { return volume_; }
    bool cdMode() const { return storage_ == StorageMode::ReadOnlyMedium; }
    int freezePresses() const { return freeze_presses_; }
    session::DvrSession* session() const { return session_.get(); }
    AudioChannelChoice& audioChoice() { return audio_choice_; }
    // The session's LiveAudio::channels, so receive-thread re-checks and the
    // buttons share one selection.
    session::AudioChannelOwner* audioChannelOwner() { return &audio_choice_; }

private:
    void pressChannel(int k);
    void pressSplit(int index);
    void pressPlayback(int index);
    void pressRemotePlayback(ControlId control);
    void pressLocalPlayback(ControlId control);
    void pressLocalEventJump(EventJumpButton button);
    void stopRemotePlayback();
    void playbackBegan();
    void playbackEnded();
    void showPlayLooks(session::PlayMode mode);
    PlaybackSession* playbackSession() const;
    void pressConnect();
    void pressRSearch();
    void pressFirmUp();
    void pressRSetup();
    void pressRecord();
    // What the recorder's rights and channel tables change in the window.
    void onAdministrationChanged(const session::AdministrationChanged& changed);
    void onRightsApplied(const session::RightsApplied& applied);
    void applyRightButtons();
    void applyHiddenChannels();
    void pressLSetup();
    void pressFull();
    void pressSound();
    void pressSelAudio();
    void pressLive();
    void pressOsd();
    void pressArrange();
    void pressMike();
    void pressAudio();
    void pressSave();
    void pressLoad();
    void disconnect();
    // PTZ: the Pan and Zoom buttons, the channel the commands go to, and
    // the end of everything PTZ (live view stops, rights withdrawn).
    void pressPtzForm(session::PtzForm form);
    void requestPtzChannel();
    void followSelectedChannel(int channel);
    void onPtzAnswer(const session::PtzChannelAnswer& answer);
    void closePtz();
    static std::unique_ptr<PtzLink> sessionPtzLink(const std::unique_ptr<session::DvrSession>& session);

    void resendVisibleMask();
    void afterViewChange();
    void followLayout();
    void highlightShownChannel();
    std::uint32_t availableChannels() const;
    bool liveOn() const;
    bool loggedIn() const;
    void onWindowPost(const session::WindowPost& post);
    void onControlState(const session::ControlState& state);
    NoticeBox composeNotice(session::Notice notice) const;
    std::string text(std::uint16_t id) const;
    void set(ControlId control, ButtonState state);
    void setPressed(ControlId control, bool pressed);
    void setEnabled(ControlId control, bool enabled);
    void writeLog(session::LogCategory category, std::uint32_t action);

    media::VideoWall& wall_;
    ClientView& view_;
    MixerControl& mixer_;
    std::function<std::unique_ptr<session::DvrSession>(const ConnectRequest&)> make_session_;
    std::function<std::unique_ptr<media::SoundIn>()> make_capture_;
    session::OperationLogSink* log_;
    std::function<std::string(std::uint16_t)> strings_;
    ProgramVersion version_;
    StorageMode storage_;
    std::function<std::chrono::steady_clock::time_point()> now_;
    std::function<void(std::chrono::milliseconds)> pause_;

    std::unique_ptr<session::DvrSession> session_;
    std::unique_ptr<PlaybackSession> session_playback_;  // over session_
    PlaybackSession* playback_override_;
    RemotePlayState play_state_;
    std::function<std::filesystem::path()> deps_archive_folder_;
    std::function<std::unique_ptr<media::SoundOutput>()> deps_sound_output_;
    std::function<std::uint8_t()> deps_local_audio_buf_;
    std::function<bool()> deps_watermark_check_;
    std::function<StillSaveOptions()> still_options_;
    std::unique_ptr<LocalPlayback> local_;
    std::vector<JumpEvent> local_events_;
    bool time_display_open_ = false;
    bool event_jump_bar_open_ = false;
    RemoteSearchHub* remote_search_ = nullptr;
    AudioChannelChoice audio_choice_;
    std::array<ButtonState, 122> buttons_{};  // controls 300-421, by number - 300
    std::vector<media::WallRect> monitors_;
    std::optional<NoticeBox> notice_;
    std::array<std::unique_ptr<SaveJob>, kSaveJobSlots> save_jobs_;
    std::optional<std::chrono::steady_clock::time_point> last_talk_request_;
    std::int32_t saved_volume_ = -1;
    bool saved_mute_ = false;
    std::uint32_t volume_ = kInitialVolume;
    bool muted_ = false;
    int freeze_presses_ = 0;
    bool started_ = false;
    bool shut_down_ = false;
    // After session_: the link asks it at every call.
    std::unique_ptr<PtzLink> ptz_link_ = sessionPtzLink(session_);
    PtzPanels ptz_panels_{*ptz_link_};
};

}  // namespace kalix::app
