#include "sim/recorder_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <stop_token>
#include <thread>

#include "media/audio/g726.h"
#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "protocol/unique_fd.h"
#include "sim/hello_reply.h"
#include "sim/live_audio.h"
#include "sim/live_video.h"
#include "sim/traffic_log.h"

namespace kalix::sim {
namespace {

using Clock = std::chrono::steady_clock;
using protocol::Code;
using protocol::Direction;
using protocol::Fragment;
using protocol::MessageHeader;
using namespace std::chrono_literals;

// A refused login is followed by our close after this pause, so the client
// reads the BYE48 before the connection goes.
constexpr auto kByeClosePause = 200ms;
// After we shut our sending side, the client has this long to close its own.
constexpr auto kCloseGrace = 2s;
// Between the pieces of a reply cut into several writes, long enough for the
// client to see each piece on its own.
constexpr auto kPiecePause = 20ms;

// The client gathers one live unit in a buffer of this size.
constexpr std::size_t kClientReassemblySize = 1'244'160;
constexpr std::size_t kOversizedUnitSize =
    (kClientReassemblySize / protocol::kMaxPayload + 1) * protocol::kMaxPayload;
// A live video unit: frame header at 260, coded picture from 324.
constexpr std::size_t kLiveVideoHeaderOffset = 260;
constexpr std::size_t kLiveVideoDataOffset = 324;
constexpr std::size_t kGarbageSize = 512;
constexpr std::uint32_t kGarbageSeed = 0x6b616c69;

enum class Pieces : std::uint8_t { Whole, Split };
// Streamed video would drown the traffic log: its units are counted instead.
enum class Logging : std::uint8_t { EachMessage, Quiet };

// Waits `delay` unless a stop is requested first; true when the whole time passed.
bool pause(std::stop_token stop, std::chrono::milliseconds delay) {
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    return !cv.wait_for(lock, stop, delay, [&] { return stop.stop_requested(); });
}

// Waits `delay` on the connection's cancel descriptor; true when the whole
// time passed without a cancel.
bool pauseOn(const protocol::Connection& conn, std::chrono::milliseconds delay) {
    const auto deadline = Clock::now() + delay;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return true;
        pollfd fd{conn.cancelFd(), POLLIN, 0};
        const int n = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (n > 0) return false;
        if (n < 0 && errno != EINTR) return false;
    }
}

// Waits until the client has sent something (or closed); false once the
// connection is cancelled. No time limit: a logged-out client may idle.
bool waitReadable(const protocol::Connection& conn) {
    for (;;) {
        pollfd fds[2] = {{conn.fd(), POLLIN, 0}, {conn.cancelFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[1].revents != 0) return false;
        if (fds[0].revents != 0) return true;
    }
}

// Where a reply is cut when it goes out in pieces: inside the header, then
// twice inside the payload.
std::vector<std::size_t> pieceEnds(std::size_t total) {
    const std::size_t payload = total - protocol::kHeaderSize;
    std::vector<std::size_t> ends{5, protocol::kHeaderSize + payload / 3,
                                  protocol::kHeaderSize + 2 * payload / 3, total};
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    std::erase_if(ends, [&](std::size_t e) { return e == 0 || e > total; });
    return ends;
}

std::uint32_t wallClockSeconds() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// A live video unit with no coded picture: what a recorder sends for a
// channel whose encoder has nothing new, and the smallest unit the client
// must hand on.
std::vector<std::uint8_t> emptyLiveVideoUnit(std::uint32_t time) {
    std::vector<std::uint8_t> unit(kLiveVideoDataOffset, 0);
    std::uint8_t* enc = unit.data() + kLiveVideoHeaderOffset;
    enc[4] = 288 / 16;  // picture height / 16
    enc[5] = 352 / 16;  // picture width / 16
    protocol::putLe32(enc + 20, time);
    return unit;
}

}  // namespace

class RecorderSim::Impl {
public:
    class ClientLink;

    explicit Impl(SimConfig config) : config_(std::move(config)) {}
    ~Impl() { stop(); }

    bool start();
    void stop();

    const SimConfig& config() const { return config_; }
    std::chrono::milliseconds now() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
    }

