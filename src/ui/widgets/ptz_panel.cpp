#include "ui/widgets/ptz_panel.h"

#include <QKeyEvent>
#include <QPainter>

#include <optional>

#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {
namespace {

using session::PtzArrow;

constexpr int kCell = 45, kLeft = 6, kTop = 6, kStep = 45;
constexpr QRect kCaptionRect{0, kTop + 3 * kStep, 147, 171 - kTop - 3 * kStep};

// Grid positions (column, row) of up, down, left, right.
constexpr int kColumn[] = {1, 1, 0, 2};
constexpr int kRow[] = {0, 2, 1, 1};
const char* const kArrowNames[] = {"Up", "Down", "Left", "Right"};

std::optional<PtzArrow> arrowOfKey(int key) {
    switch (key) {
        case Qt::Key_Up: return PtzArrow::Up;
        case Qt::Key_Down: return PtzArrow::Down;
        case Qt::Key_Left: return PtzArrow::Left;
        case Qt::Key_Right: return PtzArrow::Right;
        default: return std::nullopt;
    }
}

}  // namespace

PtzPanel::PtzPanel(app::PtzPanels& panels, std::function<void()> changed, QWidget* parent)
    : SkinDialog(parent, skin::kPtzPanel), panels_(panels), changed_(std::move(changed)) {
    setFixedSize(kPtzPanelSize);
    setFocusPolicy(Qt::StrongFocus);
    for (int i = 0; i < 4; ++i) {
        const auto which = static_cast<PtzArrow>(i);
        auto* b = new SkinButton(0, skin::kPtzArrowFirst + 3 * i, QString::fromLatin1(kArrowNames[i]), this);
        b->setGeometry(kLeft + kColumn[i] * kStep, kTop + kRow[i] * kStep, kCell, kCell);
        b->setFocusPolicy(Qt::NoFocus);  // the arrow keys stay with the panel
        connect(b, &SkinButton::pressed, this, [this, which] {
            panels_.arrowPressed(which);
            if (changed_) changed_();
        });
        connect(b, &SkinButton::released, this, [this] { release(); });
        arrows_[static_cast<std::size_t>(i)] = b;
    }
    centre_ = new SkinButton(0, skin::kPtzCentrePan, QStringLiteral("Preset"), this);
    centre_->setGeometry(kLeft + kStep, kTop + kStep, kCell, kCell);
    centre_->setFocusPolicy(Qt::NoFocus);
    centre_->setShownPressedFace(skin::kPtzCentreLearning);
    connect(centre_, &SkinButton::pressed, this, [this] {
        panels_.centrePressed();
        if (changed_) changed_();
    });
    refresh();
}

void PtzPanel::refresh() {
    const bool enabled = panels_.arrowsEnabled();
    for (SkinButton* b : arrows_) b->setEnabled(enabled);
    centre_->setFaces(panels_.form() == session::PtzForm::Pan ? skin::kPtzCentrePan : skin::kPtzCentreZoom);
    centre_->setShownPressedFace(skin::kPtzCentreLearning);
    centre_->setEnabled(enabled);
    centre_->setShownPressed(panels_.learnPending());
    update();
}

QString PtzPanel::formCaption() const {
    return panels_.form() == session::PtzForm::Pan ? QStringLiteral("PAN") : QStringLiteral("ZOOM");
}

void PtzPanel::paintEvent(QPaintEvent* event) {
    SkinDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(panels_.arrowsEnabled() ? QColor(0xF0, 0xC0, 0x40) : QColor(0x90, 0x90, 0x90));
    QFont font = skinFont();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(kCaptionRect, Qt::AlignCenter, formCaption());
}

void PtzPanel::keyPressEvent(QKeyEvent* event) {
    const auto which = arrowOfKey(event->key());
    if (!which) {
        // Esc would close the dialog behind the model's back.
        if (event->key() != Qt::Key_Escape) SkinDialog::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat()) {
        panels_.arrowPressed(*which);
        if (changed_) changed_();
    }
    event->accept();
}

void PtzPanel::keyReleaseEvent(QKeyEvent* event) {
    if (!arrowOfKey(event->key())) return SkinDialog::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) release();
    event->accept();
}

// A key held while the panel loses the focus never sees its release: the
// camera is stopped here instead of moving on.
void PtzPanel::focusOutEvent(QFocusEvent* event) {
    release();
    SkinDialog::focusOutEvent(event);
}

void PtzPanel::hideEvent(QHideEvent* event) {
    release();
    SkinDialog::hideEvent(event);
}

void PtzPanel::release() {
    if (!panels_.holding()) return;
    panels_.arrowReleased();
    if (changed_) changed_();
}

}  // namespace kalix::ui
