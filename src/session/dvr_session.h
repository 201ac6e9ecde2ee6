#pragma once
// One connection to one recorder: connect and log in, the receive thread
// and its dispatch, the keep-alive, live requests, and the orderly close.
//
// Threads:
//   connection thread  connects, sends HELLO, then is the only reader of
//                      the socket (the receive loop and every handler)
//   keep-alive thread  sends KEEP_ALIVE every 10 s while logged in
//   owner's thread     connect(), close() and the requests; never blocks on
//                      the recorder except for the pauses the protocol keeps
// Everything the session has to tell goes out through the EventSink.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "media/audio/audio_block_queue.h"
#include "media/audio/audio_player.h"
#include "media/video/channel_decoder.h"
#include "media/audio/mic_sender.h"
#include "media/audio/sound_in.h"
#include "media/video/video_wall.h"
#include "protocol/message_header.h"
#include "protocol/transport.h"
#include "session/audio_channel_owner.h"
#include "session/event_sink.h"
#include "session/operation_log_sink.h"
#include "session/reassembly_buffer.h"
#include "session/recorder_identity.h"

namespace kalix::session {

using namespace std::chrono_literals;

inline constexpr std::uint16_t kDefaultPort = 2000;
inline constexpr std::uint32_t kAllChannels = 0xFFFF;

// What the owner gives the session for live pictures. Without a wall the
// session logs in and keeps live view running, but decodes nothing.
struct LiveVideo {
    media::VideoWall* wall = nullptr;
    // Whether 480- and 576-line pictures of a channel are line-doubled (the
    // channel's Deinterlace byte is 0).
    std::function<bool(int channel)> line_doubling;
    std::function<int(std::string_view text)> text_width;
    // The audio icon of a channel, or nothing to leave it.
    std::function<std::optional<media::AudioIcon>(int channel)> audio_icon;
    // Every decoded picture as planar YUV, before post-processing (YUV path).
    std::function<void(const media::DecodedPicture& picture)> picture_decoded;
};

// What the owner gives the session for sound. Without make_output the PC
// has no sound output: no audio thread, no audio switch, no talk.
struct LiveAudio {
    std::function<std::unique_ptr<media::SoundOutput>()> make_output;
    std::uint8_t audio_buf = 2;  // the live view slot of the audio buffer setting
    AudioChannelOwner* channels = nullptr;
    // Every block handed to the audio thread, in order.
    std::function<void(const media::AudioBlock& block)> block_queued;
};

struct SessionOptions {
    std::string address;  // dotted IPv4 text
    std::uint16_t port = kDefaultPort;
    std::string user;
    std::string password;
    std::string description;

    std::chrono::milliseconds keep_alive_interval = 10s;
    // Pause between noticing the recorder's close and shutting our side.
    std::chrono::milliseconds close_grace = 1000ms;
    std::chrono::milliseconds connect_limit = 21s;
    std::chrono::milliseconds receive_limit = protocol::kReceiveLimit;
    // Pause after LIVE_STOP before the consumers are stopped.
    std::chrono::milliseconds live_stop_pause = 50ms;

    LiveVideo live_video;
    LiveAudio live_audio;
};

class DvrSession {
public:
    DvrSession(SessionOptions options, EventSink& sink, OperationLogSink* log = nullptr);
    ~DvrSession();  // closes if the owner has not
    DvrSession(const DvrSession&) = delete;
    DvrSession& operator=(const DvrSession&) = delete;

    // Starts the connection thread: connect, HELLO, receive loop.
    void connect();
    // Runs the receive loop on an already connected socket, without HELLO.
    // For tests and fuzzing of the dispatch.
    void adopt(protocol::UniqueFd connected);
    // The close steps, in order. Idempotent. Must not be called from the
    // sink's post() (it joins the session's threads).
    void close();

    // Live view requests from the owner.
    void loginStart();
    void liveRequest(std::uint32_t mask);
    void liveStop();
    void audioOnOff(bool on);
    bool soundOutput() const { return static_cast<bool>(options_.live_audio.make_output); }

    // Talk: the request, the microphone once the recorder accepted (the
    // owner hears TalkAccepted and hands over its capture), the stop.
    void talkRequest();
    bool startMicrophone(std::unique_ptr<media::SoundIn> capture);
    void stopMicrophone();  // TalkEnded: the recorder ended it; nothing is sent
    void talkStop();        // the operator's stop: A_LISTEN_STOP_REQ, then the microphone
    bool talking() const { return static_cast<bool>(mic_); }
    std::uint64_t talkChunksSent() const { return mic_ ? mic_->chunksSent() : 0; }
    std::uint32_t audioMask() const { return audio_mask_.load(); }
    // The freeze button: while set, live pictures are dropped; every change
    // starts a new stream epoch.
    void setFreeze(bool freeze);
    bool frozen() const { return freeze_.load(); }
    std::uint32_t videoLossMask() const { return video_loss_mask_.load(); }
    // Pictures shown so far by each channel's decoder (0 without one).
    std::array<std::uint64_t, 16> picturesShown() const;