    // Called by the connections' threads.
    void record(ReceivedMessage message, bool bad);
    void logSent(int connection, const MessageHeader& header);
    void logRaw(int connection, std::size_t len);
    // An event line in the traffic log, and on standard error.
    void logEvent(int connection, const std::string& text);
    void event(int connection, const std::string& text);
    void linkClosed(int connection);
    // Keeps one talk chunk and its decoding, and appends them to the talk
    // files when there are any.
    void storeTalk(std::span<const std::uint8_t> chunk, std::span<const std::int16_t> decoded);

    std::vector<std::shared_ptr<ClientLink>> links() const;

    // -- guarded by state_mutex_ --
    mutable std::mutex state_mutex_;
    mutable std::condition_variable state_cv_;
    std::vector<ReceivedMessage> received_;
    std::size_t accepted_ = 0;
    std::size_t open_links_ = 0;
    std::vector<std::vector<std::uint8_t>> talk_chunks_;
    std::vector<std::int16_t> talk_decoded_;

    std::atomic<std::uint16_t> port_{0};

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;

    void acceptLoop(std::stop_token stop);
    void reapFinished();
    bool openTalkFiles();

    const SimConfig config_;
    TrafficLog traffic_;
    Clock::time_point started_ = Clock::now();
    bool ran_ = false;  // start() and stop() come from the owner's thread
    protocol::UniqueFd listen_;
    protocol::UniqueFd wake_;  // eventfd that ends the accept wait
    std::mutex event_mutex_;   // keeps event lines whole on standard error
    File talk_raw_;            // written under state_mutex_
    File talk_pcm_;

    // Never held together with state_mutex_.
    mutable std::mutex links_mutex_;
    // -- guarded by links_mutex_ --
    std::vector<std::shared_ptr<ClientLink>> links_;

    std::jthread acceptor_;  // last: joined before anything it uses goes
};

// One client connection: its reader thread, the helper threads that run
// delayed or long sends, and the login state.
class RecorderSim::Impl::ClientLink {
public:
    ClientLink(RecorderSim::Impl& sim, int id, protocol::UniqueFd socket)
        : sim_(sim), config_(sim.config()), id_(id),
          conn_(std::make_unique<protocol::Connection>(std::move(socket))) {}

    ~ClientLink() {
        conn_->cancel();
        reader_ = {};  // requests stop and joins
        video_.reset();  // its sends fail at once on the cancelled connection
        audio_.reset();
        for (;;) {
            std::vector<std::jthread> helpers;
            {
                std::lock_guard lock(helpers_mutex_);
                taking_helpers_ = false;
                helpers.swap(helpers_);
            }
            if (helpers.empty()) break;
            helpers.clear();  // each requests stop and joins
        }
    }

    ClientLink(const ClientLink&) = delete;
    ClientLink& operator=(const ClientLink&) = delete;

    void start() {
        reader_ = std::jthread([this](std::stop_token stop) { readLoop(stop); });
    }

    int id() const { return id_; }
    bool finished() const { return finished_.load(); }
    void cancel() { conn_->cancel(); }

    bool sendMessage(std::uint16_t code, std::span<const std::uint8_t> payload, Fragment fragment,
                     Pieces pieces = Pieces::Whole, std::uint32_t word3 = 0) {
        std::lock_guard lock(write_mutex_);
        return writeLocked(code, payload, fragment, pieces, word3);
    }

    // One media unit in fragments of at most 65,535 bytes, none of another
    // message between them.
    bool sendUnit(std::uint16_t code, std::span<const std::uint8_t> unit, std::uint32_t word3,
                  Logging logging = Logging::EachMessage) {
        std::lock_guard lock(write_mutex_);
        std::size_t offset = 0;
        do {
            const std::size_t n = std::min<std::size_t>(unit.size() - offset, protocol::kMaxPayload);
            const bool last = offset + n == unit.size();
            if (!writeLocked(code, unit.subspan(offset, n), last ? Fragment::Last : Fragment::More,
                             Pieces::Whole, word3, logging)) {
                return false;
            }
            offset += n;
        } while (offset < unit.size());
        return true;
    }

