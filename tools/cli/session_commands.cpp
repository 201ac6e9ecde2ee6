#include "session_commands.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <variant>
#include <string>
#include <thread>

#include <array>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "app/notice_texts.h"
#include "base/wake_queue.h"
#include "media/video/md5.h"
#include "media/video/video_wall.h"
#include "media/video/yuv_to_rgb.h"
#include "media/audio/g726.h"
#include "media/audio/sdl_sound_output.h"
#include "media/audio/sound_in.h"
#include "png_writer.h"
#include "wav_file.h"
#include "app/operation_log.h"
#include "json_line.h"
#include "protocol/trace.h"
#include "protocol/unique_fd.h"
#include "session/address_resolver.h"
#include "session/dvr_session.h"
#include "media/frame_queue.h"

namespace kalix::cli {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

enum class Command : std::uint8_t { Login, Live, Talk };

struct LoginOptions {
    Command command = Command::Login;
    std::string out_dir;  // live: where frames.md5 and the snapshots go
    int audio_channel = -1;  // live: the channel heard, -1 none
    std::string input;       // talk: the WAV file spoken into the microphone
    bool have_seconds = false;
    std::string host;
    std::uint16_t port = session::kDefaultPort;
    std::string user;
    std::string password;
    std::chrono::seconds keep{0};
    std::chrono::seconds answer_limit{30};
    bool json = false;
    bool log = true;
    std::string location;
};

void printUsageTo(FILE* out, Command command) {
    if (command == Command::Live)
        std::fputs(
            "usage: kalix-cli live --host ADDR [--port N] --user NAME --password PASS\n"
            "                      --seconds N --out DIR [--audio-channel C] [--json]\n"
            "\n"
            "Logs in, runs live view N seconds, stops it and closes the session.\n"
            "DIR/frames.md5: one line per decoded picture, in decode order:\n"
            "  <channel 0-15> <index within the channel> <width> <height> <md5 of the planar YUV 4:2:0 picture>\n"
            "DIR/chNN.png: the last picture of channel NN (1-16) as it is shown.\n"
            "--audio-channel C (0-15): hear channel C; DIR/audio.wav gets the sound played\n"
            "(2 channels, 8,000 Hz, 16-bit).\n"
            "\n",
            out);
    else if (command == Command::Talk)
        std::fputs(
            "usage: kalix-cli talk --host ADDR [--port N] --user NAME --password PASS\n"
            "                      --input FILE.wav --seconds N [--json]\n"
            "\n"
            "Logs in, asks the recorder to listen and, once it accepts, speaks FILE.wav\n"
            "(2 channels, 8,000 Hz, 16-bit) as the microphone; after N seconds stops\n"
            "talking and closes the session.\n"
            "\n",
            out);
    else
        std::fputs(
            "usage: kalix-cli login --host ADDR [--port N] --user NAME --password PASS\n"
            "                       [--seconds N] [--json]\n"
            "\n",
            out);
    std::fputs(
        "  --host ADDR      recorder address, dotted or a host name\n"
        "  --port N         recorder port, 1-65534 (default 2000)\n"
        "  --user NAME      user name (up to 16 characters)\n"
        "  --password PASS  password (up to 16 characters)\n"
        "  --seconds N      keep the session N seconds after the login (login: default 0)\n"
        "  --out DIR        live: the folder for frames.md5 and the snapshots\n"
        "  --json           one JSON object per line\n"
        "  --timeout N      give up when the recorder has not answered the login\n"
        "                   within N seconds (default 30)\n"
        "  --location DIR   storage folder of the operation log (default ~/Kalix)\n"
        "  --no-log         write no operation log\n"
        "  --trace          trace every message on standard error\n"
        "\n"
        "exit status: 0 logged in and closed by us, 3 the session ended otherwise\n"
        "(refusal, unsupported recorder, connection failure or loss), 2 usage error\n",
        out);
}

template <typename T>
bool parseNumber(std::string_view text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

std::optional<LoginOptions> parseArgs(std::span<const std::string_view> args, Command command, bool& help) {
    LoginOptions o;
    o.command = command;
    bool have_user = false;
    bool have_password = false;
    auto fail = [](const char* what, std::string_view arg) {
        std::fprintf(stderr, "kalix-cli: %s '%.*s'\n", what, static_cast<int>(arg.size()), arg.data());
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            help = true;
            return std::nullopt;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--no-log") {
            o.log = false;
        } else if (a == "--trace") {
            protocol::enableTrace(true);
        } else if (a == "--host" || a == "--port" || a == "--user" || a == "--password" ||
                   a == "--seconds" || a == "--timeout" || a == "--location" ||
                   (a == "--out" && command == Command::Live) ||
                   (a == "--audio-channel" && command == Command::Live) ||
                   (a == "--input" && command == Command::Talk)) {
            const auto v = value();
            if (!v) return fail("missing value for", a);
            if (a == "--host") {
                o.host = *v;
            } else if (a == "--user") {
                o.user = *v;
                have_user = true;
            } else if (a == "--password") {
                o.password = *v;
                have_password = true;
            } else if (a == "--location") {
                o.location = *v;
            } else if (a == "--out") {
                o.out_dir = *v;
            } else if (a == "--input") {
                o.input = *v;
            } else if (a == "--audio-channel") {
                unsigned channel = 0;
                if (!parseNumber(*v, channel) || channel > 15) return fail("invalid audio channel", *v);
                o.audio_channel = static_cast<int>(channel);
            } else if (a == "--port") {
                unsigned port = 0;
                if (!parseNumber(*v, port) || port < 1 || port > 65534) return fail("invalid port", *v);
                o.port = static_cast<std::uint16_t>(port);
            } else {
                unsigned seconds = 0;
                if (!parseNumber(*v, seconds) || seconds > 1'000'000) return fail("invalid number of seconds", *v);
                (a == "--seconds" ? o.keep : o.answer_limit) = std::chrono::seconds(seconds);
                if (a == "--seconds") o.have_seconds = true;
            }
        } else {
            return fail("unknown option", a);
        }
    }
    if (o.host.empty()) return fail("missing", "--host");
    if (!have_user) return fail("missing", "--user");
    if (!have_password) return fail("missing", "--password");
    if (command != Command::Login && !o.have_seconds) return fail("missing", "--seconds");
    if (command == Command::Talk && o.input.empty()) return fail("missing", "--input");
    if (command == Command::Live && o.out_dir.empty()) return fail("missing", "--out");
    if (o.user.size() > 16) return fail("user name longer than 16 characters:", o.user);
    if (o.password.size() > 16) return fail("password longer than 16 characters", "--password");
    return o;
}

// Turns SIGINT and SIGTERM into a flag the main loop sees, through a
// signalfd watched by one small thread.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> on_interrupt) : on_interrupt_(std::move(on_interrupt)) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any other thread starts
        signals_.reset(::signalfd(-1, &set, SFD_CLOEXEC));
        thread_ = std::jthread([this](std::stop_token stop) {
            std::stop_callback wake(stop, [this] {
                const std::uint64_t one = 1;
                [[maybe_unused]] auto n = ::write(wake_.get(), &one, sizeof one);
            });
            pollfd fds[2] = {{signals_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
            while (!stop.stop_requested()) {
                if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
                if (fds[0].revents != 0) {
                    signalfd_siginfo info;
                    [[maybe_unused]] auto n = ::read(signals_.get(), &info, sizeof info);
                    on_interrupt_();
                }
                if (fds[1].revents != 0) return;
            }
        });
    }

private:
    std::function<void()> on_interrupt_;
    protocol::UniqueFd signals_;
    protocol::UniqueFd wake_{::eventfd(0, EFD_CLOEXEC)};
    std::jthread thread_;
};

struct Interrupted {};
using Item = std::variant<session::Event, Interrupted>;

// Session events and the operator's interrupt meet in one queue.
class CliSink final : public session::EventSink {
public:
    void post(session::Event event) override { queue.push(Item(std::move(event))); }
    base::WakeQueue<Item> queue;
};

class Printer {
public:
    explicit Printer(bool json) : json_(json) {}

