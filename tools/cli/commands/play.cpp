// kalix-cli play: log in, play the recorder's recordings from a time or an
// event for --seconds, pressing the playback bar as --control says, and
// leave in --out the checksum of every picture shown (frames.md5) and the
// last picture of every channel (chNN.png).

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/stop_wait.h"
#include "cli/commands/commands.h"
#include "cli/time_arg.h"
#include "cli/json_line.h"
#include "cli/wall_pictures.h"
#include "media/video/md5.h"
#include "media/video/video_wall.h"
#include "protocol/recorder_time.h"

namespace kalix::cli {
namespace {

using Clock = std::chrono::steady_clock;
using session::PlayMode;

enum class Action : std::uint8_t { Reverse, Forward, Pause, StepBack, StepForward, EventPrev, EventNext };

struct ControlStep {
    std::chrono::milliseconds after{0};
    Action action = Action::Pause;
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<Action> parseAction(std::string_view a) {
    if (a == "reverse") return Action::Reverse;
    if (a == "forward") return Action::Forward;
    if (a == "pause") return Action::Pause;
    if (a == "step-back") return Action::StepBack;
    if (a == "step-forward") return Action::StepForward;
    if (a == "event-prev") return Action::EventPrev;
    if (a == "event-next") return Action::EventNext;
    return std::nullopt;
}

// "2", "2.5", "0.25": whole and decimal seconds, to the millisecond.
std::optional<std::chrono::milliseconds> parseSeconds(std::string_view t) {
    const auto dot = t.find('.');
    const std::string_view whole = t.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view{} : t.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if (dot != std::string_view::npos && fraction.empty()) return std::nullopt;
    unsigned seconds = 0;
    if (!whole.empty() && (!parseNumber(whole, seconds) || seconds > 1'000'000)) return std::nullopt;
    unsigned ms = 0;
    int scale = 100;
    for (char ch : fraction) {
        if (ch < '0' || ch > '9') return std::nullopt;
        ms += static_cast<unsigned>((ch - '0') * scale);
        scale /= 10;
    }
    return std::chrono::milliseconds(std::int64_t{seconds} * 1000 + ms);
}

std::optional<std::vector<ControlStep>> parseControl(std::string_view text) {
    std::vector<ControlStep> steps;
    while (!text.empty()) {
        const auto end = text.find(';');
        const std::string_view step = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (step.empty()) {
            if (end == std::string_view::npos) break;
            return std::nullopt;
        }
        const auto space = step.find_first_of(" \t");
        if (space == std::string_view::npos) return std::nullopt;
        const auto at = parseSeconds(step.substr(0, space));
        const auto action = parseAction(trim(step.substr(space)));
        if (!at || !action) return std::nullopt;
        steps.push_back(ControlStep{*at, *action});
    }
    if (steps.empty()) return std::nullopt;
    return steps;
}

std::optional<std::uint32_t> parseMask(std::string_view v) {
    unsigned mask = 0;
    const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
    const std::string_view digits = hex ? v.substr(2) : v;
    if (digits.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), mask, hex ? 16 : 10);
    if (ec != std::errc() || end != digits.data() + digits.size() || mask < 1 || mask > 0xFFFF) return std::nullopt;
    return mask;
}

struct EventChoice {
    std::uint8_t kind = 1;
    std::array<std::uint8_t, 8> token{};
};

std::optional<EventChoice> parseEvent(std::string_view v) {
    const auto colon = v.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    unsigned kind = 0;
    if (!parseNumber(v.substr(0, colon), kind) || (kind != 1 && kind != 2 && kind != 7)) return std::nullopt;
    const std::string_view hex = v.substr(colon + 1);
    if (hex.size() != 16) return std::nullopt;
    EventChoice e;
    e.kind = static_cast<std::uint8_t>(kind);
    for (std::size_t i = 0; i < 8; ++i) {
        unsigned byte = 0;
        const auto [end, ec] = std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, byte, 16);
        if (ec != std::errc() || end != hex.data() + 2 * i + 2) return std::nullopt;
        e.token[i] = static_cast<std::uint8_t>(byte);
    }
    return e;
}

// The playback's pictures: the checksum of each one shown, in order, and the
// last one of every channel at the end; the caption of the frames queued.
class PlaybackRecorder {
public:
    PlaybackRecorder(const std::filesystem::path& dir, LineFormat format) : dir_(dir), out_(format) {
        std::error_code ec;
        std::filesystem::create_directories(dir_, ec);
        md5s_.open(dir_ / "frames.md5", std::ios::trunc);
        ok_ = static_cast<bool>(md5s_);
        prepareHeadlessWall(wall_);
    }
    bool ok() const { return ok_; }
    media::VideoWall& wall() { return wall_; }