    bool sendRaw(std::span<const std::uint8_t> bytes) {
        std::lock_guard lock(write_mutex_);
        if (!protocol::SendBuffer(*conn_, bytes)) return false;
        sim_.logRaw(id_, bytes.size());
        return true;
    }

    // Shuts our sending side: the client sees an orderly close. Should it
    // not close its side in time, the connection is dropped.
    void closeOrderly() {
        if (closing_.exchange(true)) return;
        conn_->shutdownSend();
        sim_.event(id_, "closing");
        spawn([this](std::stop_token stop) {
            if (pause(stop, kCloseGrace)) conn_->cancel();
        });
    }

private:
    using Handler = void (ClientLink::*)(const ReceivedMessage&);
    enum class Login : std::uint8_t { NotNeeded, Needed };
    struct HandlerEntry {
        Code code;
        Handler handler;
        Login login;
    };

    // What the recorder does per client message. A code not listed here is
    // read, recorded and otherwise ignored; KEEP_ALIVE needs nothing more.
    static std::span<const HandlerEntry> handlers() {
        static const HandlerEntry kHandlers[] = {
            {Code::HELLO, &ClientLink::onHello, Login::NotNeeded},
            {Code::BYE48, &ClientLink::onBye, Login::NotNeeded},
            {Code::LIVE_REQ, &ClientLink::onLiveReq, Login::Needed},
            {Code::LIVE_STOP, &ClientLink::onLiveStop, Login::Needed},
            {Code::AUDIO_ONOFF_REQ, &ClientLink::onAudioOnOff, Login::Needed},
            {Code::A_LISTEN_REQ, &ClientLink::onTalkReq, Login::Needed},
            {Code::A_LISTEN_DATA, &ClientLink::onTalkData, Login::Needed},
            {Code::A_LISTEN_STOP_REQ, &ClientLink::onTalkStop, Login::Needed},
        };
        return kHandlers;
    }

    void readLoop(std::stop_token stop) {
        std::stop_callback wake(stop, [this] { conn_->cancel(); });
        while (!stop.stop_requested() && waitReadable(*conn_)) {
            std::array<std::uint8_t, protocol::kHeaderSize> head{};
            if (!protocol::LoopReceive(*conn_, head)) break;
            const MessageHeader header = MessageHeader::decode(head.data());
            // payloadLen() is 16 bits wide: never more than 65,535 bytes here.
            std::vector<std::uint8_t> payload(header.payloadLen());
            if (!protocol::LoopReceive(*conn_, payload)) break;

            const std::uint16_t code = header.code();
            const protocol::MessageSpec* spec = protocol::findMessage(code, Direction::ToRecorder);
            const bool bad = spec != nullptr && !spec->acceptsLength(header.payloadLen());
            ReceivedMessage message{sim_.now(), id_, code,
                                    protocol::messageName(code, Direction::ToRecorder), header,
                                    std::move(payload)};
            sim_.record(message, bad);
            dispatch(message, bad);
        }
        conn_->close();
        finished_.store(true);
        sim_.linkClosed(id_);
    }

    void dispatch(const ReceivedMessage& message, bool bad) {
        const auto table = handlers();
        const auto it = std::find_if(table.begin(), table.end(), [&](const HandlerEntry& e) {
            return static_cast<std::uint16_t>(e.code) == message.code;
        });
        if (it == table.end()) return;
        if (bad) {
            sim_.event(id_, message.name + " with " + std::to_string(message.payload.size()) +
                                " payload bytes ignored");
            return;
        }
        if (it->login == Login::Needed && !logged_in_.load()) {
            sim_.event(id_, message.name + " before login ignored");
            return;
        }
        (this->*(it->handler))(message);
    }

    void onHello(const ReceivedMessage& message) {
        const auto login = parseHello(message.payload);
        if (!login) return;
        if (config_.bye_reason) {
            refuse(*config_.bye_reason);
            return;
        }
        if (!acceptsLogin(config_.users, *login)) {
            sim_.event(id_, "wrong login '" + login->user + "'");
            refuse(config_.wrong_password_reason);
            return;
        }
        const std::vector<std::uint8_t> ack = buildHelloAck(config_);
        if (!sendMessage(static_cast<std::uint16_t>(Code::HELLO48_ACK), ack, Fragment::Last, replyPieces())) {
            return;
        }
        const bool again = logged_in_.exchange(true);
        sim_.event(id_, "login " + login->user);
        if (!again) afterLogin();
    }

