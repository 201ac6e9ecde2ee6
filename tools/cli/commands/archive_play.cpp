// kalix-cli archive play: plays archive pairs with the local player, without
// a recorder, and leaves in --out the checksum of every picture shown
// (frames.md5), the last picture of every channel (chNN.png) and, with
// --audio-channel, the sound of that channel (audio.wav).

#include <array>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

#include "cli/commands/archive_commands.h"
#include "cli/commands/commands.h"
#include "cli/time_arg.h"
#include "cli/event_printer.h"
#include "cli/json_line.h"
#include "cli/wall_pictures.h"
#include "cli/wav_file.h"
#include "media/audio/g726.h"
#include "media/video/channel_decoder.h"
#include "media/video/md5.h"
#include "media/video/video_wall.h"
#include "player/local_player.h"
#include "player/play_catalogue.h"
#include "protocol/recorder_time.h"
#include "session/event_sink.h"

namespace kalix::cli {
namespace {

using Clock = std::chrono::steady_clock;
using player::Command;
using player::PauseCause;

constexpr std::string_view kUsage =
    "usage: kalix-cli archive play PATH --from T --out DIR [--speed S] [--reverse] [--slow]\n"
    "                              [--step-forward N] [--step-backward M] [--frames N]\n"
    "                              [--seconds N] [--audio-channel C] [--fast] [--json]\n"
    "\n"
    "Plays the archive pairs of the folder PATH (or the one pair PATH.idx) from T\n"
    "(YYYY-MM-DDTHH:MM:SS on the recorder's clock, or seconds since 1970).\n"
    "  --speed S          forwards 1-6, with --reverse 1-5 (default 1)\n"
    "  --reverse          backwards along the previous-frame links\n"
    "  --slow             half speed (forwards, or backwards with --reverse)\n"
    "  --step-forward N   N single steps forwards, then --step-backward M steps back\n"
    "  --frames N         end after N frames handed to the decoders\n"
    "  --seconds N        end after N seconds\n"
    "  --audio-channel C  DIR/audio.wav gets channel C's sound (0-15)\n"
    "  --fast             no waiting for the frame times (no frame is lost)\n"
    "DIR/frames.md5: one line per picture shown, in the order shown:\n"
    "  <channel 0-15> <index within the channel> <width> <height> <md5 of the planar YUV 4:2:0 picture>\n"
    "DIR/chNN.png: the last picture of channel NN (1-16).\n";

struct PlayOptions {
    std::filesystem::path path;
    std::filesystem::path out;
    std::optional<protocol::RecorderTime> from;
    unsigned speed = 1;
    bool reverse = false;
    bool slow = false;
    std::optional<unsigned> step_forward;
    std::optional<unsigned> step_backward;
    std::optional<unsigned> frames;
    std::optional<unsigned> seconds;
    std::optional<unsigned> audio_channel;
    bool fast = false;
    LineFormat format = LineFormat::Text;
};

struct UsageProblem {
    std::string text;
};

std::variant<PlayOptions, UsageProblem, HelpRequested> parseOptions(std::span<const std::string_view> args) {
    PlayOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--help" || a == "-h") return HelpRequested{};
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        auto number = [&](std::optional<unsigned>& into, unsigned low, unsigned high) -> bool {
            const auto v = value();
            unsigned n = 0;
            if (!v || !parseNumber(*v, n) || n < low || n > high) return false;
            into = n;
            return true;
        };
        if (a == "--json") {
            o.format = LineFormat::Json;
        } else if (a == "--reverse") {
            o.reverse = true;
        } else if (a == "--slow") {
            o.slow = true;
        } else if (a == "--fast") {
            o.fast = true;
        } else if (a == "--from") {
            const auto v = value();
            if (!v || !(o.from = parseTimeArg(*v))) return UsageProblem{"invalid --from"};
        } else if (a == "--out") {
            const auto v = value();
            if (!v || v->empty()) return UsageProblem{"missing --out DIR"};
            o.out = std::string(*v);
        } else if (a == "--speed") {
            std::optional<unsigned> s;
            if (!number(s, 1, 6)) return UsageProblem{"invalid --speed"};
            o.speed = *s;
        } else if (a == "--step-forward") {
            if (!number(o.step_forward, 0, 1'000'000)) return UsageProblem{"invalid --step-forward"};
        } else if (a == "--step-backward") {
            if (!number(o.step_backward, 0, 1'000'000)) return UsageProblem{"invalid --step-backward"};
        } else if (a == "--frames") {
            if (!number(o.frames, 1, 0xFFFFFFFFu)) return UsageProblem{"invalid --frames"};
        } else if (a == "--seconds") {
            if (!number(o.seconds, 1, 1'000'000)) return UsageProblem{"invalid --seconds"};
        } else if (a == "--audio-channel") {
            if (!number(o.audio_channel, 0, 15)) return UsageProblem{"invalid --audio-channel"};
        } else if (!a.empty() && a.front() == '-') {
            return UsageProblem{"unknown option " + std::string(a)};
        } else if (o.path.empty()) {
            o.path = std::string(a);
        } else {
            return UsageProblem{"unexpected argument " + std::string(a)};
        }
    }
    if (o.path.empty()) return UsageProblem{"missing PATH"};
    if (o.out.empty()) return UsageProblem{"missing --out DIR"};
    if (!o.from) return UsageProblem{"missing --from"};
    if (o.reverse && o.speed > 5) return UsageProblem{"--speed with --reverse is 1-5"};
    std::error_code ec;
    if (!std::filesystem::exists(o.path, ec)) return UsageProblem{"no such PATH " + o.path.string()};
    return o;
}

// The decoders' side: the checksum of every picture shown, in order.
class PictureLog final : public media::DecoderHost {
public:
    explicit PictureLog(const std::filesystem::path& dir) { md5s_.open(dir / "frames.md5", std::ios::trunc); }
    bool ok() const { return static_cast<bool>(md5s_); }

