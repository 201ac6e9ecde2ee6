#include "media/video/pane_captions.h"

#include <cstdio>

namespace kalix::media {

std::string fitTitle(std::string_view title, int pane_width, const TextWidth& measure) {
    std::string text(title);
    bool cut = false;
    while (!text.empty() && measure(text) > pane_width - 95) {
        text.pop_back();
        cut = true;
    }
    if (cut) text += "...";
    return text;
}

ChannelCaptions buildCaptions(const CaptionFacts& f) {
    ChannelCaptions c;
    // 352-wide pictures are shown as CIF, everything else as full D1.
    const int caption_width = f.picture_width == 352 ? 360 : 720;
    char line[300];
    if (f.caption_style == 0) {
        std::snprintf(line, sizeof line, "%.*s %dx%d", static_cast<int>(f.title.size()), f.title.data(),
                      caption_width, f.picture_height);
        c.line1.text = line;
    } else if (f.caption_style == 1) {
        c.line1.text = std::string(f.title);
    }
    c.line1.colour = kCaptionLine1Colour;
    const char* label = f.mode == DisplayMode::RemotePlayback  ? "R-PLAY"
                        : f.mode == DisplayMode::LocalPlayback ? "L-PLAY"
                                                               : "LIVE";
    std::snprintf(line, sizeof line, "%s  %02d", label, f.frame_rate);
    c.line2.text = line;
    c.line2.colour = kCaptionLine2Colour;
    c.box_width = static_cast<int>(c.line2.text.size()) * f.char_width + 80;
    return c;
}

}  // namespace kalix::media
