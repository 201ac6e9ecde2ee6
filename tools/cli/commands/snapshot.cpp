// kalix-cli snapshot: log in, wait for a channel's first live picture and
// save it as the Save button's save job does; then close.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"
#include "cli/wall_pictures.h"
#include "media/still/save_job.h"
#include "media/video/channel_decoder.h"
#include "protocol/recorder_time.h"

namespace kalix::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The first picture of the channel, copied on its decoder's thread.
struct FirstPicture {
    std::mutex mutex;
    // -- guarded by mutex --
    bool taken = false;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> yuv;
    protocol::RecorderTime time = 0;
};

class SnapshotCommand final : public AdminCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli snapshot --channel C --out DIR [--format jpeg|bmp|tiff] [--seconds N]\n"
               "                          --host ADDR [--port N] --user NAME --password PASS\n"
               "                          [--date-format 0|1|2] [--json]\n"
               "\n"
               "Logs in, waits at most N seconds (default 10) for channel C's first live\n"
               "picture and saves it in DIR as the Save button does: 800 x 600 with the\n"
               "picture's date and time burned in, named after the time and the channel.\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        static const std::string help = std::string(AdminCommand::optionHelp()) +
                                        "  --channel C      snapshot: the channel, 0-15\n"
                                        "  --out DIR        snapshot: the folder of the still (created when missing)\n"
                                        "  --format F       snapshot: jpeg (default), bmp or tiff\n";
        return help;
    }

    OptionArity adminOption(std::string_view name) const override {
        return name == "--channel" || name == "--out" || name == "--format" ? OptionArity::Value
                                                                            : OptionArity::Unknown;
    }
    std::optional<UsageError> setAdminOption(std::string_view name, std::string_view value) override {
        unsigned n = 0;
        if (name == "--channel") {
            if (!parseNumber(value, n) || n > 15) return UsageError{"invalid channel", std::string(value)};
            channel_ = static_cast<int>(n);
        } else if (name == "--out") {
            out_dir_ = value;
        } else {
            if (value == "jpeg")
                format_ = media::StillFormat::Jpeg;
            else if (value == "bmp")
                format_ = media::StillFormat::Bmp;
            else if (value == "tiff")
                format_ = media::StillFormat::Tiff;
            else
                return UsageError{"invalid format", std::string(value)};
        }
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (channel_ < 0) return UsageError{"missing", "--channel"};
        if (out_dir_.empty()) return UsageError{"missing", "--out"};
        return std::nullopt;
    }
    bool prepareAdmin(const CommonOptions& common) override {
        wait_ = common.seconds.value_or(std::chrono::seconds(10));
        prepareHeadlessWall(wall_);
        return true;
    }
    void configure(session::SessionOptions& so) override {
        so.live_video.wall = &wall_;
        so.live_video.picture_decoded = [this](const media::DecodedPicture& p) { pictureDecoded(p); };
    }
    void attachWaker(std::function<void()> wake) override { wake_ = std::move(wake); }

    // On the state gathered after the login: a channel the user may not
    // watch gives no still.
    void work(SessionRun& run) override {
        if (!run.session().channelVisible(channel_)) {
            run.out().notice(session::Notice::of(session::NoticeKind::NotAllowed));
            failed(run);
            return;
        }
        // The run's end is ours: the picture saved, or the wait over.
        run.setDeadline(Clock::now() + std::chrono::hours(24), RunEnd::NoAnswer);
        waiting_ = true;
        until_ = Clock::now() + wait_;
    }

    std::optional<Clock::time_point> wakeAt() const override {
        if (!waiting_) return std::nullopt;
        std::lock_guard lock(first_.mutex);
        // A picture taken: at once (a time already passed).
        return first_.taken ? Clock::time_point{} : until_;
    }

    void wake(SessionRun& run) override {
        waiting_ = false;
        if (run.ending()) return;
        std::unique_lock lock(first_.mutex);
        if (!first_.taken) {
            lock.unlock();
            run.endRun(RunEnd::NoAnswer);
            return;
        }
        media::SaveRequest request;
        request.channel = channel_;
        request.width = first_.width;
        request.height = first_.height;
        request.yuv = true;
        request.picture = std::move(first_.yuv);
        request.caption = media::stillCaption(media::recorderStillTime(first_.time), adminOptions().date_format);
        lock.unlock();
        request.format = format_;
        request.folder = out_dir_;
        const auto written = media::saveStill(request, media::localStillTime());
        if (!written) {
            std::fprintf(stderr, "kalix-cli snapshot: cannot write the still to %s\n", out_dir_.c_str());
            failed(run);
            return;
        }
        run.out().line(JsonLine("snapshot")
                           .add("channel", static_cast<std::int64_t>(channel_))
                           .add("file", written->string())
                           .add("caption", request.caption)
                           .str(),
                       "snapshot of channel " + std::to_string(channel_) + ": " + written->string() + " (" +
                           request.caption + ")");
        done(run);
    }

private:
    // Decoder threads.
    void pictureDecoded(const media::DecodedPicture& p) {
        if (p.channel != channel_ || !p.shown) return;
        {
            std::lock_guard lock(first_.mutex);
            if (first_.taken) return;
            first_.taken = true;
            first_.width = p.size.width;
            first_.height = p.size.height;
            first_.yuv.assign(p.yuv.begin(), p.yuv.end());
            first_.time = p.info != nullptr ? p.info->seconds : 0;
        }
        if (wake_) wake_();
    }

    int channel_ = -1;
    std::string out_dir_;
    media::StillFormat format_ = media::StillFormat::Jpeg;
    std::chrono::seconds wait_{10};
    std::function<void()> wake_;
    media::VideoWall wall_;
    mutable FirstPicture first_;
    bool waiting_ = false;
    Clock::time_point until_{};
};

}  // namespace

std::unique_ptr<SessionCommand> makeSnapshotCommand() { return std::make_unique<SnapshotCommand>(); }

}  // namespace kalix::cli