    // Decoder threads. Live view's pictures before the playback are left out.
    void pictureDecoded(const media::DecodedPicture& p) {
        if (p.mode != media::DisplayMode::RemotePlayback || !p.shown) return;
        const std::string sum = media::md5Hex(p.yuv);
        std::lock_guard lock(mutex_);
        const auto ch = static_cast<std::size_t>(p.channel);
        md5s_ << p.channel << ' ' << counts_[ch] << ' ' << p.size.width << ' ' << p.size.height << ' ' << sum << '\n';
        ++counts_[ch];
    }

    // Receive thread: the caption of every frame queued for a decoder.
    void frameQueued(const media::FrameItem& item) {
        const std::string title = media::titleText(item.info.title);
        const int channel = item.info.channel;
        {
            std::lock_guard lock(mutex_);
            auto& last = titles_[static_cast<std::size_t>(channel & 15)];
            if (last && *last == title) return;
            last = title;
        }
        out_.line(JsonLine("caption").add("channel", std::int64_t{channel}).add("title", title).str(),
                  "channel " + std::to_string(channel) + " caption \"" + title + "\"");
    }

    std::array<std::uint64_t, 16> counts() const {
        std::lock_guard lock(mutex_);
        return counts_;
    }

    void snapshot() {
        writeChannelSnapshots(wall_, dir_);
        std::lock_guard lock(mutex_);
        md5s_.flush();
    }

private:
    std::filesystem::path dir_;
    const EventPrinter out_;
    media::VideoWall wall_;
    mutable std::mutex mutex_;
    // -- guarded by mutex_ --
    std::ofstream md5s_;
    std::array<std::uint64_t, 16> counts_{};
    std::array<std::optional<std::string>, 16> titles_{};
    // --
    bool ok_ = false;
};

class PlayCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli play --host ADDR [--port N] --user NAME --password PASS\n"
               "                      --from \"YYYY-MM-DD HH:MM:SS\" --seconds N --out DIR\n"
               "                      [--channels MASK] [--event KIND:TOKEN]\n"
               "                      [--control \"T ACTION; T ACTION ...\"] [--timeout N] [--json]\n"
               "\n"
               "Logs in, plays the recordings from --from (the recorder's wall clock) or from\n"
               "an event for N seconds after the recorder accepts, stops the playback and\n"
               "closes the session.\n"
               "DIR/frames.md5: one line per picture shown, in the order shown:\n"
               "  <channel 0-15> <index within the channel> <width> <height> <md5 of the planar YUV 4:2:0 "
               "picture>\n"
               "DIR/chNN.png: the last picture of channel NN (1-16) as it is shown.\n"
               "--control presses the playback bar T seconds after the start (or when the\n"
               "previous step has finished); ACTION: reverse, forward, pause, step-back,\n"
               "step-forward, and with --event also event-prev, event-next.\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        return "  --from TIME      play: where to start, \"YYYY-MM-DD HH:MM:SS\"\n"
               "  --out DIR        play: the folder for frames.md5 and the snapshots\n"
               "  --channels MASK  play: the channels, 1-0xFFFF (default: all the recorder has)\n"
               "  --event K:TOKEN  play: start at the event of kind K (1, 2, 7) with this token\n"
               "  --control STEPS  play: playback bar presses, \"T ACTION; ...\"\n";
    }

    OptionArity option(std::string_view name) const override {
        return name == "--from" || name == "--out" || name == "--channels" || name == "--event" ||
                       name == "--control"
                   ? OptionArity::Value
                   : OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view name, std::string_view value) override {
        if (name == "--out") {
            out_dir_ = value;
        } else if (name == "--from") {
            from_ = parseDateTime(value, ' ');  // the recorder's wall clock, counted as UTC
            if (!from_) return UsageError{"invalid time", std::string(value)};
        } else if (name == "--channels") {
            mask_ = parseMask(value);
            if (!mask_) return UsageError{"invalid channel mask", std::string(value)};
        } else if (name == "--event") {
            event_ = parseEvent(value);
            if (!event_) return UsageError{"invalid event", std::string(value)};
        } else {
            steps_ = parseControl(value);
            if (!steps_) return UsageError{"invalid control steps", std::string(value)};
        }
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions& common) const override {
        if (!from_) return UsageError{"missing", "--from"};
        if (!common.seconds) return UsageError{"missing", "--seconds"};
        if (out_dir_.empty()) return UsageError{"missing", "--out"};
        if (steps_ && !event_)
            for (const auto& s : *steps_)
                if (s.action == Action::EventPrev || s.action == Action::EventNext)
                    return UsageError{"event jumps need", "--event"};
        return std::nullopt;
    }

    bool prepare(const CommonOptions& common) override {
        seconds_ = *common.seconds;
        answer_limit_ = common.answer_limit;
        pictures_ = std::make_unique<PlaybackRecorder>(out_dir_, common.format);
        if (!pictures_->ok()) {
            std::fprintf(stderr, "kalix-cli play: cannot write to %s\n", out_dir_.c_str());
            return false;
        }
        return true;
    }

    void configure(session::SessionOptions& so) override {
        so.live_video.wall = &pictures_->wall();
        so.live_video.picture_decoded = [rec = pictures_.get()](const media::DecodedPicture& p) {
            rec->pictureDecoded(p);
        };
        so.live_video.playback_frame_queued = [rec = pictures_.get()](const media::FrameItem& item) {
            rec->frameQueued(item);
        };
    }

    void loginAccepted(SessionRun& run) override {
        run.setDeadline(Clock::now() + answer_limit_, RunEnd::NoAnswer);
        auto& dvr = run.session();
        std::uint32_t mask = mask_.value_or(0);
        if (!mask_) {
            const int n = dvr.identity() ? dvr.identity()->channel_num : 16;
            mask = n >= 16 ? 0xFFFFu : (1u << std::max(n, 1)) - 1;
        }
        if (event_)
            dvr.playAtEvent(session::EventPlayStart{mask, event_->kind, event_->token, *from_});
        else
            dvr.playStart(session::PlayStart{mask, 0x3F, *from_});
    }

    void event(const session::Event& event, SessionRun& run) override {
        if (const auto* changed = std::get_if<session::PlaybackChanged>(&event)) {
            if (changed->on) {
                if (started_) return;
                started_ = true;
                run.out().line(JsonLine("playback").add("state", "started").str(), "playback started");
                const auto ack = Clock::now();
                run.setDeadline(ack + seconds_, RunEnd::ClosedByClient);
                if (steps_) startControls(run.session(), ack);
            } else {
                printStopped(run);
            }
        } else if (const auto* channels = std::get_if<session::PlayChannels>(&event)) {
            run.out().line(JsonLine("play_channels").add("mask", std::int64_t{channels->mask}).str(),
                           "playback channels 0x" + hex(channels->mask));
        } else if (std::holds_alternative<session::PlaybackRefused>(event)) {
            run.endRun(RunEnd::Refused);
        }
    }

    void beforeClose(SessionRun& run) override {
        controls_ = std::jthread();  // a press under way finishes first
        pictures_->snapshot();
        if (run.session().playbackOn()) {
            run.session().playStop();
            printStopped(run);
        }
    }

    void afterClose(SessionRun& run) override {
        const std::string counts = channelCountsJson(pictures_->counts());
        run.out().line(JsonLine("play_pictures").addRaw("decoded", counts).str(),
                       "pictures shown per channel: " + counts);
    }

