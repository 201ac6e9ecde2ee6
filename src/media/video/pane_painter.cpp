#include "media/video/pane_painter.h"

#include <cstdio>
#include <utility>

namespace kalix::media {

namespace {

constexpr bool validPane(int pane) { return pane >= 0 && pane < kWallPanes; }
constexpr std::uint16_t bit(int index) { return static_cast<std::uint16_t>(1U << index); }
constexpr std::size_t at(int index) { return static_cast<std::size_t>(index); }

}  // namespace

PanePainter::PanePainter() { setCaptionFont(13, 700, "Arial"); }

void PanePainter::setCaptionFont(int size, int weight, std::string_view face) {
    std::lock_guard lock(font_mutex_);
    caption_font_height_ = -static_cast<int>(size * 1.33 + 0.5);
    caption_font_weight_ = weight;
    caption_font_face_ = std::string(face);
}

int PanePainter::captionFontHeight() const {
    std::lock_guard lock(font_mutex_);
    return caption_font_height_;
}

int PanePainter::captionCharWidth() const {
    const int points = static_cast<int>((captionFontHeight() + 0.5) * -0.7518797);
    return static_cast<int>(points * 0.85);
}

void PanePainter::setCaptionStyle(int style) { caption_style_ = style; }
int PanePainter::captionStyle() const { return caption_style_; }
void PanePainter::setDisplayMode(DisplayMode mode) { display_mode_ = static_cast<int>(mode); }
DisplayMode PanePainter::displayMode() const { return static_cast<DisplayMode>(display_mode_.load()); }

std::vector<PaneView> PanePainter::paneViews(const ShownPage& page, const PictureBuffers& pictures,
                                             const PaintContext& context) const {
    std::vector<PaneView> views;
    const std::uint16_t active = page.active;
    const std::uint16_t shown_pictures = page.pictures;
    const std::uint16_t hidden = page.hidden;
    const int style = caption_style_;
    const int font_height = captionFontHeight();
    const auto mode = displayMode();
    const bool playback = mode == DisplayMode::RemotePlayback || mode == DisplayMode::LocalPlayback;
    const bool viewing =
        context.session == SessionView::Live || context.session == SessionView::RemotePlayback;

    for (std::size_t i = 0; i < page.cells.size(); ++i) {
        PaneView view;
        view.cell = page.cells[i];
        const int pane = page.first_pane + static_cast<int>(i);
        if (!validPane(pane) || (page.visible & bit(pane)) == 0) {
            views.push_back(std::move(view));
            continue;
        }
        const int channel = page.pane_map[at(pane)];
        const bool is_hidden = (hidden & bit(channel)) != 0;
        view.pane = pane;
        view.channel = channel;

        if ((active & bit(channel)) != 0) {
            if (viewing && is_hidden)
                view.content = PaneContent::VideoLoss;
            else if ((shown_pictures & bit(channel)) != 0)
                view.content = PaneContent::Picture;
        } else if (context.session == SessionView::Live) {
            if ((context.video_loss & bit(channel)) != 0) {
                view.content = PaneContent::VideoLoss;
                if ((context.video_loss_text & bit(channel)) != 0 && (style == 0 || style == 1)) {
                    char text[32];
                    std::snprintf(text, sizeof text, style == 0 ? "CH%d  Video Loss" : "CH%d",
                                  channel + 1);
                    view.texts.push_back({text, 7, 3, kVideoLossTextColour});
                }
            } else if (is_hidden) {
                view.content = PaneContent::VideoLoss;
            }
        } else if (context.session == SessionView::RemotePlayback && is_hidden) {
            view.content = PaneContent::VideoLoss;
        }

        if (view.content == PaneContent::Picture) {
            const ChannelOverlay c = pictures.overlay(channel).value_or(ChannelOverlay{});
            const int cell_height = view.cell.height();
            if (style == 0 || style == 1)
                view.texts.push_back({c.captions.line1.text, 7, 3, c.captions.line1.colour});
            if (style == 0) {
                view.texts.push_back({c.captions.line2.text, 7, cell_height + font_height - 5,
                                      c.captions.line2.colour});
                const int row_y = cell_height - 18;
                view.status_row_y = row_y;
                const int icon = static_cast<int>(c.audio_icon);
                if (context.sound_output && c.audio_icon != AudioIcon::None)
                    view.audio_icon = IconOverlay{icon, pictures.audioIconX(), row_y};
                view.speed_indicator = playback && view.cell.width() > 190;
                if (mode == DisplayMode::LocalPlayback && c.watermark != kWatermarkUnknown)
                    view.watermark_icon = IconOverlay{c.watermark, c.captions.box_width, row_y};
            }
            if (mode == DisplayMode::LocalPlayback && c.watermark == kWatermarkMismatch) {
                view.watermark_warning = true;
                view.warning_font_height = view.cell.width() / 8;
            }
        }
        views.push_back(std::move(view));
    }
    return views;
}

}  // namespace kalix::media
