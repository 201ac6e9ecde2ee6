// Remote playback timing, measured over a real socket pair:
//
//   controls  how long a playback control (pause, step, reverse) takes to
//             reach the wire, and to end the pacing wait of a frame that is
//             waiting for its time (median and p99 over N controls).
//   pacing    normal-speed frames of 16 channels at 25 per second for S
//             seconds: when each frame is handed to its decoder against its
//             time stamp (after the first frame's base), |error| median,
//             p99 and maximum.
//
// Usage: bench_playback controls [N]   (default 1000)
//        bench_playback pacing [SECONDS] (default 60)

#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/message_header.h"
#include "protocol/unique_fd.h"
#include "session/dvr_session.h"

namespace {

using namespace kalix;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using protocol::Code;
using protocol::MessageHeader;

std::vector<std::uint8_t> message(Code code, const std::vector<std::uint8_t>& payload, std::uint8_t speed = 11,
                                  int channel = 0) {
    auto h = MessageHeader::make(code, static_cast<std::uint16_t>(payload.size()), protocol::Fragment::Last);
    h.setPlaySpeed(speed);
    h.setFrameChannel(static_cast<std::uint8_t>(channel));
    const auto head = h.encode();
    std::vector<std::uint8_t> out(head.size() + payload.size());
    std::memcpy(out.data(), head.data(), head.size());
    if (!payload.empty()) std::memcpy(out.data() + head.size(), payload.data(), payload.size());
    return out;
}

std::vector<std::uint8_t> frame(int channel, std::uint64_t ms) {
    std::vector<std::uint8_t> u(192 + 32, 0x5A);
    std::fill_n(u.begin(), 192, 0);
    const auto seconds = static_cast<std::uint32_t>(ms / 1000);
    const auto micro = static_cast<std::uint32_t>((ms % 1000) * 1024);
    protocol::putBe32(u.data() + 16, 1);
    protocol::putBe32(u.data() + 24, seconds);
    protocol::putBe32(u.data() + 28, 32);
    std::uint8_t* e = u.data() + 128;
    protocol::putLe16(e, 32);
    e[4] = 288 / 16;
    e[5] = 352 / 16;
    protocol::putLe32(e + 20, seconds);
    protocol::putLe32(e + 24, micro);
    e[36] = static_cast<std::uint8_t>(channel);
    return message(Code::PLAY_DATA, u, 11, channel);
}

std::vector<std::uint8_t> hello() {
    std::vector<std::uint8_t> p(768, 0);
    p[0] = 1;
    p[2] = 11;
    p[3] = 1;
    p[6] = 16;
    p[16] = 0x08;
    return p;
}

void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return;
        at += static_cast<std::size_t>(n);
    }
}

// The recorder's end: reads every message the client sends and keeps the
// time each one arrived.
class Peer {
public:
    explicit Peer(protocol::UniqueFd fd) : fd_(std::move(fd)), reader_([this](std::stop_token s) { read(s); }) {}
    ~Peer() {
        reader_.request_stop();
        ::shutdown(fd_.get(), SHUT_RDWR);
    }
    int fd() const { return fd_.get(); }
    // The first message with one of `codes` that arrived at or after `since`.
    std::optional<Clock::time_point> firstAfter(Clock::time_point since, std::initializer_list<Code> codes,
                                                std::chrono::milliseconds limit = 2s) {
        std::unique_lock lock(mutex_);
        std::optional<Clock::time_point> found;
        arrived_.wait_for(lock, limit, [&] {
            for (const auto& [code, at] : log_)
                if (at >= since && std::find(codes.begin(), codes.end(), static_cast<Code>(code)) != codes.end()) {
                    found = at;
                    return true;
                }
            return false;
        });
        return found;
    }
    void forget() {
        std::lock_guard lock(mutex_);
        log_.clear();
    }

private:
    void read(std::stop_token stop) {
        std::uint8_t head[16];
        while (!stop.stop_requested()) {
            if (!readExactly(head, 16)) return;
            const auto h = MessageHeader::decode(head);
            std::vector<std::uint8_t> payload(h.payloadLen());
            if (!payload.empty() && !readExactly(payload.data(), payload.size())) return;
            const auto now = Clock::now();
            {
                std::lock_guard lock(mutex_);
                log_.emplace_back(h.code(), now);
            }
            arrived_.notify_all();
        }
    }
    bool readExactly(std::uint8_t* p, std::size_t n) {
        while (n > 0) {
            const ssize_t r = ::recv(fd_.get(), p, n, 0);
            if (r <= 0) return false;
            p += r;
            n -= static_cast<std::size_t>(r);
        }
        return true;
    }