    void onBye(const ReceivedMessage&) { sim_.event(id_, "client says goodbye"); }

    void onLiveReq(const ReceivedMessage& message) {
        if (!config_.answer_live_req) {
            sim_.event(id_, "LIVE_REQ left unanswered");
            return;
        }
        const std::uint32_t requested = protocol::be32(message.payload.data());
        const std::uint32_t mask = liveAnswerMask(config_, requested);
        std::array<std::uint8_t, 4> answer{};
        protocol::putBe32(answer.data(), mask);
        const auto announce = [&] {
            return sendMessage(static_cast<std::uint16_t>(Code::LIVE_CHANNEL_INFO), answer, Fragment::Last,
                               replyPieces());
        };
        if (config_.video.enabled) {
            // Channels in video loss are announced and not sent.
            const auto streamed = static_cast<std::uint16_t>(mask & ~(mask >> 16));
            bool answered = false;
            videoStreamer().restart(streamed, [&] { answered = announce(); });
            if (!answered) return;
            sim_.logEvent(id_, "live video on channels " + hexMask(streamed));
        } else if (!announce()) {
            return;
        }
        live_channels_ = static_cast<std::uint16_t>(mask & 0xFFFFu);
        applyAudio(audio_on_.load());
        // The oversized unit follows the first live answer, so that the
        // client is in live view when it arrives.
        if (config_.oversized_unit_after_login && !oversized_sent_.exchange(true)) {
            spawn([this](std::stop_token) { sendOversizedUnit(); });
        }
    }

    void onLiveStop(const ReceivedMessage&) {
        // The audio ends first: none of it follows the acknowledgement.
        live_channels_ = 0;
        applyAudio(audio_on_.load());
        const auto acknowledge = [&] { sendMessage(static_cast<std::uint16_t>(Code::LIVE_STOP_ACK), {}, Fragment::Last); };
        if (!video_) {
            acknowledge();
            return;
        }
        video_->restart(0, acknowledge);
        sim_.logEvent(id_, "live video stopped, " + std::to_string(video_->unitsSent()) + " units sent");
    }

    // Made at the first LIVE_REQ; only the reader thread touches the pointer.
    LiveVideoStreamer& videoStreamer() {
        if (!video_) {
            video_ = std::make_unique<LiveVideoStreamer>(
                config_.video, [this](std::span<const std::uint8_t> unit, std::uint32_t seconds) {
                    return sendUnit(static_cast<std::uint16_t>(Code::LIVE_DATA), unit, seconds, Logging::Quiet);
                });
        }
        return *video_;
    }

    // Audio on and off: the recorder's headers carry the switch from here on.
    // Switched on, every audio unit carries it; switched off, no unit follows
    // the first header without it.
    void onAudioOnOff(const ReceivedMessage& message) {
        if (!config_.audio.enabled) {
            sim_.event(id_, "no audio to switch on or off");
            return;
        }
        const bool on = message.header.audioOn();
        if (on) audio_on_.store(true);
        applyAudio(on);
        if (!on) audio_on_.store(false);
        sim_.logEvent(id_, std::string("audio ") + (on ? "on" : "off"));
    }

    // Streams audio on the live channels that have it while audio is on.
    void applyAudio(bool on) {
        const std::uint16_t with_audio = config_.audio.mask.value_or(0xFFFF);
        const auto mask = static_cast<std::uint16_t>(on ? live_channels_ & with_audio : 0);
        if (!audio_ && mask == 0) return;
        if (!audio_) {
            audio_ = std::make_unique<LiveAudioStreamer>([this](std::span<const std::uint8_t> unit, std::uint32_t seconds) {
                return sendUnit(static_cast<std::uint16_t>(Code::LIVE_DATA), unit, seconds, Logging::Quiet);
            });
        }
        if (audio_->mask() == mask) return;
        const bool was_on = audio_->mask() != 0;
        audio_->setMask(mask);
        if (mask != 0) {
            if (!was_on) audio_units_at_start_ = audio_->unitsSent();
            sim_.logEvent(id_, "live audio on channels " + hexMask(mask));
        } else {
            sim_.logEvent(id_, "live audio stopped, " +
                                   std::to_string(audio_->unitsSent() - audio_units_at_start_) + " units sent");
        }
    }