    bool liveFrameWanted(int) override { return true; }
    std::string liveTitle(int channel) override { return "CH" + std::to_string(channel + 1); }
    std::int64_t paneTime(int, const media::FrameItem& item) override { return item.info.seconds; }
    bool lineDoubling(int) override { return true; }
    std::optional<media::AudioIcon> audioIcon(int) override { return std::nullopt; }
    int textWidth(std::string_view text) override { return static_cast<int>(text.size()) * 10; }
    void decoderInitFailed(int channel) override {
        std::fprintf(stderr, "kalix-cli: H.264 decoder of channel %d did not start\n", channel + 1);
    }
    void pictureDecoded(const media::DecodedPicture& p) override {
        if (!p.shown) return;
        const std::string sum = media::md5Hex(p.yuv);
        std::lock_guard lock(mutex_);
        const auto ch = static_cast<std::size_t>(p.channel);
        md5s_ << p.channel << ' ' << counts_[ch] << ' ' << p.size.width << ' ' << p.size.height << ' ' << sum << '\n';
        ++counts_[ch];
    }
    void flush() {
        std::lock_guard lock(mutex_);
        md5s_.flush();
    }

private:
    std::mutex mutex_;
    std::ofstream md5s_;
    std::array<std::uint64_t, 16> counts_{};
};

// What the player hands on: to the decoders, the event lines and the WAV file.
class CliOutput final : public player::PlayerOutput {
public:
    CliOutput(const PlayOptions& o, media::VideoWall& wall, PictureLog& log) : options_(o), out_(o.format) {
        for (int c = 0; c < 16; ++c)
            decoders_[static_cast<std::size_t>(c)] = std::make_unique<media::ChannelDecoder>(c, wall, log);
        if (o.audio_channel) wav_ = std::make_unique<WavWriter>(o.out / "audio.wav", 2, 8000);
    }

