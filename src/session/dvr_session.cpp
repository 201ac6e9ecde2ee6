#include "session/dvr_session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "media/unit_router.h"
#include "protocol/byte_order.h"
#include "protocol/trace.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;
using protocol::Connection;
using protocol::Direction;
using protocol::MessageHeader;
using protocol::PayloadRule;

namespace {

constexpr int kKeepAliveIdleSeconds = 3;
constexpr int kKeepAliveProbeSeconds = 2;

// Waits `d` or until `stop` is requested; true when the full time passed.
bool pause(std::stop_token stop, std::chrono::milliseconds d) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    return !cv.wait_for(lock, stop, d, [] { return false; });
}

}  // namespace

// Answers the channel decoders' questions from the session's live state and
// the owner's callbacks.
class DvrSession::LiveDecoderHost final : public media::DecoderHost {
public:
    explicit LiveDecoderHost(DvrSession& session) : session_(session) {}

    bool liveFrameWanted(int channel) override {
        // Filled in by the administration work: covert channels for users
        // without the right to see them are dropped here as well.
        return (session_.video_loss_mask_.load() & (1u << channel)) == 0;
    }
    std::string liveTitle(int channel) override {
        // Filled in by the administration work: the recorder's channel names.
        return "CH" + std::to_string(channel + 1);
    }
    std::int64_t paneTime(int, const media::FrameItem& item) override { return item.header.frameTime(); }
    bool lineDoubling(int channel) override {
        const auto& f = session_.options_.live_video.line_doubling;
        return f ? f(channel) : true;
    }
    std::optional<media::AudioIcon> audioIcon(int channel) override {
        const auto& f = session_.options_.live_video.audio_icon;
        if (f) return f(channel);
        const std::uint32_t mask = session_.audio_mask_.load();
        if (mask == 0) return media::AudioIcon::None;
        if ((mask & (1u << channel)) == 0) return std::nullopt;
        const AudioChannelOwner* owner = session_.options_.live_audio.channels;
        return owner != nullptr && owner->selected() == channel ? media::AudioIcon::Selected
                                                                : media::AudioIcon::Available;
    }
    int textWidth(std::string_view text) override {
        const auto& f = session_.options_.live_video.text_width;
        return f ? f(text) : static_cast<int>(text.size()) * 10;
    }
    void decoderInitFailed(int) override {
        session_.post(MessageBoxRequest{"H.264 Decoder Init Error !"});
    }
    void pictureDecoded(const media::DecodedPicture& picture) override {
        const auto& f = session_.options_.live_video.picture_decoded;
        if (f) f(picture);
    }

private:
    DvrSession& session_;
};

DvrSession::DvrSession(SessionOptions options, EventSink& sink, OperationLogSink* log)
    : options_(std::move(options)), sink_(sink), log_(log) {
    payload_.reserve(protocol::kMaxPayload);
    decoder_host_ = std::make_unique<LiveDecoderHost>(*this);
}

DvrSession::~DvrSession() { close(); }

std::array<std::uint64_t, 16> DvrSession::picturesShown() const {
    std::array<std::uint64_t, 16> shown{};
    std::lock_guard lock(decoders_mutex_);
    for (std::size_t i = 0; i < decoders_.size(); ++i)
        if (decoders_[i]) shown[i] = decoders_[i]->picturesShown();
    return shown;
}

std::optional<RecorderIdentity> DvrSession::identity() const {
    std::lock_guard lock(identity_mutex_);
    return identity_;
}

std::shared_ptr<Connection> DvrSession::connection() const {
    std::lock_guard lock(connection_mutex_);
    return connection_;
}

bool DvrSession::send(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const auto conn = connection();
    return conn && protocol::SendPacket(*conn, header, payload);
}

bool DvrSession::send(Code code, std::span<const std::uint8_t> payload) {
    return send(MessageHeader::make(code, static_cast<std::uint16_t>(payload.size())), payload);
}

void DvrSession::writeConnectionRecord(ConnectionAction action) {
    if (log_ != nullptr)
        log_->write(LogCategory::Connection, static_cast<std::uint32_t>(action), options_.user,
                    options_.address);
}

// ---------------------------------------------------------------- connect