    void onTalkReq(const ReceivedMessage&) {
        if (const auto reason = config_.talk_nack_reason) {
            std::array<std::uint8_t, 4> payload{};
            protocol::putBe32(payload.data(), static_cast<std::uint32_t>(*reason));
            sim_.event(id_, "talk refused, reason " + std::to_string(*reason));
            sendMessage(static_cast<std::uint16_t>(Code::A_LISTEN_NACK), payload, Fragment::Last);
            return;
        }
        if (!talking_) {
            talking_ = true;
            talk_decoder_.reset();
            talk_pending_.clear();
        }
        sim_.event(id_, "talk accepted");
        sendMessage(static_cast<std::uint16_t>(Code::A_LISTEN_ACK), {}, Fragment::Last);
    }

    // The chunks of one talk are one coded stream: bytes short of a whole
    // group of eight codes wait for the next chunk.
    void onTalkData(const ReceivedMessage& message) {
        if (!talking_) {
            sim_.event(id_, "A_LISTEN_DATA outside a talk ignored");
            return;
        }
        talk_pending_.insert(talk_pending_.end(), message.payload.begin(), message.payload.end());
        const std::size_t whole = talk_pending_.size() / media::kG726GroupBytes * media::kG726GroupBytes;
        std::vector<std::int16_t> decoded(media::g726SampleCount(whole));
        talk_decoder_.decode(std::span(talk_pending_).first(whole), decoded);
        talk_pending_.erase(talk_pending_.begin(), talk_pending_.begin() + static_cast<std::ptrdiff_t>(whole));
        sim_.storeTalk(message.payload, decoded);
    }

    void onTalkStop(const ReceivedMessage&) {
        if (talking_ && !talk_pending_.empty()) {
            sim_.event(id_, "talk ends with " + std::to_string(talk_pending_.size()) + " bytes short of a code group");
        }
        talking_ = false;
        sim_.event(id_, "talk stopped");
        sendMessage(static_cast<std::uint16_t>(Code::A_LISTEN_STOP_ACK), {}, Fragment::Last);
    }

