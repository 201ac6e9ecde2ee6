#include "app/client_controller.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <thread>

#include "app/notice_texts.h"
#include "app/still_saver.h"
#include "app/web_setup.h"

namespace kalix::app {
namespace {

using session::ButtonLook;

constexpr int kFirstControl = 300;
constexpr int kLastControl = 421;
constexpr std::size_t kMaxMonitors = 4;

std::optional<std::size_t> slot(ControlId control) {
    const int id = static_cast<int>(control);
    if (id < kFirstControl || id > kLastControl) return std::nullopt;
    return static_cast<std::size_t>(id - kFirstControl);
}

bool inRange(ControlId control, ControlId first, int count) {
    const int id = static_cast<int>(control);
    return id >= static_cast<int>(first) && id < static_cast<int>(first) + count;
}

std::string cut(const std::string& text, std::size_t limit) { return text.substr(0, std::min(text.size(), limit)); }

bool holds(const media::WallRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Controls this client draws but has no behaviour behind: they stay
// disabled.
constexpr ControlId kUnavailableControls[] = {
    ControlId::PositionSlider,  // local player seeking
};

// The controller's own session's remote playback.
class SessionPlayback final : public PlaybackSession {
public:
    explicit SessionPlayback(session::DvrSession& s) : s_(s) {}
    bool loggedIn() const override { return s_.loggedIn(); }
    void playStart(const session::PlayStart& request) override { s_.playStart(request); }
    void playAtEvent(const session::EventPlayStart& request) override { s_.playAtEvent(request); }
    void playControl(session::PlayMode mode) override { s_.playControl(mode); }
    void eventJump(session::JumpDirection direction, std::uint8_t kind) override { s_.eventJump(direction, kind); }
    void playViewChange(std::uint32_t shown_mask) override { s_.playViewChange(shown_mask); }
    void playStop() override { s_.playStop(); }
    bool playbackOn() const override { return s_.playbackOn(); }
    bool playbackPending() const override { return s_.playbackPending(); }
    session::PlayMode playMode() const override { return s_.playMode(); }
    int playSpeed() const override { return s_.playSpeed(); }
    protocol::RecorderTime playbackPosition() const override { return s_.playbackPosition(); }
    std::uint32_t playbackChannels() const override { return s_.playbackChannels(); }

private:
    session::DvrSession& s_;
};

// 21078 from the local player carries 1; the session's carries itself.
constexpr std::uint32_t kLocalPlayerPost = 1;

}  // namespace

std::string ProgramVersion::text() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
    return buffer;
}

ClientController::ClientController(ControllerDeps deps)
    : wall_(deps.wall),
      view_(deps.view),
      mixer_(deps.mixer),
      make_session_(std::move(deps.make_session)),
      make_capture_(std::move(deps.make_capture)),
      log_(deps.log),
      strings_(std::move(deps.strings)),
      version_(deps.version),
      storage_(deps.storage),
      now_(std::move(deps.now)),
      pause_(std::move(deps.pause)),
      playback_override_(deps.playback),
      audio_choice_([&wall = deps.wall](int channel) { return wall.view().isChannelVisible(channel); }) {
    if (!pause_) pause_ = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    deps_archive_folder_ = std::move(deps.archive_folder);
    deps_sound_output_ = std::move(deps.make_sound_output);
    deps_local_audio_buf_ = std::move(deps.local_audio_buf);
    deps_watermark_check_ = std::move(deps.watermark_check);
    still_options_ = std::move(deps.still_options);
}

ClientController::~ClientController() { shutdown(); }

// ---------------------------------------------------------------- start-up

void ClientController::start() {
    if (started_) return;
    started_ = true;
    saved_volume_ = mixer_.volume();
    saved_mute_ = mixer_.muted();
    mixer_.setMuted(false);
    volume_ = kInitialVolume;
    mixer_.setVolume(volume_);

    for (int i = 0; i < kPlaybackButtons; ++i) setEnabled(playbackButton(i), false);
    for (ControlId control : kUnavailableControls) setEnabled(control, false);
    setEnabled(ControlId::Live, false);  // until a session logs in
    wall_.view().selectLayout(kSixteenPaneLayout);
    setPressed(splitButton(kSplitButtons - 1), true);
    audio_choice_.select(-1);
    writeLog(session::LogCategory::Program, 1);
    view_.buttonsChanged();
    pressConnect();
}

void ClientController::setMonitors(const std::vector<media::WallRect>& monitors) {
    monitors_.assign(monitors.begin(), monitors.begin() + static_cast<std::ptrdiff_t>(std::min(monitors.size(), kMaxMonitors)));
}

// ---------------------------------------------------------------- buttons

void ClientController::press(ControlId control) {
    if (!buttonState(control).enabled) return;
    // While the dome camera's menu is open the arrows steer the menu: the
    // wall keeps its channels.
    const bool wall_button =
        inRange(control, ControlId::Channel1, kChannelButtons) || inRange(control, ControlId::Split1, kSplitButtons);
    if (wall_button && ptz_panels_.domeMenuMode()) return;
    if (inRange(control, ControlId::Channel1, kChannelButtons)) return pressChannel(static_cast<int>(control) - 300);
    if (inRange(control, ControlId::Split1, kSplitButtons)) return pressSplit(static_cast<int>(control) - 320);
    if (inRange(control, ControlId::Play1, kPlaybackButtons)) return pressPlayback(static_cast<int>(control) - 340);
    switch (control) {
        case ControlId::Full: return pressFull();
        case ControlId::Pan: return pressPtzForm(session::PtzForm::Pan);
        case ControlId::Zoom: return pressPtzForm(session::PtzForm::Zoom);
        case ControlId::Connect: return pressConnect();
        case ControlId::RSearch: return pressRSearch();
        case ControlId::FirmUp: return pressFirmUp();
        case ControlId::RSetup: return pressRSetup();
        case ControlId::LSetup: return pressLSetup();
        case ControlId::LSearch: return view_.openLocalSearch();
        case ControlId::Quit: return view_.endDialog();
        case ControlId::Sound: return pressSound();
        case ControlId::SelAudio: return pressSelAudio();
        case ControlId::Live: return pressLive();
        case ControlId::Osd: return pressOsd();
        case ControlId::Arrange: return pressArrange();
        case ControlId::VerInfo: return requestNotice(session::Notice::of(session::NoticeKind::Version));
        case ControlId::Mike: return pressMike();
        case ControlId::Min: return view_.minimise();
        case ControlId::Audio: return pressAudio();
        case ControlId::Save: return pressSave();
        case ControlId::Load: return pressLoad();
        default: return;  // disabled above, or a slider
    }
}

void ClientController::sliderMoved(ControlId slider, std::uint32_t position) {
    if (slider == ControlId::PositionSlider && local_) return local_->seek(position);
    if (slider != ControlId::VolumeSlider || muted_) return;
    volume_ = std::min<std::uint32_t>(position, media::kMixerFullScale);
    mixer_.setVolume(volume_);
}

// Channel and split buttons.
void ClientController::pressChannel(int k) {
    if (!wall_.view().selectSingleChannel(k)) return;
    for (int i = 0; i < kChannelButtons; ++i) setPressed(channelButton(i), i == k);
    resendVisibleMask();
    if ((availableChannels() & (1u << k)) != 0) audio_choice_.select(k);
    afterViewChange();
    view_.buttonsChanged();
    followSelectedChannel(k);
}

void ClientController::pressSplit(int index) {
    if (!wall_.view().selectLayout(kSplitLayouts[static_cast<std::size_t>(index)])) return;
    for (int i = 0; i < kSplitButtons; ++i) setPressed(splitButton(i), i == index);
    followLayout();
}

// After the layout changed: the channel buttons, the recorder's channels and
// the audio channel follow it.
void ClientController::followLayout() {
    highlightShownChannel();
    resendVisibleMask();
    audio_choice_.check(availableChannels(), true);
    afterViewChange();
    view_.buttonsChanged();
}

// In the one-pane layout the button of the shown channel is the pressed one;
// otherwise none is.
void ClientController::highlightShownChannel() {
    const std::uint16_t shown = wall_.view().visibleChannels();
    const bool single = wall_.view().layout() == kSplitLayouts[0] && std::popcount(shown) == 1;
    for (int i = 0; i < kChannelButtons; ++i)
        setPressed(channelButton(i), single && (shown & (1u << i)) != 0);
}

// The recorder sends only the channels on screen; in live view the mask
// goes out with a new live request.
// During remote playback the session hears of the channels on screen that
// belong to the playback.
void ClientController::resendVisibleMask() {
    if (liveOn()) return session_->liveRequest(wall_.view().visibleChannels());
    PlaybackSession* p = playbackSession();
    if (remotePlaybackShown() && p && p->playbackOn())
        p->playViewChange(wall_.view().visibleChannels() & p->playbackChannels());
}

// While frozen, the panes newly on screen would stay empty until the next
// picture: the window waits briefly and repaints from the buffers.
void ClientController::afterViewChange() {
    if (liveOn() && session_->frozen()) {
        pause_(kFrozenRepaintDelay);
        view_.repaintWall();
    }
}

// The channels the recorder delivers, as the session applied them to the
// wall; none without a session.
std::uint32_t ClientController::availableChannels() const { return session_ ? wall_.view().activeChannels() : 0u; }

void ClientController::wallViewChanged() {
    const auto split = std::ranges::find(kSplitLayouts, wall_.view().layout());
    for (int i = 0; i < kSplitButtons; ++i)
        setPressed(splitButton(i), split != kSplitLayouts.end() && i == split - kSplitLayouts.begin());
    followLayout();
}

void ClientController::leaveFullScreen() {
    if (!wall_.view().leaveFullScreen()) return;
    view_.wallFullScreenChanged();
    view_.repaintWall();
}

void ClientController::pressFull() {
    if (wall_.view().fullScreen() || monitors_.empty()) return;
    const media::WallRect window = view_.windowRect();
    const int cx = (window.left + window.right) / 2;
    const int cy = (window.top + window.bottom) / 2;
    // A centre on none of the monitors (the window dragged off every screen)
    // takes the first one.
    const auto it = std::ranges::find_if(monitors_, [&](const media::WallRect& m) { return holds(m, cx, cy); });
    wall_.view().clearSingleView();
    wall_.view().enterFullScreen(it != monitors_.end() ? *it : monitors_.front());
    view_.wallFullScreenChanged();
    view_.repaintWall();
}

void ClientController::pressConnect() {
    if (cdMode()) return;
    if (session_) return disconnect();
    view_.openConnectDialog();
}

void ClientController::pressRSearch() {
    const auto identity = loggedIn() ? session_->identity() : std::nullopt;
    const session::Administration* admin = session_ ? &session_->administration() : nullptr;
    const bool search = admin && admin->holds(session::Right::Search);
    const bool backup = admin && admin->holds(session::Right::Download);
    switch (remoteSearchAccess(identity ? &*identity : nullptr, remote_search_ != nullptr, search, backup)) {
        case RemoteSearchAccess::Ignored: return;
        case RemoteSearchAccess::Refused: return requestNotice(session::Notice::of(session::NoticeKind::NotAllowed));
        case RemoteSearchAccess::Open: return view_.openRemoteSearch();
    }
}

// FirmUp: with a logged-in session the window scans the upgrade folder and
// asks (notice 0x0B) before the upgrade window opens. The recorder's rights
// table has no entry for firmware, so no right is checked.
void ClientController::pressFirmUp() {
    if (!loggedIn() || cdMode()) return;
    view_.openFirmware();
}

// The recorder's own set-up pages in the browser, for users allowed to
// change the recorder's set-up.
void ClientController::pressRSetup() {
    const auto identity = loggedIn() ? session_->identity() : std::nullopt;
    const bool setup_right = session_ && session_->administration().holds(session::Right::WebSetup);
    const WebSetupAction action =
        decideWebSetup(identity ? &*identity : nullptr, session_ ? session_->address() : "", setup_right);
    switch (action.decision) {
        case WebSetupDecision::Ignored: return;
        case WebSetupDecision::Refused: return requestNotice(session::Notice::of(session::NoticeKind::NotAllowed));
        case WebSetupDecision::Open:
            if (!view_.openBrowser(action.url)) view_.showMessageBox(std::string(kRemoteSetupErrorText));
            return;
    }
}

// The record button: the session decides by the rights and sends the
// request, or raises notice 0x0F.
void ClientController::pressRecord() {
    if (!loggedIn()) return;
    session_->recordButton();
}

bool ClientController::mayReboot() const { return loggedIn() && session_->mayDo(session::Right::Reboot); }

void ClientController::rebootRecorder() {
    if (!loggedIn()) return;
    session_->reboot();
}

void ClientController::initialiseDatabase() {
    if (!loggedIn()) return;
    session_->databaseInit();
}

void ClientController::onAdministrationChanged(const session::AdministrationChanged& changed) {
    if (!session_) return;
    switch (changed.what) {
        case session::AdminChange::Rights: return applyRightButtons();
        case session::AdminChange::Channels: return applyHiddenChannels();
        case session::AdminChange::Cameras: return view_.repaintWall();
        default: return;
    }
}

// Buttons whose action the user's rights forbid are disabled (on the first
// recorders the account byte decides).
void ClientController::applyRightButtons() {
    if (!loggedIn()) return;
    const auto& admin = session_->administration();
    using session::Right;
    setEnabled(ControlId::Record, admin.mayDo(Right::Record));
    setEnabled(ControlId::RSetup, admin.mayDo(Right::WebSetup));
    setEnabled(ControlId::RSearch, admin.mayDo(Right::Search) || admin.mayDo(Right::Download));
    view_.buttonsChanged();
}

// Channels the user may not watch leave the wall.
void ClientController::applyHiddenChannels() {
    const std::uint32_t hidden = session_->administration().hiddenMask();
    bool changed = false;
    for (int c = 0; c < kChannelButtons; ++c) changed |= wall_.view().setChannelHidden(c, ((hidden >> c) & 1u) != 0);
    if (changed) view_.repaintWall();
}

void ClientController::onRightsApplied(const session::RightsApplied& applied) {
    if (applied.close_ptz) closePtz();
    if (applied.stop_playback && remotePlaybackShown()) stopRemotePlayback();
    if (applied.close_search && remote_search_) remote_search_->close();
    if (applied.stop_download && session_ && session_->downloading()) session_->downloadStop();
    applyRightButtons();
}

// Refused while an archive download runs, once downloads exist.
void ClientController::pressLSetup() { view_.openLocalSetup(); }

void ClientController::connectTo(const ConnectRequest& request) {
    if (cdMode() || session_ || !make_session_) return;
    ConnectRequest r;
    r.address = cut(request.address, kMaxAddressChars);
    r.port = request.port;
    r.user = cut(request.user, kMaxUserChars);
    r.password = cut(request.password, kMaxPasswordChars);
    r.description = cut(request.description, kMaxDescriptionChars);
    session_ = make_session_(r);
    if (session_) session_playback_ = std::make_unique<SessionPlayback>(*session_);
}

void ClientController::disconnect() {
    if (!session_) return;
    // The search dialog asks the session for everything: it goes first.
    if (remote_search_) remote_search_->close();
    closePtz();
    session_->close();
    session_playback_.reset();
    session_.reset();
    // The close stopped a playback; its news died with the session.
    if (remotePlaybackShown() || time_display_open_ || event_jump_bar_open_) playbackEnded();
    // The wall shows nothing any more: 16 empty panes, no display mode (so
    // the local setup may change the draw mode again).
    wall_.resetView();
    wall_.clearPictures();
    wall_.setDisplayMode(media::DisplayMode::None);
    view_.repaintWall();
    setEnabled(ControlId::Live, false);
    setPressed(ControlId::Live, false);
    setPressed(ControlId::RSearch, false);
    setPressed(ControlId::RSetup, false);
    // Without a session nothing is decided by rights any more.
    for (ControlId c : {ControlId::Record, ControlId::RSetup, ControlId::RSearch}) setEnabled(c, true);
    setPressed(ControlId::Record, false);
    for (int c = 0; c < kChannelButtons; ++c) wall_.view().setChannelHidden(c, false);
    setPressed(ControlId::Mike, false);
    setEnabled(ControlId::Freeze, false);
    setPressed(ControlId::Freeze, false);
    view_.buttonsChanged();
}

void ClientController::pressSound() {
    muted_ = !muted_;
    setEnabled(ControlId::VolumeSlider, !muted_);
    setPressed(ControlId::Sound, muted_);
    mixer_.setMuted(muted_);
    view_.buttonsChanged();
}

void ClientController::pressSelAudio() { audio_choice_.next(availableChannels()); }

void ClientController::pressLive() {
    // Idle during remote playback and before login.
    if (wall_.displayMode() == media::DisplayMode::RemotePlayback || !loggedIn()) return;
    if (session_->liveOn()) {
        closePtz();
        session_->liveStop();
    } else
        session_->loginStart();
}

void ClientController::pressOsd() {
    wall_.painter().setCaptionStyle((wall_.painter().captionStyle() + 1) % 3);
    view_.repaintWall();
}

void ClientController::pressArrange() {
    wall_.view().restoreIdentityMap();
    resendVisibleMask();
    highlightShownChannel();
    audio_choice_.check(availableChannels(), true);
    view_.buttonsChanged();
    view_.repaintWall();
}

void ClientController::pressMike() {
    if (!loggedIn()) return;
    const auto identity = session_->identity();
    if (identity && identity->account != 0) return requestNotice(session::Notice::of(session::NoticeKind::NotAllowed));
    if (session_->talking()) return session_->talkStop();
    const auto now = now_();
    if (last_talk_request_ && now - *last_talk_request_ < kTalkRequestSpacing) return;
    last_talk_request_ = now;
    session_->talkRequest();
}

void ClientController::pressAudio() {
    // Sound is switched in live view only.
    if (!liveOn() || !session_->soundOutput()) return;
    session_->audioOnOff(!session_->audioFlag());
}

bool ClientController::liveOn() const { return session_ && session_->liveOn(); }
bool ClientController::loggedIn() const { return session_ && session_->loggedIn(); }

// ---------------------------------------------------------------- save jobs

// Save: a still of every shown pane the user may watch. With a logged-in
// session the recorder's covert and live-permission rules apply as on the
// wall.
void ClientController::pressSave() {
    if (!still_options_) return;
    const StillSaveOptions options = still_options_();
    auto jobs = startStillJobs(wall_, options, [this](int channel) {
        return !loggedIn() || session_->channelVisible(channel);
    });
    // Save is disabled while jobs run, so every slot is free here; a job
    // left over (none) is destroyed, which waits for its thread.
    startSaveJobs(std::move(jobs));
}

// Load: refused while an archive download runs.
void ClientController::pressLoad() {
    if (session_ && session_->downloading()) return;
    view_.openImageLoad();
}

std::vector<std::unique_ptr<SaveJob>> ClientController::startSaveJobs(std::vector<std::unique_ptr<SaveJob>> jobs) {
    std::vector<std::unique_ptr<SaveJob>> refused;
    bool started = false;
    for (auto& job : jobs) {
        const auto free = std::ranges::find_if(save_jobs_, [](const auto& slot) { return slot == nullptr; });
        if (free == save_jobs_.end() || !job) {
            if (job) refused.push_back(std::move(job));
            continue;
        }
        *free = std::move(job);
        started = true;
    }
    if (started) {
        setEnabled(ControlId::Save, false);
        writeLog(session::LogCategory::Local, 2);
        view_.startSaveJobTimer();
        view_.buttonsChanged();
    }
    return refused;
}

void ClientController::saveJobTick() {
    for (auto& job : save_jobs_) {
        if (job && job->finished()) {
            job->stop();
            job.reset();
        }
    }
    if (runningSaveJobs() != 0) return;
    view_.stopSaveJobTimer();
    setEnabled(ControlId::Save, true);
    view_.buttonsChanged();
}

std::size_t ClientController::runningSaveJobs() const {
    return static_cast<std::size_t>(std::ranges::count_if(save_jobs_, [](const auto& job) { return job != nullptr; }));
}

// ---------------------------------------------------------------- events

void ClientController::handle(const session::Event& event) {
    if (const auto* notice = std::get_if<session::Notice>(&event)) return requestNotice(*notice);
    if (const auto* box = std::get_if<session::MessageBoxRequest>(&event)) return view_.showMessageBox(box->text);
    if (const auto* state = std::get_if<session::ControlState>(&event)) return onControlState(*state);
    if (const auto* failed = std::get_if<session::ConnectFailed>(&event)) {
        // The session already closed itself; forget it so Connect opens
        // the dialog again.
        if (failed->session_closed && session_) disconnect();
        return;
    }
    if (const auto* changed = std::get_if<session::PlaybackChanged>(&event))
        return changed->on ? playbackBegan() : playbackEnded();
    if (std::holds_alternative<session::PlayChannels>(event)) {
        highlightShownChannel();
        audio_choice_.check(availableChannels(), false);
        view_.buttonsChanged();
        view_.repaintWall();
        return;
    }
    if (std::holds_alternative<session::LoginAccepted>(event)) {
        setEnabled(ControlId::Live, true);
        view_.buttonsChanged();
        return;
    }
    if (const auto* answer = std::get_if<session::SearchAnswer>(&event)) {
        if (remote_search_) remote_search_->onAnswer(*answer);
        return;
    }
    if (const auto* post = std::get_if<session::WindowPost>(&event)) return onWindowPost(*post);
    if (const auto* changed = std::get_if<session::AdministrationChanged>(&event))
        return onAdministrationChanged(*changed);
    if (const auto* applied = std::get_if<session::RightsApplied>(&event)) return onRightsApplied(*applied);
    if (const auto* answer = std::get_if<session::PtzChannelAnswer>(&event)) return onPtzAnswer(*answer);
}

void ClientController::onControlState(const session::ControlState& state) {
    // Live view ended without our Live button (a remote playback began):
    // everything PTZ ends with it.
    if (state.control == ControlId::Live && state.look == ButtonLook::Released) closePtz();
    set(state.control, ButtonState{state.look != ButtonLook::Disabled, state.look == ButtonLook::Pressed});
    // The recording state moves the record button's face; the rights keep
    // deciding whether it can be pressed.
    if (state.control == ControlId::Record && loggedIn())
        setEnabled(ControlId::Record, session_->mayDo(session::Right::Record));
    view_.buttonsChanged();
}

void ClientController::onWindowPost(const session::WindowPost& post) {
    using session::WindowMessage;
    switch (post.message) {
        case WindowMessage::Notice: return requestNotice(session::Notice::fromLParam(post.lparam, post.owner));
        case WindowMessage::TalkAccepted:
            if (session_ && make_capture_ && session_->startMicrophone(make_capture_())) {
                setPressed(ControlId::Mike, true);
                view_.buttonsChanged();
            }
            return;
        case WindowMessage::TalkEnded:
            if (session_) session_->stopMicrophone();
            setPressed(ControlId::Mike, false);
            view_.buttonsChanged();
            return;
        case WindowMessage::CreateAuxiliaryWindow:
            if (time_display_open_) return;
            time_display_open_ = true;
            return view_.openTimeDisplay();
        case WindowMessage::OpenEventJumpBar:
            // Only the recorder's form: local playback has no player here.
            if (post.wparam == kLocalPlayerPost) return;
            event_jump_bar_open_ = true;
            return view_.openEventJumpBar();
        // Start-up asks nothing more of the controller.
        case WindowMessage::StartUpDone: return;
        // The search dialog's messages; dropped when it is closed.
        case WindowMessage::LogEntriesReady:
        case WindowMessage::SystemInfoReady:
        case WindowMessage::StatusInfoReady:
        case WindowMessage::RightsChanged:
            if (remote_search_) remote_search_->onWindowPost(post);
            return;
        default: return;  // PTZ, progress: no window here shows them
    }
}

// ---------------------------------------------------------------- notices

void ClientController::requestNotice(session::Notice notice) {
    if (notice.is(session::NoticeKind::ConnectionEnded)) disconnect();
    if (notice_) return;  // one box at a time; the request is dropped
    notice_ = composeNotice(notice);
    view_.showNotice(*notice_);
}

void ClientController::noticeClosed() { notice_.reset(); }

NoticeBox ClientController::composeNotice(session::Notice notice) const {
    const NoticeStrings ids = noticeStrings(notice.kind, notice.detail);
    NoticeBox box{notice, text(ids.title_id), text(ids.message_id)};
    if (notice.is(session::NoticeKind::Version)) box.message = text(kVersionStringId) + version_.text();
    return box;
}

std::string ClientController::text(std::uint16_t id) const {
    return strings_ ? strings_(id) : std::string(builtinString(id));
}

// ---------------------------------------------------------------- shutdown

void ClientController::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    if (remote_search_) remote_search_->close();
    stopLocalPlayback();
    audio_choice_.select(-1);
    if (session_) {
        if (session_->liveOn()) {
            closePtz();
            session_->liveStop();
            pause_(kShutdownStepPause);
        }
        if (session_playback_ && session_playback_->playbackOn()) {
            session_playback_->playStop();
            pause_(kShutdownStepPause);
        }
        if (session_->talking()) {
            session_->talkStop();
            pause_(kShutdownStepPause);
        }
        session_->close();
        session_playback_.reset();
        session_.reset();
    }
    if (wall_.view().leaveFullScreen()) view_.wallFullScreenChanged();
    pause_(kShutdownStepPause);
    if (started_) {
        writeLog(session::LogCategory::Program, 2);
        if (saved_volume_ >= 0) mixer_.setVolume(static_cast<std::uint32_t>(saved_volume_));
        mixer_.setMuted(saved_mute_);
    }
}

void ClientController::writeLog(session::LogCategory category, std::uint32_t action) {
    // On a read-only medium the program keeps no operation log.
    if (log_ && !cdMode()) log_->write(category, action, {}, {});
}

// ---------------------------------------------------------------- button model

// A number that is no control of the window reads as a disabled button.
ButtonState ClientController::buttonState(ControlId control) const {
    const auto i = slot(control);
    return i ? buttons_[*i] : ButtonState{false, false};
}

void ClientController::set(ControlId control, ButtonState state) {
    if (const auto i = slot(control)) buttons_[*i] = state;
}
void ClientController::setPressed(ControlId control, bool pressed) {
    if (const auto i = slot(control)) buttons_[*i].pressed = pressed;
}
void ClientController::setEnabled(ControlId control, bool enabled) {
    if (const auto i = slot(control)) buttons_[*i].enabled = enabled;
}

}  // namespace kalix::app