    bool waitForRoom(int channel, std::size_t limit, std::stop_token stop) override {
        return decoders_[static_cast<std::size_t>(channel & 15)]->queue().waitUntilAtMost(limit, stop);
    }
    void queueFrame(media::FrameItem item, const player::Unit& unit, const std::string& vid) override {
        {
            std::lock_guard lock(mutex_);
            if (finished_) return;
        }
        out_.line(JsonLine("frame")
                      .add("vid", vid)
                      .add("offset", std::int64_t{unit.offset})
                      .add("channel", std::int64_t{item.info.channel})
                      .add("time", std::int64_t{unit.video.frame_time})
                      .add("kind", std::int64_t{static_cast<int>(item.info.kind)})
                      .str(),
                  "frame " + vid + " @" + std::to_string(unit.offset) + " channel " +
                      std::to_string(item.info.channel) + " time " + std::to_string(unit.video.frame_time) +
                      " kind " + std::to_string(static_cast<int>(item.info.kind)));
        const std::size_t ch = item.info.channel & 15u;
        decoders_[ch]->queue().push(std::move(item));
        std::lock_guard lock(mutex_);
        ++frames_;
        if (options_.frames && frames_ >= *options_.frames) finish("frames");
    }
    bool audioWanted() override { return options_.audio_channel.has_value(); }
    bool audioRunning() override { return audio_running_; }
    void startAudio() override { audio_running_ = wav_ != nullptr; }
    void stopAudio() override { audio_running_ = false; }
    int selectedAudioChannel() override { return options_.audio_channel ? static_cast<int>(*options_.audio_channel) : -1; }
    void queueAudio(const media::AudioBlock& block) override {
        if (!wav_) return;
        std::array<std::int16_t, media::g726SampleCount(media::kAudioBlockSize)> values{};
        if (g726_.decode(block, values).ok()) wav_->append(values);
    }
    void audioUnit(const player::Unit& unit, const std::string& vid) override {
        {
            std::lock_guard lock(mutex_);
            if (finished_) return;
        }
        out_.line(JsonLine("audio").add("vid", vid).add("offset", std::int64_t{unit.offset}).str(),
                  "audio " + vid + " @" + std::to_string(unit.offset));
    }
    void paused(PauseCause cause) override {
        std::lock_guard lock(mutex_);
        ++pauses_;
        last_pause_ = cause;
        if (cause == PauseCause::End && !stepping_) finish("end");
        changed_.notify_all();
    }
    void damage(const std::string& vid, std::uint32_t offset, const std::string& reason) override {
        out_.line(JsonLine("error").add("vid", vid).add("offset", std::int64_t{offset}).add("reason", reason).str(),
                  "error " + vid + " @" + std::to_string(offset) + ": " + reason);
        std::lock_guard lock(mutex_);
        damaged_ = true;
        finish("error");
    }

    // Main thread.
    void setStepping(bool on) {
        std::lock_guard lock(mutex_);
        stepping_ = on;
    }
    // Waits for the end, or for the next pause (count > 0) in step mode.
    bool waitFor(std::size_t pauses, Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [&] { return finished_ || (pauses > 0 && pauses_ >= pauses); });
    }
    void end(const char* reason) {
        std::lock_guard lock(mutex_);
        finish(reason);
    }
    std::size_t pauses() {
        std::lock_guard lock(mutex_);
        return pauses_;
    }
    PauseCause lastPause() {
        std::lock_guard lock(mutex_);
        return last_pause_;
    }
    bool finished() {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    std::string reason() {
        std::lock_guard lock(mutex_);
        return reason_;
    }
    bool damaged() {
        std::lock_guard lock(mutex_);
        return damaged_;
    }
    std::uint64_t frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    // Every queued picture decoded, then the decoders stopped.
    void drainDecoders() {
        for (auto& d : decoders_) {
            d->queue().waitUntilAtMost(0, std::chrono::seconds(30));
            d->stop();
        }
        if (wav_) wav_->close();
    }
    const EventPrinter& printer() const { return out_; }

private:
    void finish(const char* reason) {
        if (finished_) return;
        finished_ = true;
        reason_ = reason;
        changed_.notify_all();
    }

    const PlayOptions& options_;
    const EventPrinter out_;
    std::array<std::unique_ptr<media::ChannelDecoder>, 16> decoders_;
    std::unique_ptr<WavWriter> wav_;
    media::G726Decoder g726_;  // player thread only
    std::atomic<bool> audio_running_{false};

    std::mutex mutex_;
    std::condition_variable changed_;
    // -- guarded by mutex_ --
    bool finished_ = false;
    bool stepping_ = false;
    bool damaged_ = false;
    std::string reason_ = "end";
    std::uint64_t frames_ = 0;
    std::size_t pauses_ = 0;
    PauseCause last_pause_ = PauseCause::Command;
};

int finishRun(const EventPrinter& out, int exit) {
    out.line(JsonLine("done").add("exit", std::int64_t{exit}).str(), "done, exit " + std::to_string(exit));
    return exit;
}

RunEnd endOf(int exit) { return exit == 0 ? RunEnd::LocalDone : RunEnd::LocalFailed; }

}  // namespace