    bool helloReceived() const { return hello_.load(); }
    bool loggedIn() const { return logged_in_.load(); }
    bool liveOn() const { return live_.load(); }
    bool liveRequestPending() const { return live_pending_.load(); }
    bool receiving() const { return receiving_.load(); }
    bool audioFlag() const { return audio_flag_.load(); }
    bool keepAliveRunning() const { return keep_alive_running_.load(); }
    std::uint8_t lastPeerState() const { return peer_state_.load(); }
    std::int32_t recorderKind() const { return recorder_kind_.load(); }
    std::uint32_t liveGeneration() const { return live_generation_.load(); }
    bool playbackViewChangeSupported() const { return playback_view_change_.load(); }
    std::optional<RecorderIdentity> identity() const;
    const std::string& address() const { return options_.address; }
    const SessionOptions& options() const { return options_; }

private:
    void connectionThread(std::stop_token stop);
    bool connectSocket(std::stop_token stop);
    void receiveLoop(std::stop_token stop);
    bool dispatch(const protocol::MessageHeader& header);

    bool onHelloAck(const protocol::MessageHeader& h);
    bool onBye(const protocol::MessageHeader& h);
    bool onLiveChannelInfo(const protocol::MessageHeader& h);
    bool onLiveNack(const protocol::MessageHeader& h);
    // Reads one fragment into `buffer`; false when the socket failed.
    // `complete`: the buffer now holds a whole unit.
    bool gather(ReassemblyBuffer& buffer, const protocol::MessageHeader& h, bool& complete);
    bool onMediaFragment(const protocol::MessageHeader& h);
    bool onDownloadFragment(const protocol::MessageHeader& h);
    bool onConfigurationFragment(const protocol::MessageHeader& h);
    bool onRefusal(const protocol::MessageHeader& h);
    bool onIgnored(const protocol::MessageHeader& h);
    bool onFixedPayload(const protocol::MessageHeader& h, const protocol::MessageSpec& spec);
    bool readPayload(const protocol::MessageHeader& h);

    class LiveDecoderHost;
    void handOverLiveUnit(std::span<const std::uint8_t> unit, const protocol::MessageHeader& last);
    void createDecoders(int channel_count);
    void startAudioThread();
    void stopAudioThread(media::PlayerStop how);
    void destroyDecoders();

    void startKeepAlive();
    void stopKeepAlive();
    void keepAliveThread(std::stop_token stop);

    bool send(protocol::Code code, std::span<const std::uint8_t> payload = {});
    bool send(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload = {});
    std::shared_ptr<protocol::Connection> connection() const;
    void writeConnectionRecord(ConnectionAction action);
    void post(Event event) { sink_.post(std::move(event)); }

    const SessionOptions options_;
    EventSink& sink_;
    OperationLogSink* const log_;

    // -- guarded by connection_mutex_ --
    mutable std::mutex connection_mutex_;
    std::shared_ptr<protocol::Connection> connection_;

    // -- guarded by identity_mutex_; written by the connection thread --
    mutable std::mutex identity_mutex_;
    std::optional<RecorderIdentity> identity_;
    std::vector<std::uint8_t> hello_answer_;  // the login answer as received

    // -- guarded by decoders_mutex_: created by the login start, taken by
    //    the receive thread's hand-over, destroyed by the live stop --
    mutable std::mutex decoders_mutex_;
    std::array<std::unique_ptr<media::ChannelDecoder>, 16> decoders_;
    std::unique_ptr<LiveDecoderHost> decoder_host_;

    // -- guarded by audio_mutex_: created by the login start, taken by the
    //    hand-over, destroyed by the live stop or LIVE_NACK --
    std::mutex audio_mutex_;
    media::AudioBlockQueue audio_queue_;
    std::unique_ptr<media::AudioPlayer> audio_player_;

    // -- owner's thread only --
    std::unique_ptr<media::MicSender> mic_;

    // -- owner's thread only (started in connect/adopt, joined in close) --
    std::jthread connection_thread_;
    bool closed_ = false;

    // -- guarded by keep_alive_mutex_ --
    std::mutex keep_alive_mutex_;
    std::jthread keep_alive_thread_;
    bool closing_ = false;  // no keep-alive starts once the close has begun

    // -- connection thread only --
    ReassemblyBuffer frame_buffer_;
    ReassemblyBuffer download_buffer_;
    ReassemblyBuffer configuration_buffer_;
    std::vector<std::uint8_t> payload_;  // one message's payload
    std::shared_ptr<protocol::Connection> rx_;

    // -- flags shared between threads --
    std::atomic<bool> hello_{false};
    std::atomic<bool> logged_in_{false};
    std::atomic<bool> live_{false};
    std::atomic<bool> live_pending_{false};
    std::atomic<bool> playback_pending_{false};
    std::atomic<bool> freeze_{false};
    std::atomic<bool> audio_flag_{false};
    std::atomic<bool> receiving_{false};
    std::atomic<bool> keep_alive_running_{false};
    std::atomic<bool> playback_view_change_{false};
    std::atomic<std::uint8_t> peer_state_{0};
    std::atomic<std::int32_t> recorder_kind_{0};
    std::atomic<std::uint32_t> live_generation_{0};
    std::atomic<std::uint32_t> live_mask_{0};
    std::atomic<std::uint32_t> video_loss_mask_{0};
    std::atomic<std::uint32_t> audio_mask_{0};
};

}  // namespace kalix::session