    void line(const std::string& json_line, const std::string& text_line) const {
        const std::string& out = json_ ? json_line : text_line;
        std::fputs(out.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    void login(const session::RecorderIdentity& id) const {
        std::string firmware = "[";
        for (const auto& f : id.firmware) {
            if (firmware.size() > 1) firmware += ',';
            firmware += "{\"name\":\"" + jsonEscape(f.name) + "\",\"version\":" + std::to_string(f.version) + "}";
        }
        firmware += "]";
        char versions[32];
        std::snprintf(versions, sizeof versions, "%u.%u", id.product_major, id.product_minor);
        JsonLine j("login");
        j.add("recorder_kind", std::int64_t{id.recorder_kind})
            .add("channels", std::int64_t{id.channel_num})
            .add("mac", id.macText())
            .add("product_number", std::int64_t{id.product_number})
            .add("product_version", versions)
            .add("protocol_version", std::to_string(id.protocol_major) + "." + std::to_string(id.protocol_minor))
            .add("account", std::int64_t{id.account})
            .add("web_port", std::int64_t{id.web_port})
            .add("playback_view_change", id.acceptsPlaybackViewChange())
            .addRaw("firmware", firmware);
        line(j.str(), "login accepted: recorder kind " + std::to_string(id.recorder_kind) + ", " +
                          std::to_string(id.channel_num) + " channels, MAC " + id.macText() +
                          ", product " + std::to_string(id.product_number) + " version " + versions);
    }

    void notice(const session::Notice& n) const {
        const std::string text = app::noticeText(n.kind, n.detail);
        line(JsonLine("notice")
                 .add("kind", std::int64_t{n.kind})
                 .add("detail", std::int64_t{n.detail})
                 .add("text", text)
                 .str(),
             "notice " + std::to_string(n.kind) + "." + std::to_string(n.detail) + ": " + text);
    }

    void messageBox(const std::string& text) const {
        line(JsonLine("message_box").add("text", text).str(), "message box: " + text);
    }

    void liveChannels(std::uint32_t mask) const {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08x", mask);
        line(JsonLine("live_channels").add("mask", std::int64_t{mask}).str(),
             std::string("live channels: ") + hex);
    }

    void connectFailed(int error) const {
        line(JsonLine("connect_failed").add("error", std::strerror(error)).str(),
             std::string("connection failed: ") + std::strerror(error));
    }

    void closed(std::string_view by, bool logged_in, int status) const {
        line(JsonLine("closed").add("by", by).add("logged_in", logged_in).add("exit", std::int64_t{status}).str(),
             "closed by " + std::string(by) + ", exit status " + std::to_string(status));
    }

private:
    bool json_;
};

}  // namespace

// Live view's pictures: the checksum list as they are decoded, and the
// last picture of every channel at the end.
class LiveRecorder {
public:
    explicit LiveRecorder(const std::filesystem::path& dir) : dir_(dir) {
        std::error_code ec;
        std::filesystem::create_directories(dir_, ec);
        md5s_.open(dir_ / "frames.md5", std::ios::trunc);
        ok_ = static_cast<bool>(md5s_);
        wall_.initialise(16);
        wall_.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
        wall_.pictures().setYuvAvailable(true);
        wall_.pictures().setDrawPath(media::DrawPath::Yuv);
    }
    bool ok() const { return ok_; }
    media::VideoWall& wall() { return wall_; }