RunEnd runArchivePlay(std::span<const std::string_view> args) {
    const auto parsed = parseOptions(args);
    if (std::holds_alternative<HelpRequested>(parsed)) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return RunEnd::HelpShown;
    }
    if (const auto* problem = std::get_if<UsageProblem>(&parsed)) {
        std::fprintf(stderr, "kalix-cli archive play: %s\n\n", problem->text.c_str());
        std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
        return RunEnd::UsageError;
    }
    const PlayOptions& o = std::get<PlayOptions>(parsed);
    const EventPrinter printer(o.format);

    std::error_code ec;
    std::filesystem::create_directories(o.out, ec);
    PictureLog log(o.out);
    if (!log.ok()) {
        std::fprintf(stderr, "kalix-cli archive play: cannot write to %s\n", o.out.c_str());
        return endOf(finishRun(printer, 3));
    }

    const player::PlayCatalogue catalogue = player::buildPlayCatalogue(o.path, *o.from);
    const auto first = player::startSegment(catalogue.segments, *o.from);
    if (!first) {
        printer.notice(session::Notice{4, 0});
        return endOf(finishRun(printer, 3));
    }

    media::VideoWall wall;
    prepareHeadlessWall(wall);
    wall.setDisplayMode(media::DisplayMode::LocalPlayback);
    CliOutput output(o, wall, log);
    player::LocalPlayer player(catalogue.segments, output);

    player::PlayerStart start;
    start.segment = *first;
    start.pacing = o.fast ? player::Pacing::None : player::Pacing::FrameTimes;
    start.start_delay = std::chrono::milliseconds(0);
    const bool stepping = o.step_forward || o.step_backward;
    if (stepping) {
        start.first = Command::Pause;
        start.pacing = player::Pacing::None;
    } else if (o.reverse) {
        start.first = o.slow ? Command::SlowBackward : Command::Backward;
        start.speed = -static_cast<int>(o.speed) - 1;
    } else {
        start.first = o.slow ? Command::SlowForward : Command::Forward;
        start.speed = static_cast<int>(o.speed);
    }
    const auto deadline = o.seconds ? Clock::now() + std::chrono::seconds(*o.seconds)
                                    : Clock::time_point::max();
    output.setStepping(stepping);
    player.start(start);

    if (stepping) {
        const auto step = [&](Command c, unsigned n) {
            for (unsigned i = 0; i < n && !output.finished(); ++i) {
                const std::size_t before = output.pauses();
                player.command(c);
                if (!output.waitFor(before + 1, deadline)) {
                    output.end("seconds");
                    return;
                }
                // Nothing more in this direction: the player would stay paused.
                if (output.lastPause() == PauseCause::End) return;
            }
        };
        step(Command::StepForward, o.step_forward.value_or(0));
        step(Command::StepBackward, o.step_backward.value_or(0));
        output.end("end");
    } else if (!output.waitFor(0, deadline)) {
        output.end("seconds");
    }
    player.stop();
    output.drainDecoders();
    writeChannelSnapshots(wall, o.out);
    log.flush();

    const int exit = output.damaged() ? 3 : 0;
    printer.line(JsonLine("play_end")
                     .add("reason", output.reason())
                     .add("frames", static_cast<std::int64_t>(output.frames()))
                     .str(),
                 "play end: " + output.reason() + ", " + std::to_string(output.frames()) + " frames");
    return endOf(finishRun(printer, exit));
}

}  // namespace kalix::cli
