#include "ui/widgets/time_display.h"

#include <QPainter>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_catalogue.h"

namespace kalix::ui {
namespace {

constexpr int kMargin = 6;
constexpr int kDateTop = 28;

QChar glyphChar(std::uint8_t glyph) {
    if (glyph <= 9) return QChar(u'0' + glyph);
    if (glyph == app::kGlyphColon) return u':';
    if (glyph == app::kGlyphDash) return u'-';
    return u' ';
}

template <std::size_t N>
QString charsOf(const std::array<std::uint8_t, N>& glyphs) {
    QString text;
    for (std::uint8_t g : glyphs) text += glyphChar(g);
    return text;
}

template <std::size_t N>
int widthOf(const std::array<std::uint8_t, N>& glyphs, const std::array<QImage, app::kTimeGlyphs>& set) {
    int width = 0;
    for (std::uint8_t g : glyphs) width += g < set.size() ? set[g].width() : 0;
    return width;
}

// A row of glyph pictures from x; returns the x after it.
template <std::size_t N>
int drawRow(QPainter& painter, int x, int y, const std::array<std::uint8_t, N>& glyphs,
            const std::array<QImage, app::kTimeGlyphs>& set) {
    for (std::uint8_t g : glyphs) {
        if (g >= set.size()) continue;
        painter.drawImage(x, y, set[g]);
        x += set[g].width();
    }
    return x;
}

}  // namespace

TimeDisplay::TimeDisplay(std::function<app::TimeDisplayGlyphs()> source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)) {
    setFixedSize(kTimeDisplaySize);
    panel_ = skinPicture(skin::kTimePanel);
    for (int i = 0; i < app::kTimeGlyphs; ++i) {
        large_[static_cast<std::size_t>(i)] = skinPicture(skin::kTimeGlyphsLarge + i);
        small_[static_cast<std::size_t>(i)] = skinPicture(skin::kTimeGlyphsSmall + i);
    }
    timer_.setInterval(kTimeDisplayRedraw);
    connect(&timer_, &QTimer::timeout, this, &TimeDisplay::refresh);
    timer_.start();
    glyphs_ = source_ ? source_() : app::TimeDisplayGlyphs{};
}

void TimeDisplay::refresh() {
    if (!source_) return;
    const app::TimeDisplayGlyphs now = source_();
    if (now == glyphs_) return;
    glyphs_ = now;
    update();
}

QString TimeDisplay::timeText() const {
    QString text = charsOf(glyphs_.time);
    if (glyphs_.indicator == app::kGlyphAm) text += QStringLiteral(" AM");
    if (glyphs_.indicator == app::kGlyphPm) text += QStringLiteral(" PM");
    return text;
}

QString TimeDisplay::dateText() const { return charsOf(glyphs_.date); }

void TimeDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool skinned = !panel_.isNull() && !large_[0].isNull() && !small_[0].isNull();
    if (!skinned) {
        painter.fillRect(rect(), QColor(18, 22, 28));
        painter.setPen(QColor(120, 220, 255));
        painter.drawText(QRect(0, 4, width(), 20), Qt::AlignCenter, timeText());
        painter.drawText(QRect(0, 24, width(), 18), Qt::AlignCenter, dateText());
        return;
    }
    painter.drawImage(0, 0, panel_);
    const std::array<std::uint8_t, 1> indicator{glyphs_.indicator};
    const bool has_indicator = glyphs_.indicator != app::kGlyphBlank;
    const int time_width = widthOf(glyphs_.time, large_) + (has_indicator ? widthOf(indicator, large_) : 0);
    int x = std::max(kMargin, (width() - time_width) / 2);
    x = drawRow(painter, x, kMargin, glyphs_.time, large_);
    if (has_indicator) drawRow(painter, x, kMargin, indicator, large_);
    drawRow(painter, std::max(kMargin, (width() - widthOf(glyphs_.date, small_)) / 2), kDateTop, glyphs_.date, small_);
}

}  // namespace kalix::ui
