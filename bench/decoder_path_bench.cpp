// Frames per second of the client's decoder path on a recorded clip: the clip
// is rewritten as the simulator sends it, queued as live frame items, and one
// ChannelDecoder thread decodes it into the wall's picture buffer (line
// doubling of 576-line pictures, RGB conversion on the RGB path).
//
//   bench_decoder_path CLIP [yuv|rgb] [LOOPS]
//
// Prints "<path> <frames> frames in <seconds> s: <fps> fps".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "media/video/channel_decoder.h"
#include "sim/clip_rewriter.h"

namespace {

using namespace kalix;
using namespace std::chrono_literals;

class BenchHost final : public media::DecoderHost {
public:
    bool liveFrameWanted(int) override { return true; }
    std::string liveTitle(int) override { return "CAM1"; }
    std::int64_t paneTime(int, const media::FrameItem&) override { return 0; }
    bool lineDoubling(int) override { return true; }
    std::optional<media::AudioIcon> audioIcon(int) override { return std::nullopt; }
    int textWidth(std::string_view text) override { return static_cast<int>(text.size()) * 8; }
    void decoderInitFailed(int) override { std::fputs("decoder init failed\n", stderr); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: bench_decoder_path CLIP [yuv|rgb] [LOOPS]\n", stderr);
        return 2;
    }
    const std::string_view mode = argc > 2 ? argv[2] : "yuv";
    const long loops = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 20;
    if ((mode != "yuv" && mode != "rgb") || loops < 1) {
        std::fputs("usage: bench_decoder_path CLIP [yuv|rgb] [LOOPS]\n", stderr);
        return 2;
    }
    std::string error;
    const auto clip = sim::loadClip(argv[1], error);
    if (!clip) {
        std::fprintf(stderr, "bench_decoder_path: %s\n", error.c_str());
        return 1;
    }

    media::VideoWall wall;
    wall.initialise(16);
    wall.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
    wall.startView(16);
    wall.pictures().setYuvAvailable(true);
    wall.pictures().setDrawPath(mode == "yuv" ? media::DrawPath::Yuv : media::DrawPath::Rgb);
    wall.setDisplayMode(media::DisplayMode::Live);
    wall.setActiveChannels(0xFFFF, media::MapReset::IdentityWhenEmpty);
    BenchHost host;
    media::ChannelDecoder decoder(0, wall, host);

    // The items are made before the clock starts; the session builds them as
    // units arrive, which is not what is measured here.
    std::vector<media::FrameItem> items;
    for (const sim::ClipPicture& picture : *clip) {
        media::FrameItem item;
        item.data = picture.bytes;
        item.decode_len = static_cast<std::uint32_t>(picture.bytes.size());
        item.epoch = 1;
        item.info.kind = picture.key ? media::FrameKind::Key : media::FrameKind::Predicted;
        item.info.width = static_cast<std::uint16_t>(picture.width);
        item.info.height = static_cast<std::uint16_t>(picture.height);
        item.info.coded_len = item.decode_len;
        item.info.available_len = item.decode_len;
        items.push_back(std::move(item));
    }

    const std::uint64_t frames = items.size() * static_cast<std::uint64_t>(loops);
    const auto start = std::chrono::steady_clock::now();
    for (long loop = 0; loop < loops; ++loop) {
        for (const media::FrameItem& item : items) {
            // Stay well below the backlog at which predicted pictures are dropped.
            if (decoder.queue().size() >= 32) decoder.queue().waitUntilAtMost(8, 10s);
            decoder.queue().push(item);
        }
    }
    while (decoder.picturesShown() + decoder.picturesDropped() < frames) {
        if (std::chrono::steady_clock::now() - start > 300s) break;
        decoder.queue().waitUntilAtMost(0, 1ms);
        std::this_thread::yield();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    decoder.stop();
    const std::uint64_t shown = decoder.picturesShown();
    std::printf("%.*s %llu frames in %.3f s: %.1f fps (%llu dropped)\n", static_cast<int>(mode.size()), mode.data(),
                static_cast<unsigned long long>(shown), seconds, static_cast<double>(shown) / seconds,
                static_cast<unsigned long long>(decoder.picturesDropped()));
    return shown == frames ? 0 : 1;
}