void DvrSession::connect() {
    if (connection_thread_.joinable() || closed_) return;
    connection_thread_ = std::jthread([this](std::stop_token stop) { connectionThread(stop); });
}

void DvrSession::adopt(protocol::UniqueFd connected) {
    if (connection_thread_.joinable() || closed_) return;
    auto conn = std::make_shared<Connection>(std::move(connected));
    conn->setReceiveLimit(options_.receive_limit);
    {
        std::lock_guard lock(connection_mutex_);
        connection_ = conn;
    }
    rx_ = conn;
    receiving_ = true;
    connection_thread_ = std::jthread([this](std::stop_token stop) { receiveLoop(stop); });
}

void DvrSession::connectionThread(std::stop_token stop) {
    if (!connectSocket(stop)) return;
    receiving_ = true;
    const auto hello = buildHello(options_.user, options_.password);
    protocol::SendPacket(*rx_, MessageHeader::make(Code::HELLO, kHelloSize), hello);
    receiveLoop(stop);
}

bool DvrSession::connectSocket(std::stop_token stop) {
    auto fail = [this](int error, std::optional<std::uint32_t> notice) {
        if (notice) {
            // The session closes itself: nothing was sent, nothing runs.
            post(ControlState{Control::Connect, ButtonLook::Released});
            post(ConnectFailed{error, true});
            post(Notice::fromLParam(*notice));
        } else {
            post(ConnectFailed{error, false});
        }
        writeConnectionRecord(ConnectionAction::EndedOrFailed);
        return false;
    };

    protocol::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fail(errno, 0x00000);

    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleSeconds, sizeof(int));
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveProbeSeconds, sizeof(int));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.address.c_str(), &to.sin_addr) != 1)
        return fail(EINVAL, std::nullopt);

    auto conn = std::make_shared<Connection>(std::move(fd));  // non-blocking from here
    conn->setReceiveLimit(options_.receive_limit);
    std::stop_callback wake(stop, [&conn] { conn->cancel(); });

    int error = 0;
    if (::connect(conn->fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd fds[2] = {{conn->fd(), POLLOUT, 0}, {conn->cancelFd(), POLLIN, 0}};
            int n;
            do {
                n = ::poll(fds, 2, static_cast<int>(options_.connect_limit.count()));
            } while (n < 0 && errno == EINTR);
            if (stop.stop_requested()) return false;  // the owner is closing
            if (n == 0) {
                error = ETIMEDOUT;
            } else {
                socklen_t len = sizeof error;
                ::getsockopt(conn->fd(), SOL_SOCKET, SO_ERROR, &error, &len);
            }
        }
    }
    if (error != 0) {
        if (error == ETIMEDOUT) return fail(error, 0x10000);
        if (error == ECONNREFUSED) return fail(error, 0x10001);
        return fail(error, std::nullopt);
    }
    {
        std::lock_guard lock(connection_mutex_);
        connection_ = conn;
    }
    rx_ = std::move(conn);
    return true;
}

// ---------------------------------------------------------------- receive

