#include "ui/dialogs/day_timeline_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "app/local_settings.h"
#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kTitleText = app::stringNumber("day timeline: title");
constexpr std::uint16_t kBackText = app::stringNumber("day timeline: back");

constexpr QRgb kCursorColour = qRgb(0xFF, 0xFF, 0x00);
constexpr QRgb kBandColour = qRgb(0xFF, 0x00, 0x00);
// Bar colours without the skin: the two kinds of recording.
constexpr QRgb kKindColours[2] = {qRgb(60, 180, 90), qRgb(210, 70, 60)};
constexpr int kButtonRow = 386;

QRect areaRect() {
    return {app::kTimelineLeft, app::kTimelineTop, app::kTimelineArea, app::kTimelineArea};
}

}  // namespace

DayTimelineDialog::DayTimelineDialog(app::TimelineWindowModel& model, QWidget* parent, std::uint16_t action_text)
    : SkinDialog(parent, skin::kTimelinePage), model_(model) {
    setFixedSize(app::kTimelineDialogWidth, app::kTimelineDialogHeight);
    setWindowFlag(Qt::Window);
    setFocusPolicy(Qt::StrongFocus);
    kinds_[0] = skinPicture(skin::kRecordKind0);
    kinds_[1] = skinPicture(skin::kRecordKind1);

    cursor_text_ = new SkinStatic({}, this, SkinFont::Bold);
    cursor_text_->setObjectName(QStringLiteral("cursor-time"));
    cursor_text_->setAlignment(Qt::AlignCenter);
    cursor_text_->setGeometry(app::kTimelineLeft, app::kTimelineTop + app::kTimelineArea + 2, app::kTimelineWidth, 18);

    play_ = new SkinButton(0, skin::kSmallButton, operatorText(action_text), this);
    auto* back = new SkinButton(0, skin::kSmallButton, operatorText(kBackText), this);
    for (SkinButton* b : {play_, back}) {
        applySkin(*b, SkinFont::Bold);
        b->setFocusPolicy(Qt::NoFocus);
    }
    play_->setObjectName(QStringLiteral("play"));
    back->setObjectName(QStringLiteral("back"));
    play_->setGeometry(app::kTimelineDialogWidth / 2 - 70, kButtonRow, 64, 22);
    back->setGeometry(app::kTimelineDialogWidth / 2 + 6, kButtonRow, 64, 22);
    connect(play_, &SkinButton::clicked, this, [this] { model_.playTimeline(); });
    connect(back, &SkinButton::clicked, this, [this] { model_.timelineBack(); });
    refresh();
}

void DayTimelineDialog::refresh() {
    const app::DayTimeline* timeline = model_.timeline();
    if (timeline == nullptr) return;
    const app::CalendarDate d = timeline->date();
    setTitle(operatorText(kTitleText) + QStringLiteral("  ") +
             QString::fromStdString(app::formatDate(model_.dateFormat(), d.year, d.month0 + 1, d.day0 + 1)));
    play_->setEnabled(model_.timelinePlayEnabled());
    cursor_text_->setText(QString::fromStdString(timeline->cursorText()));
    update();
}

void DayTimelineDialog::finish() {
    finishing_ = true;
    close();
}

void DayTimelineDialog::changed(app::TimelineChange change) {
    if (change == app::TimelineChange::None) return;
    if (change == app::TimelineChange::Cursor) cursor_text_->setText(QString::fromStdString(model_.timeline()->cursorText()));
    // The labels stand above the area: a new window repaints them too.
    update(change == app::TimelineChange::Window ? rect() : areaRect());
}

void DayTimelineDialog::paintEvent(QPaintEvent* event) {
    SkinDialog::paintEvent(event);
    const app::DayTimeline* timeline = model_.timeline();
    if (timeline == nullptr) return;
    QPainter painter(this);
    for (const app::TimelineBar& bar : timeline->bars()) {
        const QRect r(bar.x1, app::DayTimeline::rowTop(bar.channel), bar.x2 - bar.x1, app::kTimelineRowHeight + 1);
        const QImage& picture = kinds_[bar.kind];
        if (!picture.isNull())
            painter.drawImage(r, picture);
        else
            painter.fillRect(r, QColor(kKindColours[bar.kind]));
    }
    if (const auto x = timeline->cursorX()) painter.fillRect(QRect(*x, app::kTimelineTop, 1, app::kTimelineArea), QColor(kCursorColour));
    if (const auto band = timeline->band()) {
        painter.setPen(QPen(QColor(kBandColour), 2));
        painter.setBrush(Qt::NoBrush);
        const int left = std::min(band->from_x, band->to_x), right = std::max(band->from_x, band->to_x);
        painter.drawRect(QRect(left, app::kTimelineTop + 1, right - left, app::kTimelineArea - 2));
    }
    painter.setFont(skinFont(SkinFont::Normal));
    painter.setPen(QColor(skin_colour::kInk));
    const auto labels = timeline->labels();
    for (int i = 0; i < 4; ++i)
        painter.drawText(QRect(app::kTimelineLabelX + i * app::kTimelineLabelStep, app::kTimelineLabelY,
                               app::kTimelineLabelWidth, app::kTimelineLabelHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(labels[static_cast<std::size_t>(i)]));
}

QImage DayTimelineDialog::renderArea() { return grab(areaRect()).toImage(); }

void DayTimelineDialog::mousePressEvent(QMouseEvent* event) {
    app::DayTimeline* timeline = model_.timeline();
    const QPoint at = event->position().toPoint();
    if (timeline != nullptr && areaRect().contains(at)) {
        area_press_ = true;
        if (event->button() == Qt::LeftButton) changed(timeline->leftDown(at.x(), at.y()));
        return;
    }
    area_press_ = false;
    if (timeline != nullptr && event->button() == Qt::LeftButton) timeline->leftDown(at.x(), at.y());
    SkinDialog::mousePressEvent(event);
}

void DayTimelineDialog::mouseMoveEvent(QMouseEvent* event) {
    app::DayTimeline* timeline = model_.timeline();
    if (timeline != nullptr && timeline->capturing()) {
        changed(timeline->pointerMoved(event->position().toPoint().x(), (event->buttons() & Qt::LeftButton) != 0));
        return;
    }
    SkinDialog::mouseMoveEvent(event);
}

void DayTimelineDialog::mouseReleaseEvent(QMouseEvent* event) {
    app::DayTimeline* timeline = model_.timeline();
    if (timeline != nullptr && event->button() == Qt::LeftButton && timeline->capturing()) {
        changed(timeline->leftUp(event->position().toPoint().x()));
        return;
    }
    if (timeline != nullptr && event->button() == Qt::RightButton && area_press_) {
        changed(timeline->rightUp());
        return;
    }
    SkinDialog::mouseReleaseEvent(event);
}

void DayTimelineDialog::wheelEvent(QWheelEvent* event) {
    if (app::DayTimeline* timeline = model_.timeline()) changed(timeline->wheel(event->angleDelta().y()));
    event->accept();
}

void DayTimelineDialog::keyPressEvent(QKeyEvent* event) {
    app::DayTimeline* timeline = model_.timeline();
    switch (event->key()) {
        case Qt::Key_Left:
            if (timeline != nullptr) changed(timeline->stepCursor(-1));
            return;
        case Qt::Key_Right:
            if (timeline != nullptr) changed(timeline->stepCursor(+1));
            return;
        default:
            event->accept();  // Enter and Escape stay here
            return;
    }
}

void DayTimelineDialog::closeEvent(QCloseEvent* event) {
    if (finishing_)
        event->accept();
    else
        event->ignore();
}

}  // namespace kalix::ui
