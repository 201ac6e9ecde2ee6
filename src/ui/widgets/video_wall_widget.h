#pragma once
// The window of the video wall: paints every cell from the wall model's
// pane views and turns the operator's mouse into the model's drag, drop and
// double-click.
//
// Decoder threads mark channels through the WallObserver interface on their
// own thread. Those calls only record which channels changed and, for the
// first mark since the last repaint, queue one hop to the UI thread; the hop
// invalidates the cells of every marked channel at once. Many pictures
// arriving between two turns of the event loop thus cost one repaint.
//
// Two drawing paths. RGB: 24-bit bottom-up pictures drawn scaled with
// QPainter from the trimmed source rectangle; a planar picture found in a
// buffer (the draw path changed under a running decoder) is converted
// first. YUV: an OpenGL surface covers the widget and planar pictures are
// converted and scaled by a shader; the rest is painted as on the RGB path.

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "media/video/video_wall.h"

namespace kalix::ui {

// 0x00BBGGRR as the model stores colours.
QColor wallColour(media::WallColour colour);

class YuvWallSurface;

class VideoWallWidget final : public QWidget, private media::WallObserver {
    Q_OBJECT

public:
    using ContextSource = std::function<media::PaintContext()>;

    // The wall must outlive the widget.
    explicit VideoWallWidget(media::VideoWall& wall, QWidget* parent = nullptr);
    ~VideoWallWidget() override;

    // What the session is doing, asked at every paint (UI thread).
    void setContextSource(ContextSource source) { context_source_ = std::move(source); }
    // Sets the model's caption font and the font the captions are drawn in.
    void setCaptionFont(int size, int weight, const QString& face);
    QFont captionFont() const { return caption_font_; }
    // The logo and video-loss pictures; a null image leaves those panes
    // unpainted.
    void setLogoPicture(QImage picture) { logo_ = std::move(picture); invalidate(rect()); }
    void setVideoLossPicture(QImage picture) { video_loss_ = std::move(picture); invalidate(rect()); }

    // Whether OpenGL may be used at all: not on the offscreen platform
    // (QOpenGLWidget does not work there) and only when a context can be
    // created.
    static bool openGlUsable();
    // Puts the OpenGL surface up (true) or takes it down. The wall's draw
    // path decides what the decoders deliver; the owner keeps both in step.
    void setYuvSurface(bool on);
    bool yuvSurface() const { return surface_ != nullptr; }

    // Pictures drawn per channel since construction (for the frame-rate
    // figures and the tests).
    std::uint64_t picturesPainted(int channel) const;
    // Queued hops to the UI thread taken so far.
    std::uint64_t markHops() const { return mark_hops_.load(); }
    bool dragging() const { return drag_pane_.has_value(); }

signals:
    // The operator changed what the wall shows (double click): the owner
    // tells the recorder the visible channels.
    void viewChanged();
    // Two panes were exchanged by drag and drop.
    void panesExchanged(int dragged_pane, int target_pane);
    // In full screen: the operator asked to leave (right button, Enter or
    // Esc), or moved the mouse (the owner shows the full-screen bar).
    void leaveFullScreenRequested();
    void pointerMoved(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // -- WallObserver: any thread --
    void channelMarked(int channel) override;
    void wallChanged() override;

    // -- UI thread --
    void flushMarks();
    void invalidate(const QRect& rect);
    enum class PaintPass { All, Under, Over };  // Under: background and stills; Over: texts, icons, drag image
    void paintWall(QPainter& painter, const QRect& dirty);
    void paintOnSurface();
    void paintPanes(QPainter& painter, const std::vector<media::PaneView>& views, const QRect& dirty,
                    PaintPass pass);
    void drawYuvPicture(const media::PaneView& view);
    void traceRates();
    void countPainted(int channel);
    void paintPicture(QPainter& painter, const media::PaneView& view);
    void paintOverlays(QPainter& painter, const media::PaneView& view);
    void paintStill(QPainter& painter, const QImage& picture, const QRect& cell);
    QRect dragImageRect() const;
    QPixmap makeDragImage(const QRect& cell);

    media::VideoWall& wall_;
    ContextSource context_source_;
    QFont caption_font_;
    QImage logo_;
    QImage video_loss_;
    QImage audio_icons_[2];
    QImage watermark_icons_[2];
    QTimer frame_rate_timer_;
    std::vector<std::uint8_t> conversion_;
    YuvWallSurface* surface_ = nullptr;  // child, YUV path only  // a planar picture turned to RGB

    // -- drag state (UI thread) --
    std::optional<int> last_hit_pane_;
    std::optional<int> drag_pane_;
    QPoint drag_hot_spot_;
    QPoint drag_position_;
    QPixmap drag_image_;

    // -- written by any thread, taken by the UI thread --
    std::atomic<std::uint32_t> pending_marks_{0};
    std::atomic<bool> pending_all_{false};
    std::atomic<bool> hop_queued_{false};
    std::atomic<std::uint64_t> mark_hops_{0};

    std::array<std::uint64_t, media::kWallChannels> painted_{};
    std::array<std::uint64_t, media::kWallChannels> painted_at_tick_{};
    // When each channel was first marked since its last paint (steady
    // clock ticks, 0: none), and the waits seen this period (tracing only).
    std::array<std::atomic<std::int64_t>, media::kWallChannels> marked_at_{};
    std::array<std::uint64_t, media::kWallChannels> fresh_{};  // paints of a newly marked picture
    std::array<std::uint64_t, media::kWallChannels> fresh_at_tick_{};
    std::vector<std::chrono::steady_clock::duration> paint_delays_;

    media::WallSubscription subscription_;  // last: ends before the rest goes
};

}  // namespace kalix::ui
