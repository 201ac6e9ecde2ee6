#pragma once
// The two caption lines a decoder writes on its pane for every picture.

#include <functional>
#include <string>
#include <string_view>

#include "media/video/video_wall.h"

namespace kalix::media {

// Measures a text in the caption font, in pixels. Injected so the core needs
// no font machinery.
using TextWidth = std::function<int(std::string_view)>;

inline constexpr WallColour kCaptionLine1Colour = 0x00FF00;
inline constexpr WallColour kCaptionLine2Colour = 0xFFFF00;

// Cuts the title until it fits (pane width - 95) pixels; "..." marks a cut.
std::string fitTitle(std::string_view title, int pane_width, const TextWidth& measure);

struct CaptionFacts {
    DisplayMode mode = DisplayMode::Live;
    int caption_style = 0;
    std::string_view title;  // already fitted
    int picture_width = 0;
    int picture_height = 0;
    int frame_rate = 0;
    int char_width = 10;
};

ChannelCaptions buildCaptions(const CaptionFacts& facts);

// x of the audio icon for a line 2 of `line2_length` characters.
inline int audioIconX(int char_width, std::size_t line2_length) {
    return char_width * static_cast<int>(line2_length) + 45;
}

}  // namespace kalix::media
