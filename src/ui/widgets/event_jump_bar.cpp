#include "ui/widgets/event_jump_bar.h"

#include <QPainter>

#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"

namespace kalix::ui {
namespace {

constexpr int kButtonWidth = 32, kButtonHeight = 28, kButtonStep = 34, kLeft = 4, kTop = 4;
const char* const kCaptions[] = {"Sub 01", "Sub 02", "Sub 03", "Sub 04", "Sub 05", "Sub 06", "Sub 07"};

}  // namespace

EventJumpBar::EventJumpBar(std::function<app::ButtonState(app::EventJumpButton)> states, QWidget* parent)
    : QWidget(parent), states_(std::move(states)) {
    setFixedSize(kEventJumpBarSize);
    panel_ = skinPicture(skin::kEventJumpPanel);
    for (int i = 0; i < app::kEventJumpButtons; ++i) {
        const app::EventJumpButton which = app::eventJumpButton(i);
        auto* b = new SkinButton(static_cast<int>(which), skin::kEventJumpFirst + 3 * i,
                                 QString::fromLatin1(kCaptions[i]), this);
        b->setGeometry(kLeft + i * kButtonStep, kTop, kButtonWidth, kButtonHeight);
        connect(b, &SkinButton::clicked, this, [this, which] { emit pressed(which); });
        buttons_[static_cast<std::size_t>(i)] = b;
    }
    refresh();
}

void EventJumpBar::refresh() {
    for (int i = 0; i < app::kEventJumpButtons; ++i) {
        const app::ButtonState state = states_ ? states_(app::eventJumpButton(i)) : app::ButtonState{false, false};
        buttons_[static_cast<std::size_t>(i)]->setEnabled(state.enabled);
        buttons_[static_cast<std::size_t>(i)]->setShownPressed(state.pressed);
    }
}

SkinButton* EventJumpBar::button(app::EventJumpButton which) const {
    const int i = static_cast<int>(which) - static_cast<int>(app::EventJumpButton::SlowBackward);
    return i >= 0 && i < app::kEventJumpButtons ? buttons_[static_cast<std::size_t>(i)] : nullptr;
}

void EventJumpBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!panel_.isNull())
        painter.drawImage(0, 0, panel_);
    else
        painter.fillRect(rect(), QColor(0x20, 0x24, 0x2a));
}

}  // namespace kalix::ui