void DvrSession::receiveLoop(std::stop_token stop) {
    Connection& conn = *rx_;
    std::stop_callback wake(stop, [&conn] { conn.cancel(); });
    std::array<std::uint8_t, protocol::kHeaderSize> head{};

    while (!stop.stop_requested()) {
        pollfd fds[2] = {{conn.fd(), POLLIN, 0}, {conn.cancelFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) break;

        // The recorder's orderly close: everything it sent before has been
        // handled; give it a moment, then shut our side.
        std::uint8_t probe;
        const ssize_t peeked = ::recv(conn.fd(), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0) {
            pause(stop, options_.close_grace);
            conn.shutdownSend();
            break;
        }
        if (peeked < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            break;
        }

        if (!protocol::LoopReceive(conn, head)) break;
        const auto header = MessageHeader::decode(head.data());
        peer_state_ = header.peerState();
        const bool audio = header.audioOn();
        if (audio_flag_.exchange(audio) != audio)
            post(ControlState{Control::Audio, audio ? ButtonLook::Pressed : ButtonLook::Released});
        if (!audio && options_.live_audio.channels != nullptr) options_.live_audio.channels->select(-1);
        protocol::trace("Recv...%s...\n", protocol::messageName(header.code(), Direction::ToClient).c_str());
        if (!dispatch(header)) break;
    }

    conn.close();
    receiving_ = false;
    audio_flag_ = false;
    post(ControlState{Control::Audio, ButtonLook::Released});
    post(Notice{2, 0, Owner::MainWindow});
}

bool DvrSession::dispatch(const MessageHeader& h) {
    switch (static_cast<Code>(h.code())) {
    case Code::HELLO48_ACK: return onHelloAck(h);
    case Code::BYE48: return onBye(h);
    case Code::LIVE_CHANNEL_INFO: return onLiveChannelInfo(h);
    case Code::LIVE_NACK: return onLiveNack(h);
    case Code::LIVE_DATA:
    case Code::PLAY_DATA: return onMediaFragment(h);
    case Code::TRANS_ON_DATA: return onDownloadFragment(h);
    case Code::DB_INFO_ACK: return onConfigurationFragment(h);
    default: break;
    }
    const protocol::MessageSpec* spec = protocol::findMessage(h.code(), Direction::ToClient);
    if (spec == nullptr) return protocol::SkipPayload(*rx_, h);
    switch (spec->rule) {
    case PayloadRule::Reason: return onRefusal(h);
    case PayloadRule::Ignored: return onIgnored(h);
    case PayloadRule::Exact:
    case PayloadRule::AtLeast: return onFixedPayload(h, *spec);
    case PayloadRule::Fragmented:
        // Month, day, event, log, system and status replies go to the dialog
        // that asked; those dialogs come with the search, log and
        // information viewers. Until then no dialog waits and each fragment
        // is read and dropped, as for a dialog already closed.
        return protocol::SkipPayload(*rx_, h);
    case PayloadRule::None:
    case PayloadRule::Optional:
    case PayloadRule::Variable: return protocol::SkipPayload(*rx_, h);
    }
    return protocol::SkipPayload(*rx_, h);
}

bool DvrSession::readPayload(const MessageHeader& h) {
    payload_.resize(h.payloadLen());
    return protocol::LoopReceive(*rx_, payload_);
}

bool DvrSession::onHelloAck(const MessageHeader& h) {
    hello_ = true;
    if (h.payloadLen() > 0) {
        if (!readPayload(h)) return false;
        if (auto parsed = parseHelloAck(payload_)) {
            recorder_kind_ = parsed->recorder_kind;
            parsed->channel_num = normalisedChannelCount(parsed->channel_num);
            std::lock_guard lock(identity_mutex_);
            identity_ = std::move(parsed);
            hello_answer_ = payload_;
        }
    }
    if (!isServedKind(recorder_kind_)) {
        post(MessageBoxRequest{std::string(kUnsupportedRecorderText)});
        post(Notice{2, 0, Owner::MainWindow});
        return true;
    }
    post(ControlState{Control::Live, ButtonLook::Released});
    loginStart();
    writeConnectionRecord(ConnectionAction::LoggedIn);
    logged_in_ = true;
    startKeepAlive();
    std::optional<RecorderIdentity> id = identity();
    playback_view_change_ = id && id->acceptsPlaybackViewChange();
    if (id) post(LoginAccepted{*id});
    return true;
}

bool DvrSession::onBye(const MessageHeader& h) {
    hello_ = false;
    const std::int32_t reason = protocol::RecvReplyCode(*rx_, h);
    if (reason == protocol::kReplyReadFailed) return false;
    if (const auto notice = noticeForReason(h.code(), reason)) post(Notice::fromLParam(*notice));
    writeConnectionRecord(ConnectionAction::EndedOrFailed);
    // The connection itself ends with the recorder's close.
    return true;
}

bool DvrSession::onLiveChannelInfo(const MessageHeader& h) {
    if (!readPayload(h)) return false;
    if (payload_.size() < 4) return true;  // not the size it should be: no effect
    std::uint32_t mask = protocol::be32(payload_.data());
    media::VideoWall* wall = options_.live_video.wall;
    if (wall != nullptr) mask = wall->withoutHiddenChannels(mask);
    std::uint32_t loss = 0;
    {
        std::lock_guard lock(decoders_mutex_);
        for (int i = 0; i < 16; ++i)
            if ((mask & (1u << (16 + i))) != 0 && decoders_[static_cast<std::size_t>(i)]) loss |= 1u << i;
    }
    video_loss_mask_ = loss;
    if (wall != nullptr) wall->setActiveChannels(mask & kAllChannels, media::MapReset::IdentityWhenEmpty);
    live_mask_ = mask;
    live_ = true;
    live_pending_ = false;
    ++live_generation_;
    frame_buffer_.reset();
    post(LiveChannels{mask});
    return true;
}

bool DvrSession::onLiveNack(const MessageHeader& h) {
    const std::int32_t reason = protocol::RecvReplyCode(*rx_, h);
    if (reason == protocol::kReplyReadFailed) return false;
    hello_ = false;
    live_pending_ = false;
    if (const auto notice = noticeForReason(h.code(), reason)) post(Notice::fromLParam(*notice));
    stopAudioThread(media::PlayerStop::Immediate);
    return true;
}

bool DvrSession::gather(ReassemblyBuffer& buffer, const MessageHeader& h, bool& complete) {
    const auto result = buffer.receiveFragment(*rx_, h);
    complete = result == ReassemblyBuffer::Result::Complete;
    return result != ReassemblyBuffer::Result::ReadFailed;
}

bool DvrSession::onMediaFragment(const MessageHeader& h) {
    bool complete = false;
    if (!gather(frame_buffer_, h, complete)) return false;
    if (!complete) return true;
    if (static_cast<Code>(h.code()) == Code::LIVE_DATA && live_) handOverLiveUnit(frame_buffer_.unit(), h);
    // Filled in by the remote playback work: PLAY_DATA units.
    frame_buffer_.reset();
    return true;
}

bool DvrSession::onDownloadFragment(const MessageHeader& h) {
    bool complete = false;
    if (!gather(download_buffer_, h, complete)) return false;
    if (!complete) return true;
    // Filled in by the archive download work: the unit goes to the
    // transfer writer's queue.
    download_buffer_.reset();
    return true;
}

bool DvrSession::onConfigurationFragment(const MessageHeader& h) {
    bool complete = false;
    if (!gather(configuration_buffer_, h, complete)) return false;
    if (!complete) return true;
    // Filled in by the administration work: CRC check of the block, then
    // stored with message 21031 or refused with notice 0x90000.
    configuration_buffer_.reset();
    return true;
}

bool DvrSession::onRefusal(const MessageHeader& h) {
    const auto code = static_cast<Code>(h.code());
    std::array<std::uint8_t, 8> extra{};
    const std::int32_t reason =
        protocol::RecvReplyCode(*rx_, h, code == Code::TRANS_ON_NACK ? &extra : nullptr);
    if (reason == protocol::kReplyReadFailed) return false;

    Owner owner = Owner::MainWindow;
    switch (code) {
    case Code::A_LISTEN_NACK:
        if (talkRefusalStopsMicrophone(reason)) post(WindowPost{WindowMessage::TalkEnded});
        break;
    case Code::PLAY_INFO_MONTH_NACK:
    case Code::TRANS_INFO_MONTH_NACK:
        if (reason == 83) {
            // Nothing recorded: the calendar wakes with an empty table.
            post(WindowPost{code == Code::PLAY_INFO_MONTH_NACK ? WindowMessage::MonthTableReady
                                                               : WindowMessage::DownloadMonthTableReady,
                            Owner::RemoteSearch});
        }
        break;
    case Code::EVENT_INFO_NACK:
    case Code::EVENT_INFO_NACK_BYPG: owner = Owner::RemoteSearch; break;
    default: break;
    }
    // Filled in by the playback, archive, administration and firmware work:
    // each refusal also undoes the state its request had started (and
    // TRANS_ON_NACK keeps the two space words in `extra`).
    if (const auto notice = noticeForReason(h.code(), reason)) post(Notice::fromLParam(*notice, owner));
    return true;
}

bool DvrSession::onIgnored(const MessageHeader& h) {
    if (!protocol::SkipPayload(*rx_, h)) return false;
    if (static_cast<Code>(h.code()) == Code::A_LISTEN_ACK) post(WindowPost{WindowMessage::TalkAccepted});
    // Filled in by the remote playback work: PLAY_ON_ACK posts 21074 and
    // 21078; by the administration work: DB_UPDATE_ACK posts notice 0xA0000.
    return true;
}

bool DvrSession::onFixedPayload(const MessageHeader& h, const protocol::MessageSpec& spec) {
    if (!readPayload(h)) return false;
    if (!spec.acceptsLength(h.payloadLen())) return true;  // wrong size: read and dropped
    // Filled in by the administration work (recording state, rights, channel
    // names, system settings, camera presence), the remote playback work
    // (PLAY_CHANNEL_INFO, PLAY_ABSTIME_CHANGE), the archive work
    // (TRANS_ON_ACK) and the PTZ work (PTZ_CHANNEL_ACK).
    return true;
}

// ---------------------------------------------------------------- live

void DvrSession::handOverLiveUnit(std::span<const std::uint8_t> unit, const MessageHeader& last) {
    const media::LiveContext context{live_generation_.load(),
                                     freeze_ ? media::Freeze::On : media::Freeze::Off};
    auto route = media::completeLiveUnit(unit, last, context);
    if (auto* video = std::get_if<media::VideoRoute>(&route)) {
        const std::size_t channel = video->item.info.channel;
        std::lock_guard lock(decoders_mutex_);
        if (channel < decoders_.size() && decoders_[channel])
            decoders_[channel]->queue().push(std::move(video->item));
    }
    if (auto* audio = std::get_if<media::AudioRoute>(&route)) {
        const std::uint32_t mask = audio->blocks.mask();
        audio_mask_ = mask;
        AudioChannelOwner* owner = options_.live_audio.channels;
        const int selected = owner != nullptr ? owner->recheck(mask) : -1;
        const auto pick = audio->blocks.pick(selected);
        if (!pick) return;
        if (owner != nullptr && selected != pick->channel) owner->select(pick->channel);
        std::lock_guard lock(audio_mutex_);
        if (!audio_player_) return;
        if (options_.live_audio.block_queued) options_.live_audio.block_queued(pick->block);
        audio_queue_.push(pick->block);
    }
}

void DvrSession::startAudioThread() {
    if (!options_.live_audio.make_output) return;
    std::lock_guard lock(audio_mutex_);
    if (audio_player_) return;
    audio_queue_.clear();
    audio_player_ = media::AudioPlayer::create(audio_queue_, options_.live_audio.audio_buf,
                                               options_.live_audio.make_output());
}

void DvrSession::stopAudioThread(media::PlayerStop how) {
    std::unique_ptr<media::AudioPlayer> player;
    {
        std::lock_guard lock(audio_mutex_);
        player = std::move(audio_player_);
    }
    if (player) player->stop(how);
    audio_queue_.clear();
    audio_mask_ = 0;
}

void DvrSession::createDecoders(int channel_count) {
    media::VideoWall* wall = options_.live_video.wall;
    if (wall == nullptr) return;
    std::lock_guard lock(decoders_mutex_);
    for (int i = 0; i < channel_count && i < 16; ++i) {
        auto& slot = decoders_[static_cast<std::size_t>(i)];
        if (!slot) slot = std::make_unique<media::ChannelDecoder>(i, *wall, *decoder_host_);
    }
}

void DvrSession::destroyDecoders() {
    for (std::size_t i = 0; i < decoders_.size(); ++i) {
        std::unique_ptr<media::ChannelDecoder> decoder;
        {
            std::lock_guard lock(decoders_mutex_);
            decoder = std::move(decoders_[i]);
        }
        if (!decoder) continue;
        // Nothing is appended any more (the live flag is clear); let the
        // decoder finish every picture it has, then stop it.
        decoder->queue().waitUntilAtMost(0, std::chrono::seconds(5));
        decoder->stop();
    }
    video_loss_mask_ = 0;
}

void DvrSession::setFreeze(bool freeze) {
    freeze_ = freeze;
    ++live_generation_;
}

void DvrSession::loginStart() {
    if (live_pending_ || playback_pending_) return;
    live_pending_ = true;
    // Filled in by the local playback work: nothing more while a local
    // player exists.
    if (media::VideoWall* wall = options_.live_video.wall) {
        wall->startView(identity() ? identity()->channel_num : 16);
        wall->setDisplayMode(media::DisplayMode::Live);
    }
    createDecoders(identity() ? identity()->channel_num : 16);
    std::array<std::uint8_t, 4> mask{};
    protocol::putBe32(mask.data(), kAllChannels);
    send(Code::LIVE_REQ, mask);
    post(ControlState{Control::Live, ButtonLook::Pressed});
    startAudioThread();
    post(ControlState{Control::Freeze, ButtonLook::Released});
}

void DvrSession::liveRequest(std::uint32_t mask) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), mask & kAllChannels);
    send(Code::LIVE_REQ, payload);
}

