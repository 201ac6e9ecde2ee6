#include "ui/skin/skin_check_button.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {

namespace {

constexpr int kFallbackBox = 14;
constexpr int kTextGap = 6;

}  // namespace

SkinCheckButton::SkinCheckButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    applySkin(*this);
    setText(text);
    setFaces(skin::kCheckBox);
}

void SkinCheckButton::setFaces(int first) {
    first_face_ = first;
    for (int i = 0; i < 4; ++i) faces_[static_cast<std::size_t>(i)] = skinPicture(first + i);
    updateGeometry();
    update();
}

int SkinCheckButton::currentFace() const { return first_face_ + (isChecked() ? 1 : 0) + (isEnabled() ? 0 : 2); }

QSize SkinCheckButton::boxSize() const {
    const QImage& face = faces_[0];
    return face.isNull() ? QSize(kFallbackBox, kFallbackBox) : face.size();
}

QSize SkinCheckButton::sizeHint() const {
    const QSize box = boxSize();
    if (text().isEmpty()) return box;
    const QFontMetrics metrics(font());
    return {box.width() + kTextGap + metrics.horizontalAdvance(text()), std::max(box.height(), metrics.height())};
}

QSize SkinCheckButton::minimumSizeHint() const { return sizeHint(); }

void SkinCheckButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QSize size = boxSize();
    const QRect box(QPoint(0, (height() - size.height()) / 2), size);
    const QImage& face = faces_[static_cast<std::size_t>(currentFace() - first_face_)];
    if (face.isNull()) {
        paintFallbackBox(painter, box);
    } else {
        painter.drawImage(box.topLeft(), face);
    }
    if (isDown()) {  // held under the mouse: the box's edge lights up
        painter.setPen(QColor(skin_colour::kAccent));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const QRect text_rect(box.right() + 1 + kTextGap, 0, width() - box.width() - kTextGap, height());
        painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
}

void SkinCheckButton::paintFallbackBox(QPainter& painter, const QRect& box) const {
    using namespace skin_colour;
    painter.fillRect(box, QColor(isEnabled() ? kField : kPanelBottom));
    const QRect r = box.adjusted(0, 0, -1, -1);
    painter.setPen(QColor(kEdgeDark));  // sunken: dark above and left
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QColor(kEdgeLight));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    if (!isChecked()) return;
    const qreal w = box.width(), h = box.height();
    QPainterPath tick;
    tick.moveTo(box.left() + w * 0.22, box.top() + h * 0.5);
    tick.lineTo(box.left() + w * 0.42, box.top() + h * 0.72);
    tick.lineTo(box.left() + w * 0.78, box.top() + h * 0.26);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(isEnabled() ? kAccent : kInkDisabled), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

}  // namespace kalix::ui
