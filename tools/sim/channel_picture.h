#pragma once
// What a simulated camera shows: a background of the channel's colour in a
// macroblock checkerboard, the channel number (1-16) in big digits, the
// frame index of the run in small digits at the bottom and a small square
// that moves a few pixels a frame. The picture of every frame is a pure
// function of channel, size and frame index, so a test can tell exactly
// what the client should have decoded. From one frame to the next only the
// counter's last digits and the square change: a handful of macroblocks.

#include <cstdint>

#include "sim/h264_writer.h"

namespace kalix::sim {

class ChannelPicture {
public:
    // channel 0-15; the size must satisfy isCodableSize().
    ChannelPicture(int channel, int width, int height);

    int width() const { return base_.width(); }
    int height() const { return base_.height(); }

    // Draws frame `index` of a run into `out`, which takes this size.
    void render(std::uint32_t index, YuvPicture& out) const;
    YuvPicture picture(std::uint32_t index) const;

private:
    YuvPicture base_;  // background and channel number
};

}  // namespace kalix::sim
