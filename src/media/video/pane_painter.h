#pragma once
// What each pane of the video wall draws: the logo, the video-loss picture
// or the channel's picture, and over a picture its captions, status-row
// icons and the watermark warning, as the caption style, the display mode
// and the session's state call for. It never paints; the front end draws
// the PaneViews it hands out.
//
// Every member function is safe to call from any thread.

#include "media/video/picture_buffers.h"
#include "media/video/wall_view.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix::media {

inline constexpr WallColour kVideoLossTextColour = 0x00FF00;
inline constexpr WallColour kWatermarkWarningColour = 0x0000FF;

enum class DisplayMode : int { None = 0, Live = 1, RemotePlayback = 2, LocalPlayback = 3 };

// What the recorder side is doing, as far as painting cares.
enum class SessionView {
    NoSession,
    Live,            // live view running
    RemotePlayback,  // remote playback on a logged-in session
    Other,           // a session, but neither of the above
};

struct PaintContext {
    SessionView session = SessionView::NoSession;
    std::uint16_t video_loss = 0;       // live: channels reported in video loss
    std::uint16_t video_loss_text = 0;  // channels whose video-loss text is enabled
    bool sound_output = true;           // the PC has a sound output
};

enum class PaneContent { Logo, VideoLoss, Picture };

// Positions are relative to the cell's top-left corner.
struct TextOverlay {
    std::string text;
    int x = 0;
    int y = 0;
    WallColour colour = 0;
};

struct IconOverlay {
    int value = 0;  // audio: the AudioIcon; watermark: the state
    int x = 0;
    int y = 0;
};

inline constexpr int kPtzIconX = 100;
inline constexpr int kSpeedIndicatorX = 117;

struct PaneView {
    int pane = -1;     // -1: a cell the page leaves unused (logo)
    int channel = -1;
    WallRect cell;     // in wall client coordinates
    PaneContent content = PaneContent::Logo;
    std::vector<TextOverlay> texts;  // captions, or the video-loss text
    std::optional<IconOverlay> audio_icon;
    std::optional<IconOverlay> watermark_icon;
    std::optional<int> status_row_y;       // caption style 0 pictures: where icons go
    bool speed_indicator = false;          // playback and the cell wider than 190
    bool watermark_warning = false;        // local playback, watermark mismatch
    int warning_font_height = 0;           // cell width / 8
};

class PanePainter {
public:
    PanePainter();
    PanePainter(const PanePainter&) = delete;
    PanePainter& operator=(const PanePainter&) = delete;

    void setCaptionFont(int size, int weight, std::string_view face);
    int captionFontHeight() const;  // negative, as fonts are created
    int captionCharWidth() const;   // the width the decoders measure captions with
    void setCaptionStyle(int style);
    int captionStyle() const;
    void setDisplayMode(DisplayMode mode);  // which source feeds the wall
    DisplayMode displayMode() const;

    // One view per cell of the page, in cell order; the overlays come from
    // the channels' entries in the buffers.
    std::vector<PaneView> paneViews(const ShownPage& page, const PictureBuffers& pictures,
                                    const PaintContext& context) const;

private:
    // -- guarded by font_mutex_ --
    mutable std::mutex font_mutex_;
    int caption_font_height_ = 0;
    int caption_font_weight_ = 0;
    std::string caption_font_face_;

    std::atomic<int> display_mode_{static_cast<int>(DisplayMode::None)};
    std::atomic<int> caption_style_{0};
};

}  // namespace kalix::media