void DvrSession::liveStop() {
    live_ = false;
    send(Code::LIVE_STOP);
    std::this_thread::sleep_for(options_.live_stop_pause);
    post(ControlState{Control::Freeze, ButtonLook::Disabled});
    freeze_ = false;
    stopAudioThread(media::PlayerStop::Drain);
    destroyDecoders();
    if (media::VideoWall* wall = options_.live_video.wall) wall->resetView();
}

void DvrSession::audioOnOff(bool on) {
    if (!soundOutput()) return;
    auto header = MessageHeader::make(Code::AUDIO_ONOFF_REQ);
    header.setAudioOn(on);
    send(header);
}

// ---------------------------------------------------------------- talk

void DvrSession::talkRequest() {
    if (soundOutput()) send(Code::A_LISTEN_REQ);
}

bool DvrSession::startMicrophone(std::unique_ptr<media::SoundIn> capture) {
    const auto conn = connection();
    if (!conn || mic_ || !capture) return false;
    mic_ = std::make_unique<media::MicSender>(*conn, std::move(capture));
    return true;
}

void DvrSession::stopMicrophone() {
    if (!mic_) return;
    mic_->stop();
    mic_.reset();
}

void DvrSession::talkStop() {
    if (!soundOutput()) return;
    if (mic_) {
        send(Code::A_LISTEN_STOP_REQ);
        stopMicrophone();
    }
    post(ControlState{Control::Mike, ButtonLook::Released});
}

