#pragma once
// One connection to one recorder: the session core (connection, receive
// loop and dispatch, keep-alive, send) with its features, each in its own
// file and registered with the core's dispatch table:
//   login       HELLO48_ACK, BYE48
//   live view   LIVE_CHANNEL_INFO, LIVE_NACK, LIVE_DATA, the audio switch
//   talk        A_LISTEN_ACK, A_LISTEN_NACK, the microphone link
//   search      month, day and event searches and their answers
//   playback    remote playback: start, PLAY_DATA, controls, stop
//   logs        the recorder's log and status information
//   ptz         PTZ_CHANNEL_REQ / ACK, PTZ_MOVE_REQ, PTZ_MOVE_STOP
//   firmware    the upgrade request, the file upload and the verdicts
//   administration  recording state, rights, channel names and hiding,
//               stored blocks, the configuration block, reboot, DB init
//   download    backup searches, the size of a range, the transfer into
//               archive pairs
//   refusals    every other refusal raises its notice
// The media pipeline (decoders, audio player) belongs to the session and is
// shared by the features that show pictures. Everything the session has to
// tell goes out through the EventSink.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "media/audio/sound_in.h"
#include "session/administration.h"
#include "protocol/message_header.h"
#include "protocol/unique_fd.h"
#include "session/download.h"
#include "session/event_sink.h"
#include "session/firmware_upload.h"
#include "session/live_view.h"
#include "session/login.h"
#include "session/login_state.h"
#include "session/media_pipeline.h"
#include "session/ptz.h"
#include "session/operation_log_sink.h"
#include "session/recorder_identity.h"
#include "session/recorder_logs.h"
#include "session/remote_playback.h"
#include "session/search.h"
#include "session/session_core.h"
#include "session/session_options.h"
#include "session/talk.h"

namespace kalix::session {

class DvrSession {
public:
    DvrSession(SessionOptions options, EventSink& sink, OperationLogSink* log = nullptr);
    ~DvrSession();  // closes if the owner has not
    DvrSession(const DvrSession&) = delete;
    DvrSession& operator=(const DvrSession&) = delete;

    // Starts the connection thread: connect, HELLO, receive loop.
    void connect();
    // Runs the receive loop on an already connected socket, without HELLO.
    // For tests of the dispatch over a socket.
    void adopt(protocol::UniqueFd connected);
    // Hands bytes from the recorder to the receive path without a socket or
    // thread (tests, fuzzing). Not while a connection thread runs.
    void feed(std::span<const std::uint8_t> bytes) { core_.feed(bytes); }
    // Every message the session sends, in order (tests).
    void observeSends(std::function<void(const protocol::MessageHeader&, std::span<const std::uint8_t>)> observer) {
        core_.observeSends(std::move(observer));
    }
    // The close steps, in order. Idempotent. Must not be called from the
    // sink's post() (it joins the session's threads).
    void close();

    // Live view requests from the owner.
    // A live start ends a remote playback first.
    void loginStart() {
        playback_.stop();
        live_.loginStart();
    }
    void liveRequest(std::uint32_t mask) { live_.request(mask); }
    // A pending PTZ learn is stopped before live view ends.
    void liveStop() {
        ptz_.reset();
        live_.stop();
    }
    void audioOnOff(bool on) { live_.audioOnOff(on); }
    bool soundOutput() const { return static_cast<bool>(options_.live_audio.make_output); }

    // Talk: the request, the microphone once the recorder accepted (the
    // owner hears TalkAccepted and hands over its capture), the stop.
    void talkRequest() { talk_.request(); }
    bool startMicrophone(std::unique_ptr<media::SoundIn> capture) { return talk_.startMicrophone(std::move(capture)); }
    void stopMicrophone() { talk_.stopMicrophone(); }  // TalkEnded: the recorder ended it; nothing is sent
    void talkStop() { talk_.stop(); }                  // the operator's stop
    bool talking() const { return talk_.talking(); }
    std::uint64_t talkChunksSent() const { return talk_.chunksSent(); }
    std::uint32_t audioMask() const { return media_.audioMask(); }
    // The freeze button: while set, live pictures are dropped; every change
    // starts a new stream epoch.
    void setFreeze(bool freeze) { live_.setFreeze(freeze); }
    bool frozen() const { return live_.frozen(); }
    std::uint32_t videoLossMask() const { return media_.videoLossMask(); }
    // Pictures shown so far by each channel's decoder (0 without one).
    std::array<std::uint64_t, 16> picturesShown() const { return media_.picturesShown(); }

    // Searches for the remote search dialog; answers come as SearchAnswer.
    void searchMonth() { search_.requestMonth(); }
    void searchDay(int year, int month, int day) { search_.requestDay(year, month, day); }
    void searchEvents(std::uint32_t kind, std::uint32_t page) { search_.requestEvents(kind, page); }
    bool searchPending() const { return search_.pending(); }
    std::vector<std::uint8_t> monthCopy() const { return search_.monthCopy(); }
    std::vector<std::uint8_t> dayCopy() const { return search_.dayCopy(); }