private:
    static std::string hex(std::uint32_t v) {
        char text[16];
        std::snprintf(text, sizeof text, "%x", v);
        return text;
    }

    void printStopped(SessionRun& run) {
        if (!started_ || stopped_printed_) return;
        stopped_printed_ = true;
        run.out().line(JsonLine("playback").add("state", "stopped").str(), "playback stopped");
    }

    void startControls(session::DvrSession& dvr, Clock::time_point ack) {
        controls_ = std::jthread([this, &dvr, ack](std::stop_token stop) {
            Clock::time_point ready = ack;
            for (const auto& step : *steps_) {
                const auto at = std::max(ack + step.after, ready);
                if (!base::waitUntil(stop, at)) return;
                if (!dvr.playbackOn()) return;
                press(dvr, step.action);
                ready = Clock::now();
            }
        });
    }

    void press(session::DvrSession& dvr, Action action) const {
        switch (action) {
        case Action::Reverse: dvr.playControl(PlayMode::Reverse); break;
        case Action::Forward: dvr.playControl(PlayMode::Forward); break;
        case Action::Pause: dvr.playControl(PlayMode::Pause); break;
        case Action::StepBack: dvr.playControl(PlayMode::StepBackward); break;
        case Action::StepForward: dvr.playControl(PlayMode::StepForward); break;
        case Action::EventPrev: dvr.eventJump(session::JumpDirection::Backward, event_->kind); break;
        case Action::EventNext: dvr.eventJump(session::JumpDirection::Forward, event_->kind); break;
        }
    }

    std::string out_dir_;
    std::optional<protocol::RecorderTime> from_;
    std::optional<std::uint32_t> mask_;
    std::optional<EventChoice> event_;
    std::optional<std::vector<ControlStep>> steps_;
    std::chrono::seconds seconds_{0};
    std::chrono::seconds answer_limit_{30};
    bool started_ = false;
    bool stopped_printed_ = false;
    std::unique_ptr<PlaybackRecorder> pictures_;
    std::jthread controls_;  // last: joined before the rest goes
};

}  // namespace

std::unique_ptr<SessionCommand> makePlayCommand() { return std::make_unique<PlayCommand>(); }

}  // namespace kalix::cli
