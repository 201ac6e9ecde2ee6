#include "ui/skin/skin_dialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QScreen>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {

namespace {

constexpr int kTitleHeight = 28;
constexpr int kTitleIndent = 12;
constexpr int kMargin = 10;
constexpr int kPanelEdge = 4;  // bevel of the panel pictures, kept unscaled

}  // namespace

SkinDialog::SkinDialog(QWidget* parent, int background)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), background_id_(0) {
    applySkin(*this);
    setBackground(background);
    updateMargins();
}

void SkinDialog::setBackground(int picture) {
    background_id_ = picture;
    background_ = picture > 0 ? skinPicture(picture) : QImage();
    update();
}

void SkinDialog::setTitle(const QString& title) {
    title_ = title;
    setWindowTitle(title);
    updateMargins();
    update();
}

QRect SkinDialog::titleRect() const {
    if (title_.isEmpty()) return {};
    return {0, 0, width(), kTitleHeight};
}

void SkinDialog::updateMargins() {
    setContentsMargins(kMargin, title_.isEmpty() ? kMargin : kTitleHeight + kMargin / 2, kMargin, kMargin);
}

void SkinDialog::setOpacityByte(std::uint8_t alpha) {
    opacity_ = alpha;
    setWindowOpacity(opacityOf(alpha));
}

void SkinDialog::showEvent(QShowEvent* event) {
    if (!placed_) {
        placed_ = true;
        centreOn(parentWidget());
    }
    QDialog::showEvent(event);
}

void SkinDialog::centreOn(const QWidget* window) {
    QRect area;
    if (window != nullptr) {
        area = window->window()->frameGeometry();
    } else if (const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isEmpty()) return;
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void SkinDialog::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    drawSkinPanel(painter, rect(), background_, kPanelEdge);
    const QRect band = titleRect();
    if (band.isEmpty()) return;
    painter.setFont(skinFont(SkinFont::Title));
    painter.setPen(QColor(skin_colour::kInk));
    painter.drawText(band.adjusted(kTitleIndent, 0, -kTitleIndent, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(title_, Qt::ElideRight, band.width() - 2 * kTitleIndent));
    // An engraved rule under the title.
    const int y = band.bottom();
    painter.setPen(QColor(skin_colour::kEdgeDark));
    painter.drawLine(kPanelEdge + 2, y - 1, width() - kPanelEdge - 3, y - 1);
    painter.setPen(QColor(skin_colour::kEdgeLight));
    painter.drawLine(kPanelEdge + 2, y, width() - kPanelEdge - 3, y);
}

// Presses reach this handler when they land on the dialog itself or on a
// child that does not take the mouse (a static text); either way they are
// on the window's background and start a drag.
void SkinDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    drag_ = Drag{event->globalPosition().toPoint(), pos()};
    event->accept();
}

void SkinDialog::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_ || !(event->buttons() & Qt::LeftButton)) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    move(drag_->window_start + (event->globalPosition().toPoint() - drag_->press_global));
    event->accept();
}

void SkinDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && drag_) {
        drag_.reset();
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

}  // namespace kalix::ui