    // Decoder threads.
    void pictureDecoded(const media::DecodedPicture& p) {
        const std::string sum = media::md5Hex(p.yuv);
        std::lock_guard lock(mutex_);
        md5s_ << p.channel << ' ' << p.index << ' ' << p.size.width << ' ' << p.size.height << ' ' << sum << '\n';
        ++counts_[static_cast<std::size_t>(p.channel)];
    }

    std::array<std::uint64_t, 16> counts() const {
        std::lock_guard lock(mutex_);
        return counts_;
    }

    // The pictures as the wall holds them now (line-doubled where that
    // applies), in colour.
    void snapshot() {
        const std::uint16_t shown = wall_.view().pictureChannels();
        for (int ch = 0; ch < 16; ++ch) {
            if ((shown & (1u << ch)) == 0) continue;
            std::vector<std::uint8_t> rgb;
            media::PictureSize size;
            {
                auto access = wall_.pictures().lockChannel(ch);
                if (!access) continue;
                size = access->size();
                const auto w = static_cast<std::size_t>(size.width);
                const auto h = static_cast<std::size_t>(size.height);
                rgb.resize(w * h * 3);
                if (!media::yuv420ToRgb24(media::YuvPlanes::packed(access->picture(), w, h), rgb,
                                          media::PixelOrder::Rgb, media::RowOrder::TopDown))
                    continue;
            }
            char name[16];
            std::snprintf(name, sizeof name, "ch%02d.png", ch + 1);
            writePng(dir_ / name, rgb, size.width, size.height);
        }
        std::lock_guard lock(mutex_);
        md5s_.flush();
    }

private:
    std::filesystem::path dir_;
    media::VideoWall wall_;
    mutable std::mutex mutex_;
    std::ofstream md5s_;
    std::array<std::uint64_t, 16> counts_{};
    bool ok_ = false;
};

// The heard channel stays the one asked for, whatever the frames' masks.
class FixedAudioChannel final : public session::AudioChannelOwner {
public:
    explicit FixedAudioChannel(int channel) : channel_(channel) {}
    int recheck(std::uint32_t) override { return channel_; }
    void select(int) override {}
    int selected() const override { return channel_; }

private:
    const int channel_;
};

// The sound live view plays: the selected channel's blocks, decoded in
// order, two values a stereo frame. Receive thread only.
class AudioRecorder {
public:
    explicit AudioRecorder(const std::filesystem::path& path) : wav_(path, 2, 8000) {}
    bool ok() const { return wav_.ok(); }
    void block(const media::AudioBlock& block) {
        std::array<std::int16_t, media::kAudioBlockValues> values{};
        if (decoder_.decode(block, values).ok()) wav_.append(values);
    }
    void close() { wav_.close(); }

private:
    media::G726Decoder decoder_;
    WavWriter wav_;
};

// Without a sound card the sound still has to be played somewhere: SDL's
// dummy output takes it at the real rate, unless the caller chose a driver.
std::function<std::unique_ptr<media::SoundOutput>()> headlessSoundOutput() {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    return [] { return media::makeSdlSoundOutput(); };
}

int runSession(std::span<const std::string_view> args, Command command) {
    bool help = false;
    const auto options = parseArgs(args, command, help);
    if (!options) {
        printUsageTo(help ? stdout : stderr, command);
        return help ? kExitOk : kExitUsage;
    }
    const Printer out(options->json);
    std::unique_ptr<LiveRecorder> live;
    if (command == Command::Live) {
        live = std::make_unique<LiveRecorder>(options->out_dir);
        if (!live->ok()) {
            std::fprintf(stderr, "kalix-cli live: cannot write to %s\n", options->out_dir.c_str());
            return kExitUsage;
        }
    }
    std::unique_ptr<FixedAudioChannel> audio_channel;
    std::unique_ptr<AudioRecorder> audio;
    if (command == Command::Live && options->audio_channel >= 0) {
        audio_channel = std::make_unique<FixedAudioChannel>(options->audio_channel);
        audio = std::make_unique<AudioRecorder>(std::filesystem::path(options->out_dir) / "audio.wav");
        if (!audio->ok()) {
            std::fprintf(stderr, "kalix-cli live: cannot write to %s\n", options->out_dir.c_str());
            return kExitUsage;
        }
    }
    std::optional<WavData> talk_input;
    if (command == Command::Talk) {
        std::string error;
        talk_input = readWavData(options->input, error);
        if (talk_input && (talk_input->channels != 2 || talk_input->sample_rate != 8000 || talk_input->bits != 16))
            error = "not 2-channel 8 kHz 16-bit PCM (" + std::to_string(talk_input->channels) + " channels, " +
                    std::to_string(talk_input->sample_rate) + " Hz, " + std::to_string(talk_input->bits) + "-bit)";
        if (!error.empty()) {
            std::fprintf(stderr, "kalix-cli talk: %s: %s\n", options->input.c_str(), error.c_str());
            return kExitUsage;
        }
    }

    const protocol::UtcOffset offset = protocol::UtcOffset::measure(std::time(nullptr));
    std::string location = options->location;
    if (location.empty()) {
        const char* home = std::getenv("HOME");
        location = std::string(home != nullptr ? home : ".") + "/Kalix";
    }
    app::OperationLog log(location, app::StorageMode::Writable, offset);

    session::SessionOptions so;
    so.address = session::resolveRecorderAddress(options->host);
    so.port = options->port;
    so.user = options->user;
    so.password = options->password;
    if (live) {
        so.live_video.wall = &live->wall();
        so.live_video.picture_decoded = [rec = live.get()](const media::DecodedPicture& p) {
            rec->pictureDecoded(p);
        };
    }
    if (audio) {
        so.live_audio.make_output = headlessSoundOutput();
        so.live_audio.channels = audio_channel.get();
        so.live_audio.block_queued = [rec = audio.get()](const media::AudioBlock& b) { rec->block(b); };
    }
    if (command == Command::Talk) so.live_audio.make_output = headlessSoundOutput();
    CliSink sink;
    session::DvrSession dvr(so, sink, options->log ? &log : nullptr);
    InterruptWatch interrupts([&sink] { sink.queue.push(Item(Interrupted{})); });
    dvr.connect();

    bool logged_in = false;
    std::string ended_by;  // empty while the session runs
    bool kind2_seen = false;
    auto deadline = Clock::now() + options->answer_limit;

    auto handle = [&](const Item& item) {
        if (std::holds_alternative<Interrupted>(item)) {
            if (ended_by.empty()) ended_by = "client";
            return;
        }
        const auto& event = std::get<session::Event>(item);
        if (const auto* n = std::get_if<session::Notice>(&event)) {
            // Once a kind-2 notice has closed the session, the one the
            // receive thread posts on its way out is the same news again.
            if (n->kind == 2 && kind2_seen) return;
            out.notice(*n);
            if (n->kind == 2) {
                kind2_seen = true;
                if (ended_by.empty()) ended_by = "recorder";
            }
        } else if (const auto* box = std::get_if<session::MessageBoxRequest>(&event)) {
            out.messageBox(box->text);
        } else if (const auto* login = std::get_if<session::LoginAccepted>(&event)) {
            logged_in = true;
            out.login(login->identity);
            deadline = Clock::now() + options->keep;
            if (audio) dvr.audioOnOff(true);
            if (command == Command::Talk) dvr.talkRequest();
        } else if (const auto* failed = std::get_if<session::ConnectFailed>(&event)) {
            out.connectFailed(failed->error);
            if (ended_by.empty()) ended_by = "failure";
        } else if (const auto* post = std::get_if<session::WindowPost>(&event)) {
            if (post->message == session::WindowMessage::TalkAccepted && command == Command::Talk && ended_by.empty()) {
                dvr.startMicrophone(media::makeFileSoundIn(options->input, media::CapturePacing::RealTime,
                                                           talk_input->offset, talk_input->length));
                out.line(JsonLine("talk").add("state", "accepted").str(), "talk accepted");
            } else if (post->message == session::WindowMessage::TalkEnded) {
                dvr.stopMicrophone();
                out.line(JsonLine("talk").add("state", "ended").str(), "talk ended by the recorder");
            }
        } else if (const auto* channels = std::get_if<session::LiveChannels>(&event)) {
            out.liveChannels(channels->mask);
        }
    };

    while (ended_by.empty()) {
        const auto now = Clock::now();
        if (now >= deadline) {
            ended_by = logged_in ? "client" : "timeout";
            break;
        }
        if (auto taken = sink.queue.popFor(std::stop_token{}, deadline - now)) handle(taken->item);
    }

    if (live) {
        live->snapshot();
        dvr.close();
        std::string counts = "{";
        const auto c = live->counts();
        for (std::size_t ch = 0; ch < c.size(); ++ch) {
            if (c[ch] == 0) continue;
            if (counts.size() > 1) counts += ',';
            counts += "\"" + std::to_string(ch) + "\":" + std::to_string(c[ch]);
        }
        counts += "}";
        out.line(JsonLine("live_pictures").addRaw("decoded", counts).str(), "pictures decoded per channel: " + counts);
        if (audio) audio->close();
    } else {
        if (command == Command::Talk && dvr.talking()) {
            const auto sent = dvr.talkChunksSent();
            dvr.talkStop();
            out.line(JsonLine("talk").add("state", "stopped").add("chunks_sent", static_cast<std::int64_t>(sent)).str(),
                     "talk stopped after " + std::to_string(sent) + " chunks");
        }
        dvr.close();
    }
    while (auto taken = sink.queue.tryPop()) handle(taken->item);

    const int status = (logged_in && ended_by == "client") ? kExitOk : kExitSessionEnded;
    out.closed(ended_by, logged_in, status);
    return status;
}

int runLogin(std::span<const std::string_view> args) { return runSession(args, Command::Login); }

int runLive(std::span<const std::string_view> args) { return runSession(args, Command::Live); }

int runTalk(std::span<const std::string_view> args) { return runSession(args, Command::Talk); }

}  // namespace kalix::cli