    static std::string hexMask(std::uint16_t mask) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%04x", unsigned{mask});
        return text;
    }

    void refuse(std::int32_t reason) {
        std::array<std::uint8_t, 4> payload{};
        protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
        sim_.event(id_, "BYE48 reason " + std::to_string(reason));
        sendMessage(static_cast<std::uint16_t>(Code::BYE48), payload, Fragment::Last);
        spawn([this](std::stop_token stop) {
            if (pause(stop, kByeClosePause)) closeOrderly();
        });
    }

    // The faults that follow a login, on helper threads so the reader keeps
    // reading while they go out.
    void afterLogin() {
        if (config_.unknown_after_login || config_.garbage_after_login ||
            (config_.oversized_unit_after_login && !config_.answer_live_req)) {
            spawn([this](std::stop_token) {
                if (const auto unknown = config_.unknown_after_login) {
                    std::vector<std::uint8_t> payload(unknown->second);
                    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
                    sendMessage(unknown->first, payload, Fragment::Last);
                }
                if (config_.garbage_after_login) {
                    std::mt19937 random(kGarbageSeed);
                    std::uniform_int_distribution<int> byte(0, 255);
                    std::vector<std::uint8_t> garbage(kGarbageSize);
                    for (auto& b : garbage) b = static_cast<std::uint8_t>(byte(random));
                    sendRaw(garbage);
                }
                if (config_.oversized_unit_after_login && !config_.answer_live_req &&
                    !oversized_sent_.exchange(true)) {
                    sendOversizedUnit();
                }
            });
        }
        if (const auto delay = config_.close_after) {
            spawn([this, delay = *delay](std::stop_token stop) {
                if (pause(stop, delay)) closeOrderly();
            });
        }
    }

    void sendOversizedUnit() {
        const std::uint32_t time = wallClockSeconds();
        const std::vector<std::uint8_t> big(kOversizedUnitSize, 0);
        const auto code = static_cast<std::uint16_t>(Code::LIVE_DATA);
        if (!sendUnit(code, big, time)) return;
        sendUnit(code, emptyLiveVideoUnit(time), time);
    }

    Pieces replyPieces() const { return config_.fragment_replies ? Pieces::Split : Pieces::Whole; }

    bool writeLocked(std::uint16_t code, std::span<const std::uint8_t> payload, Fragment fragment,
                     Pieces pieces, std::uint32_t word3, Logging logging = Logging::EachMessage) {
        if (payload.size() > protocol::kMaxPayload) return false;
        MessageHeader header;
        header.setCode(code);
        header.setPayloadLen(static_cast<std::uint16_t>(payload.size()));
        header.setLastFragment(fragment == Fragment::Last);
        header.setAudioOn(audio_on_.load());
        header.word3 = word3;
        bool sent = false;
        if (pieces == Pieces::Whole) {
            sent = protocol::SendPacket(*conn_, header, payload);
        } else {
            std::vector<std::uint8_t> bytes(protocol::kHeaderSize + payload.size());
            const auto head = header.encode();
            std::copy(head.begin(), head.end(), bytes.begin());
            std::copy(payload.begin(), payload.end(), bytes.begin() + protocol::kHeaderSize);
            std::size_t begin = 0;
            sent = true;
            for (const std::size_t end : pieceEnds(bytes.size())) {
                if (begin != 0 && !pauseOn(*conn_, kPiecePause)) {
                    sent = false;
                    break;
                }
                if (!protocol::SendBuffer(*conn_, std::span(bytes).subspan(begin, end - begin))) {
                    sent = false;
                    break;
                }
                begin = end;
            }
        }
        if (sent && logging == Logging::EachMessage) sim_.logSent(id_, header);
        return sent;
    }

    void spawn(std::function<void(std::stop_token)> job) {
        std::lock_guard lock(helpers_mutex_);
        if (!taking_helpers_) return;
        helpers_.emplace_back(std::move(job));
    }

    RecorderSim::Impl& sim_;
    const SimConfig& config_;
    const int id_;
    const std::unique_ptr<protocol::Connection> conn_;

    std::atomic<bool> logged_in_{false};
    std::atomic<bool> closing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> oversized_sent_{false};
    // Mirrored in the header of every message we send.
    std::atomic<bool> audio_on_{false};

    // -- only the reader thread touches these --
    std::uint16_t live_channels_ = 0;  // of the last live answer; 0 when stopped
    std::uint64_t audio_units_at_start_ = 0;
    bool talking_ = false;
    media::G726Decoder talk_decoder_;
    std::vector<std::uint8_t> talk_pending_;

    std::mutex write_mutex_;  // whole messages and units go out one at a time
    // Lock order: a streamer's lock, then write_mutex_. Only the reader
    // thread touches the pointers.
    std::unique_ptr<LiveVideoStreamer> video_;
    std::unique_ptr<LiveAudioStreamer> audio_;

    std::mutex helpers_mutex_;
    // -- guarded by helpers_mutex_ --
    std::vector<std::jthread> helpers_;
    bool taking_helpers_ = true;

    std::jthread reader_;
};

// --- RecorderSim::Impl ---

bool RecorderSim::Impl::start() {
    if (ran_) return false;
    ran_ = true;
    started_ = Clock::now();
    if (!traffic_.open(config_.traffic_path)) {
        event(0, "cannot create the traffic log " + config_.traffic_path);
        return false;
    }
    if (!openTalkFiles()) {
        event(0, "cannot create the talk files " + config_.talk_out_path + "[.pcm]");
        return false;
    }

    protocol::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    wake_ = protocol::UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd.valid() || !wake_.valid()) return false;
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(config_.port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd.get(), SOMAXCONN) != 0) {
        event(0, "cannot listen on port " + std::to_string(config_.port));
        return false;
    }
    socklen_t len = sizeof addr;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return false;
    port_.store(ntohs(addr.sin_port));
    listen_ = std::move(fd);
    acceptor_ = std::jthread([this](std::stop_token stop) { acceptLoop(stop); });
    return true;
}

