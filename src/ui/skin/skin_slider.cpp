#include "ui/skin/skin_slider.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"

namespace kalix::ui {
namespace {

constexpr int kPlainThumbWidth = 10;

}  // namespace

SkinSlider::SkinSlider(int control, int track, int thumb, QWidget* parent) : QWidget(parent), control_(control) {
    if (track > 0) track_ = skinPicture(track);
    if (thumb > 0)
        for (int i = 0; i < 3; ++i) thumb_[i] = skinPicture(thumb + i);
    setFocusPolicy(Qt::NoFocus);
}

void SkinSlider::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void SkinSlider::setValue(int value) {
    const int clamped = std::clamp(value, minimum_, maximum_);
    if (clamped == value_) return;
    value_ = clamped;
    update();
}

int SkinSlider::thumbWidth() const { return thumb_[0].isNull() ? kPlainThumbWidth : thumb_[0].width(); }

int SkinSlider::thumbLeft(int value) const {
    const int travel = std::max(0, width() - thumbWidth());
    const int span = maximum_ - minimum_;
    if (span == 0) return 0;
    return static_cast<int>(static_cast<long long>(std::clamp(value, minimum_, maximum_) - minimum_) * travel / span);
}

int SkinSlider::valueAt(int x) const {
    const int travel = std::max(1, width() - thumbWidth());
    const int along = std::clamp(x - thumbWidth() / 2, 0, travel);
    const long long span = maximum_ - minimum_;
    // Rounded to the nearest value, so both ends are reachable.
    return minimum_ + static_cast<int>((along * span + travel / 2) / travel);
}

void SkinSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int track_height = track_.isNull() ? 4 : std::min(track_.height(), height());
    const QRect track(0, (height() - track_height) / 2, width(), track_height);
    if (!track_.isNull())
        painter.drawImage(track, track_);
    else
        painter.fillRect(track, QColor(0x55, 0x5a, 0x62));

    const int face = !isEnabled() ? 2 : grabbed_ ? 1 : 0;
    const int thumb_height = thumb_[face].isNull() ? height() : std::min(thumb_[face].height(), height());
    const QRect thumb(thumbLeft(value_), (height() - thumb_height) / 2, thumbWidth(), thumb_height);
    if (!thumb_[face].isNull())
        painter.drawImage(thumb, thumb_[face]);
    else
        painter.fillRect(thumb, !isEnabled() ? QColor(0x60, 0x60, 0x60) : QColor(0xc8, 0xcc, 0xd2));
}

void SkinSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    grabbed_ = true;
    emit sliderMessage(SliderMessage::Grabbed, control_, value_);
    const int at = valueAt(event->position().toPoint().x());
    if (at != value_) {
        value_ = at;
        emit sliderMessage(SliderMessage::Moved, control_, value_);
    }
    update();
}

void SkinSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!grabbed_) return;
    const int at = valueAt(event->position().toPoint().x());
    if (at == value_) return;
    value_ = at;
    update();
    emit sliderMessage(SliderMessage::Moved, control_, value_);
}

void SkinSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!grabbed_ || event->button() != Qt::LeftButton) return;
    grabbed_ = false;
    update();
    emit sliderMessage(SliderMessage::Released, control_, value_);
}

bool SkinSlider::event(QEvent* event) {
    return showStringTooltip(event, tooltip_id_, this) || QWidget::event(event);
}

}  // namespace kalix::ui
