// kalix-cli live: log in, run live view --seconds, and leave in --out the
// checksum of every decoded picture (frames.md5), the last picture of every
// channel (chNN.png) and, with --audio-channel, the sound played (audio.wav).

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/headless_sound.h"
#include "cli/json_line.h"
#include "cli/wall_pictures.h"
#include "cli/wav_file.h"
#include "media/audio/g726.h"
#include "media/video/md5.h"
#include "media/video/video_wall.h"

namespace kalix::cli {
namespace {

constexpr unsigned kLastChannel = 15;

// Live view's pictures: the checksum list as they are decoded, and the
// last picture of every channel at the end.
class LiveRecorder {
public:
    explicit LiveRecorder(const std::filesystem::path& dir) : dir_(dir) {
        std::error_code ec;
        std::filesystem::create_directories(dir_, ec);
        md5s_.open(dir_ / "frames.md5", std::ios::trunc);
        ok_ = static_cast<bool>(md5s_);
        prepareHeadlessWall(wall_);
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
        writeChannelSnapshots(wall_, dir_);
        std::lock_guard lock(mutex_);
        md5s_.flush();
    }

private:
    std::filesystem::path dir_;
    media::VideoWall wall_;
    mutable std::mutex mutex_;
    // -- guarded by mutex_ --
    std::ofstream md5s_;
    std::array<std::uint64_t, 16> counts_{};
    // --
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

class LiveCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli live --host ADDR [--port N] --user NAME --password PASS\n"
               "                      --seconds N --out DIR [--audio-channel C] [--json]\n"
               "\n"
               "Logs in, runs live view N seconds, stops it and closes the session.\n"
               "DIR/frames.md5: one line per decoded picture, in decode order:\n"
               "  <channel 0-15> <index within the channel> <width> <height> <md5 of the planar YUV 4:2:0 "
               "picture>\n"
               "DIR/chNN.png: the last picture of channel NN (1-16) as it is shown.\n"
               "--audio-channel C (0-15): hear channel C; DIR/audio.wav gets the sound played\n"
               "(2 channels, 8,000 Hz, 16-bit).\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        return "  --out DIR        live: the folder for frames.md5 and the snapshots\n";
    }

    OptionArity option(std::string_view name) const override {
        return name == "--out" || name == "--audio-channel" ? OptionArity::Value : OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view name, std::string_view value) override {
        if (name == "--out") {
            out_dir_ = value;
            return std::nullopt;
        }
        unsigned channel = 0;
        if (!parseNumber(value, channel) || channel > kLastChannel)
            return UsageError{"invalid audio channel", std::string(value)};
        audio_channel_ = static_cast<int>(channel);
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions& common) const override {
        if (!common.seconds) return UsageError{"missing", "--seconds"};
        if (out_dir_.empty()) return UsageError{"missing", "--out"};
        return std::nullopt;
    }

    bool prepare(const CommonOptions&) override {
        pictures_ = std::make_unique<LiveRecorder>(out_dir_);
        if (!pictures_->ok()) return cannotWrite();
        if (audio_channel_) {
            heard_ = std::make_unique<FixedAudioChannel>(*audio_channel_);
            sound_ = std::make_unique<AudioRecorder>(std::filesystem::path(out_dir_) / "audio.wav");
            if (!sound_->ok()) return cannotWrite();
        }
        return true;
    }

    void configure(session::SessionOptions& so) override {
        so.live_video.wall = &pictures_->wall();
        so.live_video.picture_decoded = [rec = pictures_.get()](const media::DecodedPicture& p) {
            rec->pictureDecoded(p);
        };
        if (sound_) {
            so.live_audio.make_output = headlessSoundOutput();
            so.live_audio.channels = heard_.get();
            so.live_audio.block_queued = [rec = sound_.get()](const media::AudioBlock& b) { rec->block(b); };
        }
    }

    void loginAccepted(SessionRun& run) override {
        if (sound_) run.session().audioOnOff(true);
    }

    // The pictures as they stand when the time is up, before the close
    // stops the decoders.
    void beforeClose(SessionRun&) override { pictures_->snapshot(); }

    void afterClose(SessionRun& run) override {
        const std::string counts = channelCountsJson(pictures_->counts());
        run.out().line(JsonLine("live_pictures").addRaw("decoded", counts).str(),
                       "pictures decoded per channel: " + counts);
        if (sound_) sound_->close();
    }

private:
    bool cannotWrite() const {
        std::fprintf(stderr, "kalix-cli live: cannot write to %s\n", out_dir_.c_str());
        return false;
    }

    std::string out_dir_;
    std::optional<int> audio_channel_;
    // The session holds pointers into these from configure() until the close.
    std::unique_ptr<LiveRecorder> pictures_;
    std::unique_ptr<FixedAudioChannel> heard_;
    std::unique_ptr<AudioRecorder> sound_;
};

}  // namespace

std::unique_ptr<SessionCommand> makeLiveCommand() { return std::make_unique<LiveCommand>(); }

}  // namespace kalix::cli