    protocol::UniqueFd fd_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::pair<std::uint16_t, Clock::time_point>> log_;
    std::jthread reader_;
};

// Keeps the time of every PlayChannels event (the marker after a frame).
class MarkerSink final : public session::EventSink {
public:
    void post(session::Event event) override {
        if (!std::holds_alternative<session::PlayChannels>(event)) return;
        {
            std::lock_guard lock(mutex_);
            marks_.push_back(Clock::now());
        }
        changed_.notify_all();
    }
    std::optional<Clock::time_point> markAfter(Clock::time_point since, std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex_);
        std::optional<Clock::time_point> found;
        changed_.wait_for(lock, limit, [&] {
            for (auto at : marks_)
                if (at >= since) {
                    found = at;
                    return true;
                }
            return false;
        });
        return found;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Clock::time_point> marks_;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

struct Rig {
    explicit Rig(session::SessionOptions o, session::EventSink& sink) {
        int fds[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        peer = std::make_unique<Peer>(protocol::UniqueFd(fds[1]));
        dvr = std::make_unique<session::DvrSession>(std::move(o), sink);
        dvr->adopt(protocol::UniqueFd(fds[0]));
        writeAll(peer->fd(), message(Code::HELLO48_ACK, hello()));
        std::this_thread::sleep_for(50ms);
        dvr->playStart(session::PlayStart{0xFFFF, 0, 1'700'000'000});
        writeAll(peer->fd(), message(Code::PLAY_ON_ACK, {}));
        while (!dvr->playbackOn()) std::this_thread::sleep_for(1ms);
    }
    ~Rig() {
        dvr->close();
        dvr.reset();
        peer.reset();
    }
    std::unique_ptr<Peer> peer;
    std::unique_ptr<session::DvrSession> dvr;
};

session::SessionOptions quickOptions() {
    session::SessionOptions o;
    o.address = "127.0.0.1";
    o.user = "bench";
    o.keep_alive_interval = 1h;
    o.live_stop_pause = 0ms;
    return o;
}

int controls(int count) {
    session::SessionOptions o = quickOptions();
    // The pauses after each message are the recorder's; what is measured
    // is the time to the first message and to the end of the wait.
    o.control_pause = 0ms;
    o.control_settle_play = 0ms;
    o.control_settle_other = 0ms;
    MarkerSink sink;
    Rig rig(o, sink);
    const session::PlayMode kinds[] = {session::PlayMode::Pause, session::PlayMode::StepForward,
                                       session::PlayMode::Reverse};
    const char* names[] = {"pause", "step", "reverse"};
    std::vector<double> wire[3];
    std::vector<double> woken[3];
    std::uint64_t t = 10'000'000;  // frame time in ms
    for (int i = 0; i < count; ++i) {
        const int k = i % 3;
        // Back to streaming forward at normal speed.
        rig.dvr->playControl(session::PlayMode::Forward);
        // A frame at the pause position or later ends a seek; the next one
        // is the base of the pacing (due 100 ms on), then one 2 s ahead.
        t += 10'000;
        writeAll(rig.peer->fd(), frame(0, t));
        writeAll(rig.peer->fd(), frame(0, t + 1));
        writeAll(rig.peer->fd(), frame(0, t + 2'000));
        writeAll(rig.peer->fd(), message(Code::PLAY_CHANNEL_INFO, {0, 0, 0xFF, 0xFF}));
        std::this_thread::sleep_for(250ms);  // the 2 s frame is waiting by now
        rig.peer->forget();
        const auto t0 = Clock::now();
        rig.dvr->playControl(kinds[k]);
        const auto first = rig.peer->firstAfter(t0, {Code::PLAY_PAUSE, Code::PLAY_BACKWARD});
        const auto mark = sink.markAfter(t0);
        if (!first || !mark) {
            std::fprintf(stderr, "control %d (%s): no answer\n", i, names[k]);
            return 1;
        }
        wire[k].push_back(std::chrono::duration<double, std::micro>(*first - t0).count());
        woken[k].push_back(std::chrono::duration<double, std::micro>(*mark - t0).count());
    }
    std::printf("playback controls over a socket pair, %d controls\n", count);
    std::printf("%-8s %6s  %18s  %18s\n", "control", "n", "to wire µs med/p99", "wait ended µs med/p99");
    std::vector<double> all_wire;
    std::vector<double> all_woken;
    for (int k = 0; k < 3; ++k) {
        std::printf("%-8s %6zu  %8.0f / %-8.0f  %8.0f / %-8.0f\n", names[k], wire[k].size(), percentile(wire[k], 0.5),
                    percentile(wire[k], 0.99), percentile(woken[k], 0.5), percentile(woken[k], 0.99));
        all_wire.insert(all_wire.end(), wire[k].begin(), wire[k].end());
        all_woken.insert(all_woken.end(), woken[k].begin(), woken[k].end());
    }
    std::printf("%-8s %6zu  %8.0f / %-8.0f  %8.0f / %-8.0f\n", "all", all_wire.size(), percentile(all_wire, 0.5),
                percentile(all_wire, 0.99), percentile(all_woken, 0.5), percentile(all_woken, 0.99));
    return 0;
}

int pacing(int seconds) {
    session::SessionOptions o = quickOptions();
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, Clock::time_point>> queued;
    o.live_video.playback_frame_queued = [&](const media::FrameItem& item) {
        const auto now = Clock::now();
        std::lock_guard lock(mutex);
        queued.emplace_back(item.info.timeMs(), now);
    };
    MarkerSink sink;
    Rig rig(o, sink);
    // The recorder sends ahead of time, as it does against credits: here
    // 16 channels at 25 frames a second, written in bursts of half a second.
    const std::uint64_t start_ms = 1'700'000'000'000ull;
    const int frames = seconds * 25;
    const auto begin = Clock::now();
    for (int f = 0; f < frames; ++f) {
        const std::uint64_t ms = start_ms + static_cast<std::uint64_t>(f) * 40;
        for (int ch = 0; ch < 16; ++ch) writeAll(rig.peer->fd(), frame(ch, ms));
        if (f % 12 == 11) std::this_thread::sleep_until(begin + std::chrono::milliseconds((f + 1) * 40 - 300));
    }
    std::this_thread::sleep_until(begin + std::chrono::seconds(seconds) + 1s);
    std::vector<double> errors;
    {
        std::lock_guard lock(mutex);
        if (queued.empty()) return 1;
        const auto base_ms = queued.front().first;
        const auto base_at = queued.front().second;
        for (const auto& [ms, at] : queued) {
            const double due_ms = static_cast<double>(ms - base_ms);
            const double shown_ms = std::chrono::duration<double, std::milli>(at - base_at).count();
            errors.push_back(std::abs(shown_ms - due_ms));
        }
    }
    std::printf("pacing at normal speed: 16 channels x 25 fps for %d s, %zu frames handed to decoders\n", seconds,
                errors.size());
    std::printf("|shown - due| ms: median %.2f  p99 %.2f  max %.2f\n", percentile(errors, 0.5),
                percentile(errors, 0.99), percentile(errors, 1.0));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "controls";
    if (what == "controls") return controls(argc > 2 ? std::atoi(argv[2]) : 1000);
    if (what == "pacing") return pacing(argc > 2 ? std::atoi(argv[2]) : 60);
    std::fprintf(stderr, "usage: bench_playback controls [N] | pacing [SECONDS]\n");
    return 2;
}
