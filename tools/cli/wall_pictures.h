#pragma once
// What kalix-cli's picture commands (live, play) share: a wall without a
// window that takes the decoders' pictures, the last picture of each
// channel written as chNN.png, and the per-channel counts line.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "media/video/video_wall.h"

namespace kalix::cli {

// A 16-channel wall laid out as the main window's, on the YUV path.
void prepareHeadlessWall(media::VideoWall& wall);

// The picture each channel holds now, in colour, as DIR/chNN.png (01-16).
void writeChannelSnapshots(media::VideoWall& wall, const std::filesystem::path& dir);

// {"0":150,"3":148}: the channels with a non-zero count.
std::string channelCountsJson(const std::array<std::uint64_t, 16>& counts);

}  // namespace kalix::cli