void RecorderSim::Impl::stop() {
    acceptor_ = {};  // requests stop and joins
    std::vector<std::shared_ptr<ClientLink>> links;
    {
        std::lock_guard lock(links_mutex_);
        links.swap(links_);
    }
    for (const auto& link : links) link->cancel();
    links.clear();  // each joins its threads
    listen_.reset();
}

void RecorderSim::Impl::acceptLoop(std::stop_token stop) {
    std::stop_callback wake(stop, [this] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wake_.get(), &one, sizeof one);
    });
    while (!stop.stop_requested()) {
        pollfd fds[2] = {{listen_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        protocol::UniqueFd socket(::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!socket.valid()) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) continue;
            event(0, "accept failed, no more connections");
            break;
        }
        // Each reply leaves at once: the cut replies rely on it.
        const int one = 1;
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

        reapFinished();
        int id = 0;
        {
            std::lock_guard lock(state_mutex_);
            id = static_cast<int>(++accepted_);
            ++open_links_;
        }
        auto link = std::make_shared<ClientLink>(*this, id, std::move(socket));
        {
            std::lock_guard lock(links_mutex_);
            links_.push_back(link);
        }
        traffic_.write(formatEventLine(now(), id, "accepted"));
        event(id, "accepted");
        link->start();
        state_cv_.notify_all();
    }
}

bool RecorderSim::Impl::openTalkFiles() {
    if (config_.talk_out_path.empty()) return true;
    talk_raw_.reset(std::fopen(config_.talk_out_path.c_str(), "wb"));
    talk_pcm_.reset(std::fopen((config_.talk_out_path + ".pcm").c_str(), "wb"));
    return talk_raw_ && talk_pcm_;
}

void RecorderSim::Impl::storeTalk(std::span<const std::uint8_t> chunk, std::span<const std::int16_t> decoded) {
    {
        std::lock_guard lock(state_mutex_);
        talk_chunks_.emplace_back(chunk.begin(), chunk.end());
        talk_decoded_.insert(talk_decoded_.end(), decoded.begin(), decoded.end());
        if (talk_raw_ && talk_pcm_) {
            std::vector<std::uint8_t> pcm(decoded.size() * 2);
            for (std::size_t i = 0; i < decoded.size(); ++i) {
                const auto v = static_cast<std::uint16_t>(decoded[i]);
                pcm[2 * i] = static_cast<std::uint8_t>(v & 0xFFu);
                pcm[2 * i + 1] = static_cast<std::uint8_t>(static_cast<unsigned>(v) >> 8);
            }
            std::fwrite(chunk.data(), 1, chunk.size(), talk_raw_.get());
            std::fwrite(pcm.data(), 1, pcm.size(), talk_pcm_.get());
            std::fflush(talk_raw_.get());
            std::fflush(talk_pcm_.get());
        }
    }
    state_cv_.notify_all();
}

// Connections whose client has gone are released here, so a long run does
// not collect descriptors and finished threads.
void RecorderSim::Impl::reapFinished() {
    std::vector<std::shared_ptr<ClientLink>> done;
    {
        std::lock_guard lock(links_mutex_);
        for (auto& link : links_) {
            if (link->finished()) done.push_back(std::move(link));
        }
        std::erase(links_, nullptr);
    }
    // `done` joins the finished links' threads here, outside the lock.
}

auto RecorderSim::Impl::links() const -> std::vector<std::shared_ptr<ClientLink>> {
    std::lock_guard lock(links_mutex_);
    return links_;
}

void RecorderSim::Impl::record(ReceivedMessage message, bool bad) {
    if (traffic_.enabled()) {
        TrafficRecord r{message.at, message.connection, TrafficDirection::Received, message.header,
                        message.name, message.payload, bad};
        traffic_.write(formatMessageLine(r));
    }
    {
        std::lock_guard lock(state_mutex_);
        received_.push_back(std::move(message));
    }
    state_cv_.notify_all();
}

void RecorderSim::Impl::logSent(int connection, const MessageHeader& header) {
    if (!traffic_.enabled()) return;
    const std::string name = protocol::messageName(header.code(), Direction::ToClient);
    traffic_.write(formatMessageLine({now(), connection, TrafficDirection::Sent, header, name, {}, false}));
}

