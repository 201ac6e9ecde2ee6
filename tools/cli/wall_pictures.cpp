#include "cli/wall_pictures.h"

#include <cstdio>
#include <vector>

#include "cli/png_writer.h"
#include "media/video/yuv_to_rgb.h"

namespace kalix::cli {

void prepareHeadlessWall(media::VideoWall& wall) {
    wall.initialise(16);
    wall.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
    wall.pictures().setYuvAvailable(true);
    wall.pictures().setDrawPath(media::DrawPath::Yuv);
}

void writeChannelSnapshots(media::VideoWall& wall, const std::filesystem::path& dir) {
    const std::uint16_t shown = wall.view().pictureChannels();
    for (int ch = 0; ch < 16; ++ch) {
        if ((shown & (1u << ch)) == 0) continue;
        std::vector<std::uint8_t> rgb;
        media::PictureSize size;
        {
            auto access = wall.pictures().lockChannel(ch);
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
        writePng(dir / name, rgb, size.width, size.height);
    }
}

std::string channelCountsJson(const std::array<std::uint64_t, 16>& counts) {
    std::string out = "{";
    for (std::size_t ch = 0; ch < counts.size(); ++ch) {
        if (counts[ch] == 0) continue;
        if (out.size() > 1) out += ',';
        // Appended piece by piece: GCC 12's -Wrestrict misreads
        // "literal" + std::string at -O3.
        out += '"';
        out += std::to_string(ch);
        out += "\":";
        out += std::to_string(counts[ch]);
    }
    out += '}';
    return out;
}

}  // namespace kalix::cli
