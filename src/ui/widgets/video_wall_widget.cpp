#include "ui/widgets/video_wall_widget.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/string_table.h"
#include "app/string_uses.h"
#include "media/video/yuv_to_rgb.h"
#include "protocol/trace.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/widgets/yuv_wall_surface.h"

namespace kalix::ui {

namespace {

constexpr QRgb kDragFrameColour = qRgb(0x96, 0x50, 0x50);  // 0x505096 as the model writes it
constexpr int kDragFrameWidth = 4;
constexpr int kIconSize = 16;
constexpr int kWatermarkWarningText = app::stringNumber("wall: watermark warning");

QRect toQRect(const media::WallRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// Status-row pictures drawn here: the speaker when the skin has none (audio
// selected / available), and the seal (no watermark / watermark present),
// which the skin does not carry.
QImage speakerIcon(QColor colour) {
    QImage icon(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath body;
    body.moveTo(2, 6);
    body.lineTo(5, 6);
    body.lineTo(9, 2);
    body.lineTo(9, 14);
    body.lineTo(5, 10);
    body.lineTo(2, 10);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(QPen(colour, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8, 4, 6, 8), -60 * 16, 120 * 16);
    return icon;
}

QImage sealIcon(QColor colour) {
    QImage icon(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2));
    p.drawEllipse(QRectF(2, 2, 12, 12));
    return icon;
}

}  // namespace

QColor wallColour(media::WallColour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

VideoWallWidget::VideoWallWidget(media::VideoWall& wall, QWidget* parent)
    : QWidget(parent), wall_(wall) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    audio_icons_[0] = skinPicture(skin::kIconAudioSelected);
    audio_icons_[1] = skinPicture(skin::kIconAudioAvailable);
    if (audio_icons_[0].isNull()) audio_icons_[0] = speakerIcon(QColor(255, 220, 0));
    if (audio_icons_[1].isNull()) audio_icons_[1] = speakerIcon(QColor(200, 200, 200));
    watermark_icons_[0] = sealIcon(QColor(160, 160, 160));
    watermark_icons_[1] = sealIcon(QColor(0, 200, 0));
    caption_font_.setPixelSize(13);

    frame_rate_timer_.setInterval(static_cast<int>(media::kFrameRatePeriod.count()));
    connect(&frame_rate_timer_, &QTimer::timeout, this, [this] {
        wall_.pictures().tickFrameRates();
        traceRates();
    });
    frame_rate_timer_.start();

    subscription_ = wall_.subscribe(*this);
}

VideoWallWidget::~VideoWallWidget() {
    // No decoder may reach this object once its destruction has begun.
    subscription_ = media::WallSubscription{};
}

bool VideoWallWidget::openGlUsable() {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return false;
    QOpenGLContext context;
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.create();
    const bool ok = context.makeCurrent(&surface);
    if (ok) context.doneCurrent();
    return ok;
}

void VideoWallWidget::setYuvSurface(bool on) {
    if (on == (surface_ != nullptr)) return;
    if (on) {
        surface_ = new YuvWallSurface([this] { paintOnSurface(); }, this);
        surface_->setGeometry(rect());
        surface_->show();
    } else {
        delete surface_;
        surface_ = nullptr;
    }
    update();
}

void VideoWallWidget::resizeEvent(QResizeEvent* event) {
    if (surface_) surface_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void VideoWallWidget::invalidate(const QRect& rect) {
    // The OpenGL surface redraws as a whole.
    if (surface_)
        surface_->update();
    else
        update(rect);
}

void VideoWallWidget::setCaptionFont(int size, int weight, const QString& face) {
    wall_.painter().setCaptionFont(size, weight, face.toStdString());
    QFont font(face);
    font.setPixelSize(std::max(1, -wall_.painter().captionFontHeight()));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    caption_font_ = font;
    invalidate(rect());
}

std::uint64_t VideoWallWidget::picturesPainted(int channel) const {
    if (channel < 0 || channel >= media::kWallChannels) return 0;
    return painted_[static_cast<std::size_t>(channel)];
}

// A picture was drawn: counted, and its wait since the decoder marked it
// kept for the trace.
void VideoWallWidget::countPainted(int channel) {
    const auto i = static_cast<std::size_t>(channel);
    ++painted_[i];
    const std::int64_t marked = marked_at_[i].exchange(0);
    if (marked == 0) return;
    ++fresh_[i];
    if (protocol::traceEnabled())
        paint_delays_.push_back(std::chrono::steady_clock::now().time_since_epoch() -
                                std::chrono::steady_clock::duration(marked));
}

void VideoWallWidget::traceRates() {
    if (protocol::traceEnabled()) {
        // New pictures painted per second against pictures decoded per
        // second, and all picture draws (repaints included).
        const double period_s = std::chrono::duration<double>(media::kFrameRatePeriod).count();
        std::string line;
        for (int c = 0; c < media::kWallChannels; ++c) {
            const auto i = static_cast<std::size_t>(c);
            char item[32];
            std::snprintf(item, sizeof item, " %d:%.1f/%d/%.1f", c + 1,
                          static_cast<double>(fresh_[i] - fresh_at_tick_[i]) / period_s, wall_.pictures().frameRate(c),
                          static_cast<double>(painted_[i] - painted_at_tick_[i]) / period_s);
            line += item;
        }
        protocol::trace("[wall] new pictures painted/decoded/all draws per second:%s\n", line.c_str());
        if (!paint_delays_.empty()) {
            std::ranges::sort(paint_delays_);
            const auto at = [&](double q) {
                return std::chrono::duration<double, std::milli>(
                           paint_delays_[static_cast<std::size_t>(q * static_cast<double>(paint_delays_.size() - 1))])
                    .count();
            };
            protocol::trace("[wall] decode to paint: median %.2f ms, p99 %.2f ms over %zu pictures\n", at(0.5),
                            at(0.99), paint_delays_.size());
        }
    }
    paint_delays_.clear();
    fresh_at_tick_ = fresh_;
    painted_at_tick_ = painted_;
}

// ---------------------------------------------------------------------------
// Notifications

void VideoWallWidget::channelMarked(int channel) {
    if (channel < 0 || channel >= media::kWallChannels) return;
    std::int64_t unset = 0;
    marked_at_[static_cast<std::size_t>(channel)].compare_exchange_strong(
        unset, std::chrono::steady_clock::now().time_since_epoch().count());
    pending_marks_.fetch_or(1u << channel);
    if (!hop_queued_.exchange(true))
        QMetaObject::invokeMethod(this, &VideoWallWidget::flushMarks, Qt::QueuedConnection);
}

void VideoWallWidget::wallChanged() {
    pending_all_ = true;
    if (!hop_queued_.exchange(true))
        QMetaObject::invokeMethod(this, &VideoWallWidget::flushMarks, Qt::QueuedConnection);
}

void VideoWallWidget::flushMarks() {
    ++mark_hops_;
    // Cleared before reading, so a mark arriving from now on queues the
    // next hop instead of being lost.
    hop_queued_ = false;
    const std::uint32_t marks = pending_marks_.exchange(0);
    if (pending_all_.exchange(false)) {
        invalidate(rect());
        return;
    }
    if (marks == 0) return;
    const auto map = wall_.view().paneMap();
    const std::uint16_t visible = wall_.view().visiblePaneMask();
    for (int pane = 0; pane < media::kWallPanes; ++pane) {
        if ((visible & (1u << pane)) == 0) continue;
        const int channel = map[static_cast<std::size_t>(pane)];
        if ((marks & (1u << channel)) == 0) continue;
        if (const auto cell = wall_.view().paneRect(pane)) invalidate(toQRect(*cell));
    }
}

// ---------------------------------------------------------------------------
// Painting

void VideoWallWidget::paintEvent(QPaintEvent* event) {
    if (surface_) return;  // covered; the surface paints
    QPainter painter(this);
    paintWall(painter, event->rect());
}

void VideoWallWidget::paintWall(QPainter& painter, const QRect& dirty) {
    const media::PaintContext context = context_source_ ? context_source_() : media::PaintContext{};
    paintPanes(painter, wall_.paneViews(context), dirty, PaintPass::All);
}

void VideoWallWidget::paintOnSurface() {
    // Three passes over one snapshot of the panes, so that no painter is
    // open while the pictures are drawn with our own shader: the painter's
    // engine keeps GL state of its own that native drawing in between
    // would disturb.
    const media::PaintContext context = context_source_ ? context_source_() : media::PaintContext{};
    const std::vector<media::PaneView> views = wall_.paneViews(context);
    {
        QPainter painter(surface_);
        paintPanes(painter, views, rect(), PaintPass::Under);
    }
    for (const media::PaneView& view : views)
        if (view.content == media::PaneContent::Picture && view.cell.width() > 0) drawYuvPicture(view);
    QPainter painter(surface_);
    paintPanes(painter, views, rect(), PaintPass::Over);
}

void VideoWallWidget::drawYuvPicture(const media::PaneView& view) {
    auto access = wall_.pictures().lockChannel(view.channel);
    if (!access) return;
    const media::PictureSize size = access->size();
    // An RGB picture from a decoder that has not yet seen the path change
    // waits for its next key-frame run.
    if (wall_.pictures().drawPath() != media::DrawPath::Yuv) return;
    if (surface_->drawPicture(toQRect(view.cell), access->picture(), size.width, size.height))
        countPainted(view.channel);
}

void VideoWallWidget::paintPanes(QPainter& painter, const std::vector<media::PaneView>& views, const QRect& dirty,
                                 PaintPass pass) {
    if (pass != PaintPass::Over) painter.fillRect(dirty, wallColour(wall_.view().background()));
    for (const media::PaneView& view : views) {
        const QRect cell = toQRect(view.cell);
        if (cell.isEmpty() || !cell.intersects(dirty)) continue;
        painter.save();
        painter.setClipRect(cell);
        if (pass != PaintPass::Over) {
            switch (view.content) {
            case media::PaneContent::Logo:
                paintStill(painter, logo_, cell);
                break;
            case media::PaneContent::VideoLoss:
                paintStill(painter, video_loss_, cell);
                break;
            case media::PaneContent::Picture:
                if (pass == PaintPass::All) paintPicture(painter, view);
                break;
            }
        }
        if (pass != PaintPass::Under) paintOverlays(painter, view);
        painter.restore();
    }
    if (pass != PaintPass::Under && drag_pane_ && !drag_image_.isNull() && dragImageRect().intersects(dirty))
        painter.drawPixmap(dragImageRect().topLeft(), drag_image_);
}

void VideoWallWidget::paintStill(QPainter& painter, const QImage& picture, const QRect& cell) {
    if (picture.isNull()) return;
    painter.drawImage(cell, picture);
}

void VideoWallWidget::paintPicture(QPainter& painter, const media::PaneView& view) {
    const QRect cell = toQRect(view.cell);
    auto access = wall_.pictures().lockChannel(view.channel);
    if (!access) return;
    const media::PictureSize size = access->size();
    if (size.width <= 0 || size.height <= 0) return;
    const auto w = static_cast<std::size_t>(size.width);
    const auto h = static_cast<std::size_t>(size.height);
    const media::WallRect source = media::pictureSourceRect(media::DrawPath::Rgb, size.width, size.height);
    if (source.width() <= 0 || source.height() <= 0) return;

    const std::uint8_t* rgb = access->picture().data();
    if (wall_.pictures().drawPath() == media::DrawPath::Yuv) {
        // A decoder still writing planar pictures; they come top-down, so
        // they are turned to RGB bottom-up like the decoder's own.
        conversion_.resize(w * h * 3);
        if (!media::yuv420ToRgb24(media::YuvPlanes::packed(access->picture(), w, h), conversion_,
                                  media::PixelOrder::Rgb, media::RowOrder::BottomUp))
            return;
        rgb = conversion_.data();
    } else if (access->picture().size() < w * h * 3) {
        return;
    }

    // The buffer's first row is the bottom of the picture. The source
    // rectangle is in top-down picture rows, so it is mirrored into buffer
    // rows and the drawing flipped back on the way to the cell.
    const QImage image(rgb, size.width, size.height, size.width * 3, QImage::Format_RGB888);
    const QRectF from(source.left, size.height - source.bottom, source.width(), source.height());
    painter.save();
    painter.translate(cell.left(), cell.top() + cell.height());
    painter.scale(1.0, -1.0);
    painter.drawImage(QRectF(0, 0, cell.width(), cell.height()), image, from);
    painter.restore();
    countPainted(view.channel);
}

void VideoWallWidget::paintOverlays(QPainter& painter, const media::PaneView& view) {
    const QRect cell = toQRect(view.cell);
    painter.setFont(caption_font_);
    for (const media::TextOverlay& text : view.texts) {
        if (text.text.empty()) continue;
        painter.setPen(wallColour(text.colour));
        painter.drawText(QRect(cell.left() + text.x, cell.top() + text.y, cell.width(), cell.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdString(text.text));
    }
    if (view.audio_icon) {
        const int which = view.audio_icon->value == static_cast<int>(media::AudioIcon::Selected) ? 0 : 1;
        painter.drawImage(QPoint(cell.left() + view.audio_icon->x, cell.top() + view.audio_icon->y),
                          audio_icons_[which]);
    }
    if (view.watermark_icon) {
        const int which = view.watermark_icon->value == media::kWatermarkAbsent ? 0 : 1;
        painter.drawImage(QPoint(cell.left() + view.watermark_icon->x, cell.top() + view.watermark_icon->y),
                          watermark_icons_[which]);
    }
    // No speed indicator or PTZ state icon: nothing here supplies their
    // values.
    if (view.watermark_warning && view.warning_font_height > 0) {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(view.warning_font_height);
        font.setWeight(QFont::Bold);
        painter.setFont(font);
        painter.setPen(wallColour(media::kWatermarkWarningColour));
        QString warning = resourceString(kWatermarkWarningText);
        if (warning.isEmpty()) warning = QString::fromUtf8(app::stringText(kWatermarkWarningText));
        painter.drawText(cell, Qt::AlignCenter, warning);
    }
}

// ---------------------------------------------------------------------------
// Mouse

QRect VideoWallWidget::dragImageRect() const {
    return QRect(drag_position_ - drag_hot_spot_, drag_image_.size());
}

QPixmap VideoWallWidget::makeDragImage(const QRect& cell) {
    const QRect inner = cell.adjusted(1, 1, -1, -1);
    if (inner.isEmpty()) return {};
    QPixmap image(inner.size());
    image.fill(QColor(kDragFrameColour));
    const QPixmap content = grab(inner);
    QPainter p(&image);
    const QRect inside = QRect(QPoint(0, 0), inner.size()).adjusted(kDragFrameWidth, kDragFrameWidth,
                                                                   -kDragFrameWidth, -kDragFrameWidth);
    if (!inside.isEmpty()) p.drawPixmap(inside, content);
    return image;
}

void VideoWallWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    last_hit_pane_ = wall_.view().paneAt(at.x(), at.y());
    drag_pane_ = wall_.view().beginDrag(at.x(), at.y());
    if (!drag_pane_) {
        setCursor(Qt::ForbiddenCursor);
        return;
    }
    setCursor(Qt::ClosedHandCursor);
    const auto rect = wall_.view().paneRect(*drag_pane_);
    const QRect cell = rect ? toQRect(*rect) : QRect();
    drag_image_ = makeDragImage(cell);
    drag_hot_spot_ = at - cell.adjusted(1, 1, -1, -1).topLeft();
    drag_position_ = at;
}

void VideoWallWidget::mouseMoveEvent(QMouseEvent* event) {
    if (wall_.view().fullScreen()) emit pointerMoved(event->position().toPoint());
    if (!drag_pane_) return;
    const QRect before = dragImageRect();
    drag_position_ = event->position().toPoint();
    invalidate(before.united(dragImageRect()));
}

void VideoWallWidget::mouseReleaseEvent(QMouseEvent* event) {
    unsetCursor();
    if (event->button() == Qt::RightButton && wall_.view().fullScreen()) {
        emit leaveFullScreenRequested();
        return;
    }
    if (event->button() != Qt::LeftButton || !drag_pane_) return;
    drag_position_ = event->position().toPoint();
    const int dragged = *drag_pane_;
    const QPoint drop = dragImageRect().center();
    const auto target = wall_.view().paneAt(drop.x(), drop.y());
    drag_pane_.reset();
    drag_image_ = QPixmap();
    if (wall_.view().dropPane(dragged, drop.x(), drop.y()) && target) emit panesExchanged(dragged, *target);
    invalidate(rect());
}

void VideoWallWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The press that began this double click already set the last hit.
    if (wall_.view().doubleClick(last_hit_pane_) != media::DoubleClickResult::Nothing) {
        invalidate(rect());
        emit viewChanged();
    }
}

void VideoWallWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (wall_.view().fullScreen() && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        emit leaveFullScreenRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace kalix::ui