void RecorderSim::Impl::logRaw(int connection, std::size_t len) {
    traffic_.write(formatRawLine(now(), connection, len));
}

void RecorderSim::Impl::logEvent(int connection, const std::string& text) {
    traffic_.write(formatEventLine(now(), connection, text));
    event(connection, text);
}

void RecorderSim::Impl::event(int connection, const std::string& text) {
    if (!config_.log_events) return;
    std::lock_guard lock(event_mutex_);
    if (connection > 0) {
        std::fprintf(stderr, "[sim] conn %d: %s\n", connection, text.c_str());
    } else {
        std::fprintf(stderr, "[sim] %s\n", text.c_str());
    }
}

void RecorderSim::Impl::linkClosed(int connection) {
    traffic_.write(formatEventLine(now(), connection, "closed"));
    event(connection, "closed");
    {
        std::lock_guard lock(state_mutex_);
        --open_links_;
    }
    state_cv_.notify_all();
}

// --- RecorderSim ---

RecorderSim::RecorderSim(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

RecorderSim::~RecorderSim() = default;

bool RecorderSim::start() { return impl_->start(); }

std::uint16_t RecorderSim::port() const { return impl_->port_.load(); }

void RecorderSim::stop() { impl_->stop(); }

std::vector<ReceivedMessage> RecorderSim::received() const {
    std::lock_guard lock(impl_->state_mutex_);
    return impl_->received_;
}

std::size_t RecorderSim::count(protocol::Code code) const {
    std::lock_guard lock(impl_->state_mutex_);
    return static_cast<std::size_t>(
        std::count_if(impl_->received_.begin(), impl_->received_.end(), [&](const ReceivedMessage& m) {
            return m.code == static_cast<std::uint16_t>(code);
        }));
}

bool RecorderSim::waitUntil(const std::function<bool(const std::vector<ReceivedMessage>&)>& pred,
                            std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->state_mutex_);
    return impl_->state_cv_.wait_for(lock, timeout, [&] { return pred(impl_->received_); });
}

bool RecorderSim::waitForCount(protocol::Code code, std::size_t n, std::chrono::milliseconds timeout) const {
    return waitUntil(
        [&](const std::vector<ReceivedMessage>& all) {
            return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const ReceivedMessage& m) {
                       return m.code == static_cast<std::uint16_t>(code);
                   })) >= n;
        },
        timeout);
}

bool RecorderSim::waitForDisconnect(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->state_mutex_);
    return impl_->state_cv_.wait_for(lock, timeout, [&] { return impl_->open_links_ == 0; });
}

std::size_t RecorderSim::connectionCount() const {
    std::lock_guard lock(impl_->state_mutex_);
    return impl_->accepted_;
}

std::vector<std::vector<std::uint8_t>> RecorderSim::talkChunks() const {
    std::lock_guard lock(impl_->state_mutex_);
    return impl_->talk_chunks_;
}

std::vector<std::int16_t> RecorderSim::talkDecoded() const {
    std::lock_guard lock(impl_->state_mutex_);
    return impl_->talk_decoded_;
}

bool RecorderSim::waitForTalkChunks(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->state_mutex_);
    return impl_->state_cv_.wait_for(lock, timeout, [&] { return impl_->talk_chunks_.size() >= n; });
}

void RecorderSim::sendToClients(protocol::Code code, std::span<const std::uint8_t> payload,
                                protocol::Fragment fragment) {
    if (payload.size() > protocol::kMaxPayload) {
        impl_->event(0, "a payload of " + std::to_string(payload.size()) + " bytes cannot be sent");
        return;
    }
    for (const auto& link : impl_->links()) {
        if (!link->finished()) link->sendMessage(static_cast<std::uint16_t>(code), payload, fragment);
    }
}

void RecorderSim::sendRawToClients(std::span<const std::uint8_t> bytes) {
    for (const auto& link : impl_->links()) {
        if (!link->finished()) link->sendRaw(bytes);
    }
}

void RecorderSim::closeClients() {
    for (const auto& link : impl_->links()) {
        if (!link->finished()) link->closeOrderly();
    }
}

}  // namespace kalix::sim
