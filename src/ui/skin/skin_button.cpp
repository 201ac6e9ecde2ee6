#include "ui/skin/skin_button.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {

SkinButton::SkinButton(int control, int first_face, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), control_(control) {
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
    setFaces(first_face);
}

void SkinButton::setFaces(int first_face) {
    normal_ = first_face > 0 ? skinPicture(first_face) : QImage();
    pressed_ = first_face > 0 ? skinPicture(first_face + 1) : QImage();
    disabled_ = first_face > 0 ? skinPicture(first_face + 2) : QImage();
    const SkinPicture* entry = first_face > 0 ? findSkinPicture(first_face) : nullptr;
    caption_over_face_ = entry != nullptr && entry->label.empty();
    update();
}

void SkinButton::setShownPressedFace(int face) {
    shown_pressed_face_ = face > 0 ? skinPicture(face) : QImage();
    update();
}

void SkinButton::setShownPressed(bool pressed) {
    if (pressed == shown_pressed_) return;
    shown_pressed_ = pressed;
    update();
}

SkinButton::Face SkinButton::currentFace() const {
    if (!isEnabled()) return Face::Disabled;
    if (isDown()) return Face::Pressed;
    if (shown_pressed_) return shown_pressed_face_.isNull() ? Face::Pressed : Face::ShownPressed;
    return Face::Normal;
}

QSize SkinButton::sizeHint() const {
    if (!normal_.isNull()) return normal_.size();
    return {fontMetrics().horizontalAdvance(text()) + 16, fontMetrics().height() + 10};
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Face face = currentFace();
    const QImage* picture = &normal_;
    switch (face) {
        case Face::Normal: break;
        case Face::Pressed: picture = &pressed_; break;
        case Face::ShownPressed: picture = &shown_pressed_face_; break;
        case Face::Disabled: picture = &disabled_; break;
    }
    if (!picture->isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, picture->size() != size());
        painter.drawImage(rect(), *picture);
        if (caption_over_face_ && !text().isEmpty()) {
            // The face's own label would sit here; pressed faces move it by a pixel.
            const int shift = face == Face::Pressed || face == Face::ShownPressed ? 1 : 0;
            painter.setFont(skinFont(SkinFont::Bold));
            painter.setPen(QColor(face == Face::Disabled ? skin_colour::kInkDisabled : skin_colour::kInk));
            painter.drawText(rect().translated(shift, shift), Qt::AlignCenter | Qt::TextSingleLine,
                             painter.fontMetrics().elidedText(text(), Qt::ElideRight, width() - 6));
        }
        return;
    }
    // No skin: a plain face that still tells the states apart.
    const bool down = face == Face::Pressed || face == Face::ShownPressed;
    const QRect r = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(r, down ? QColor(0x2d, 0x5b, 0x8c) : QColor(0x3a, 0x3f, 0x47));
    painter.setPen(QColor(0x6a, 0x70, 0x78));
    painter.drawRect(r);
    painter.setPen(face == Face::Disabled ? QColor(0x70, 0x70, 0x70) : QColor(0xe8, 0xe8, 0xe8));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

bool showStringTooltip(QEvent* event, int id, QWidget* widget) {
    if (event->type() != QEvent::ToolTip) return false;
    const QString tip = id > 0 ? resourceString(id) : QString();
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, widget);
    return true;
}

bool SkinButton::event(QEvent* event) {
    return showStringTooltip(event, tooltip_id_, this) || QAbstractButton::event(event);
}

}  // namespace kalix::ui