    // The log and information pages; answers come as LogAnswer and
    // StatusAnswer.
    void requestLog() { logs_.requestLog(); }
    void requestStatus() { logs_.requestStatus(); }
    bool logPending() const { return logs_.logPending(); }
    std::vector<RemoteLogEntry> logCopy() const { return logs_.logCopy(); }
    std::vector<std::uint8_t> statusCopy() const { return logs_.statusCopy(); }

    // Remote playback: the start, the playback bar, event jumps, the view
    // change and the stop. control() and eventJump() take up to about
    // 0.6 s (the recorder needs the pauses between their messages).
    void playStart(const PlayStart& request) { playback_.start(request); }
    void playAtEvent(const EventPlayStart& request) { playback_.startAtEvent(request); }
    void playControl(PlayMode mode) { playback_.control(mode); }
    void eventJump(JumpDirection direction, std::uint8_t event_kind) { playback_.eventJump(direction, event_kind); }
    void playViewChange(std::uint32_t shown_mask) { playback_.viewChange(shown_mask); }
    void playStop() { playback_.stop(); }
    bool playbackOn() const { return playback_.on(); }
    bool playbackPending() const { return playback_.pending(); }
    PlayMode playMode() const { return playback_.mode(); }
    int playSpeed() const { return playback_.speed(); }
    protocol::RecorderTime playbackPosition() const { return playback_.position(); }
    std::uint32_t playbackChannels() const { return playback_.channelMask(); }
    const RemotePlayback& playback() const { return playback_; }

    // PTZ: the channel choice, commands (sent only once the recorder said
    // the channel has PTZ), the stop of a movement and the reset.
    Ptz& ptz() { return ptz_; }
    const Ptz& ptz() const { return ptz_; }
    // Firmware upgrade: the request for one module (56 bytes), the upload of
    // its file once the recorder accepted, the stop.
    bool firmwareRequest(std::span<const std::uint8_t> payload) { return firmware_.request(payload); }
    void firmwareUpload(std::filesystem::path file, std::uint32_t tag) { firmware_.startUpload(std::move(file), tag); }
    void firmwareStop() { firmware_.stopUpload(); }
    bool firmwareUploading() const { return firmware_.uploading(); }

    // Recorder administration: what the user may do and see, the record
    // button, reboot, database initialisation, the configuration block.
    Administration& administration() { return administration_; }
    const Administration& administration() const { return administration_; }
    AdminSend recordButton() { return administration_.recordButton(); }
    AdminSend reboot() { return administration_.reboot(); }
    AdminSend databaseInit() { return administration_.databaseInit(); }
    AdminSend configUpdate(std::span<const std::uint8_t> block) { return administration_.configUpdate(block); }
    bool mayDo(Right right) const { return administration_.mayDo(right); }
    bool channelVisible(int channel) const { return administration_.channelVisible(channel); }
    std::string channelName(int channel) const { return administration_.channelName(channel); }
    // The session ended itself (a rights message no longer lists the user).
    bool endRequested() const { return core_.endRequested(); }
    // Backup download: the backup calendar's searches (answers are
    // SearchAnswer marked backup), "Calculate" (DownloadSize), its cancel,
    // "Backup" and "Stop". The transfer reports progress as window posts,
    // every closed pair as ArchivePairClosed and its end as DownloadEnded.
    void backupMonth() { download_.requestMonth(); }
    void backupDay(int year, int month1, int day1) { download_.requestDay(year, month1, day1); }
    void downloadSize(const DownloadRange& range) { download_.calculate(range); }
    void cancelCapacityCalculation() { download_.cancelCalculation(); }
    bool downloadStart(const DownloadRange& range, const ArchiveStoreFactory& make_store,
                       std::uint32_t expected_kib = 0) {
        return download_.start(range, make_store, expected_kib);
    }
    void downloadStop() { download_.stop(); }
    bool downloading() const { return download_.active(); }
    bool downloadSizePending() const { return download_.sizePending(); }
    bool backupSearchPending() const { return download_.searchPending(); }

    bool helloReceived() const { return login_state_.hello.load(); }
    bool loggedIn() const { return login_state_.logged_in.load(); }
    bool liveOn() const { return live_.on(); }
    bool liveRequestPending() const { return live_.pending(); }
    bool receiving() const { return core_.receiving(); }
    bool audioFlag() const { return core_.audioFlag(); }
    bool keepAliveRunning() const { return core_.keepAliveRunning(); }
    std::uint8_t lastPeerState() const { return core_.lastPeerState(); }
    std::int32_t recorderKind() const { return login_state_.recorder_kind.load(); }
    std::uint32_t liveGeneration() const { return live_.generation(); }
    bool playbackViewChangeSupported() const { return login_state_.playback_view_change.load(); }
    std::optional<RecorderIdentity> identity() const { return login_state_.identity(); }
    const std::string& address() const { return options_.address; }
    const SessionOptions& options() const { return options_; }

private:
    const SessionOptions options_;
    LoginState login_state_;
    SessionCore core_;
    MediaPipeline media_;
    LiveView live_;
    Talk talk_;
    Search search_;
    RecorderLogs logs_;
    RemotePlayback playback_;
    Ptz ptz_;
    FirmwareUpload firmware_;
    Download download_;
    Login login_;
    Administration administration_;
    // -- owner's thread only --
    bool closed_ = false;
};

}  // namespace kalix::session