// ---------------------------------------------------------------- keep-alive

void DvrSession::startKeepAlive() {
    std::lock_guard lock(keep_alive_mutex_);
    if (closing_ || keep_alive_thread_.joinable()) return;
    keep_alive_running_ = true;
    keep_alive_thread_ = std::jthread([this](std::stop_token stop) { keepAliveThread(stop); });
}

void DvrSession::stopKeepAlive() {
    std::jthread thread;
    {
        std::lock_guard lock(keep_alive_mutex_);
        closing_ = true;
        thread = std::move(keep_alive_thread_);
    }
    // jthread's destructor requests the stop and joins.
}

void DvrSession::keepAliveThread(std::stop_token stop) {
    std::mutex m;
    std::condition_variable_any cv;
    while (!stop.stop_requested()) {
        send(Code::KEEP_ALIVE);
        std::unique_lock lock(m);
        cv.wait_for(lock, stop, options_.keep_alive_interval, [] { return false; });
    }
    keep_alive_running_ = false;
}

// ---------------------------------------------------------------- close

void DvrSession::close() {
    if (closed_) return;
    closed_ = true;

    post(ControlState{Control::Connect, ButtonLook::Released});

    // Stop the one activity that runs. Remote playback and downloads are
    // filled in by their own work.
    if (live_) {
        liveStop();
    } else if (mic_) {
        talkStop();
    }
    // A microphone left running beside live view would go on sending on a
    // connection that is about to close.
    stopMicrophone();

    // Filled in by the search, playback and event-jump work: the remote
    // dialogs are asked to close and the wall's pictures are cleared.

    live_pending_ = false;
    stopKeepAlive();

    // Filled in by the search and log viewer work: their reply copies are
    // freed here.

    send(Code::BYE48);

    if (connection_thread_.joinable()) {
        connection_thread_.request_stop();
        connection_thread_.join();
    }

    if (const auto conn = connection()) {
        conn->shutdownSend();
        conn->close();
    }

    // Filled in by the administration, log, information and PTZ work: their
    // windows are asked to close here.

    if (hello_.exchange(false)) writeConnectionRecord(ConnectionAction::Disconnected);
    logged_in_ = false;
}

}  // namespace kalix::session
