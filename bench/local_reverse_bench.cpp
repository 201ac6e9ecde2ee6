// Local playback of one 720x576 channel at 25 fps, backwards and forwards,
// with the real decoders on a headless wall: CPU time per second played and
// a check that every picture the player hands on is shown, in order.
//
//   bench_local_reverse DIR [CLIP.264] [SECONDS]
//
// DIR gets an archive pair written by the archive writer from the
// simulator's recorded pictures (or from CLIP, see make_recorder_clip.sh);
// it is then played backwards from its last second at speed -2 (every
// picture: each group decoded forwards, shown backwards) and forwards from
// its first at speed 1, paced by the frame times.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "cli/wall_pictures.h"
#include "media/video/channel_decoder.h"
#include "player/local_player.h"
#include "player/play_catalogue.h"
#include "sim/clip_rewriter.h"
#include "sim/recorded_video.h"

namespace {

using namespace kalix;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kT0 = 1'700'000'000;

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Bench final : public player::PlayerOutput, public media::DecoderHost {
public:
    explicit Bench(media::VideoWall& wall) : decoder_(0, wall, *this) {}
    ~Bench() override { decoder_.stop(); }

    bool waitForRoom(int, std::size_t limit, std::stop_token stop) override {
        return decoder_.queue().waitUntilAtMost(limit, stop);
    }
    void queueFrame(media::FrameItem item, const player::Unit&, const std::string&) override {
        std::lock_guard lock(mutex_);
        if (item.hold != media::HoldRole::Hold) handed_.push_back(item.info.timeMs());
        decoder_.queue().push(std::move(item));
    }
    void paused(player::PauseCause) override {
        std::lock_guard lock(mutex_);
        ended_ = true;
        cv_.notify_all();
    }
    bool liveFrameWanted(int) override { return true; }
    std::string liveTitle(int) override { return "CH1"; }
    std::int64_t paneTime(int, const media::FrameItem& i) override { return i.info.seconds; }
    bool lineDoubling(int) override { return false; }
    std::optional<media::AudioIcon> audioIcon(int) override { return std::nullopt; }
    int textWidth(std::string_view t) override { return static_cast<int>(t.size()) * 10; }
    void decoderInitFailed(int) override {}
    void pictureDecoded(const media::DecodedPicture& p) override {
        if (!p.shown) return;
        std::lock_guard lock(mutex_);
        shown_.push_back(p.info->timeMs());
    }

    void waitEnd() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return ended_; });
    }
    void drain() { decoder_.queue().waitUntilAtMost(0, std::chrono::seconds(30)); }
    void reset() {
        std::lock_guard lock(mutex_);
        ended_ = false;
        handed_.clear();
        shown_.clear();
    }
    std::vector<std::uint64_t> handed() { std::lock_guard l(mutex_); return handed_; }
    std::vector<std::uint64_t> shown() { std::lock_guard l(mutex_); return shown_; }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool ended_ = false;
    std::vector<std::uint64_t> handed_;
    std::vector<std::uint64_t> shown_;
    media::ChannelDecoder decoder_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_local_reverse DIR [CLIP.264] [SECONDS]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 20;
    sim::VideoSettings settings;
    settings.enabled = true;
    settings.sizes[0] = sim::PictureSize{720, 576};
    settings.key_interval = 25;
    if (argc > 2 && std::string(argv[2]) != "-") {
        std::string error;
        auto clip = sim::loadClip(argv[2], error);
        if (!clip) {
            std::fprintf(stderr, "clip: %s\n", error.c_str());
            return 1;
        }
        settings.clip = std::make_shared<const std::vector<sim::ClipPicture>>(std::move(*clip));
    }

    std::filesystem::remove_all(dir);
    archive::WriterOptions o;
    o.folder = dir;
    o.clock = [] { return kT0 + 100'000; };
    {
        archive::ArchiveWriter writer(o);
        if (!writer.open()) return 1;
        sim::RecordedChannel channel(0, settings);
        for (int k = 0; k < seconds * 25; ++k) {
            const auto t = kT0 + static_cast<std::uint32_t>(k / 25);
            const std::uint64_t micros = static_cast<std::uint64_t>(k % 25) * 40'000;
            const auto live = channel.liveUnit(static_cast<std::uint32_t>(k), std::uint64_t{t} * 1'000'000 + micros);
            const auto unit = sim::playbackVideoUnit(live, t, sim::ChannelTitle{"CH1", true}, sim::TypeWordOrder::BigEndian);
            if (unit.empty() || writer.appendUnit(unit) != archive::UnitResult::Stored) return 1;
        }
        writer.close();
    }

    media::VideoWall wall;
    cli::prepareHeadlessWall(wall);
    wall.setDisplayMode(media::DisplayMode::LocalPlayback);
    Bench bench(wall);
    for (const bool reverse : {true, false}) {
        const auto from = reverse ? kT0 + static_cast<std::uint32_t>(seconds - 1) : kT0;
        const auto catalogue = player::buildPlayCatalogue(dir, from);
        const auto first = player::startSegment(catalogue.segments, from);
        if (!first) return 1;
        bench.reset();
        player::LocalPlayer p(catalogue.segments, bench);
        player::PlayerStart start;
        start.segment = *first;
        start.first = reverse ? player::Command::Backward : player::Command::Forward;
        start.speed = reverse ? -2 : 1;
        start.start_delay = std::chrono::milliseconds(0);
        start.every_picture_backwards = true;
        const double cpu0 = cpuSeconds();
        const auto t0 = Clock::now();
        p.start(start);
        bench.waitEnd();
        bench.drain();
        const double wall_s = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = cpuSeconds() - cpu0;
        p.stop();
        const auto handed = bench.handed();
        const auto shown = bench.shown();
        bool ordered = handed == shown;
        for (std::size_t i = 1; i < shown.size(); ++i)
            if (reverse ? shown[i] >= shown[i - 1] : shown[i] <= shown[i - 1]) ordered = false;
        std::printf("%s: %zu pictures handed on, %zu shown, in order: %s; %.2f s played, CPU %.3f s (%.1f %% of one core)\n",
                    reverse ? "backward (-2, every picture)" : "forward (1, every frame)", handed.size(), shown.size(),
                    ordered ? "yes" : "NO", wall_s, cpu, 100.0 * cpu / wall_s);
    }
    return 0;
}
