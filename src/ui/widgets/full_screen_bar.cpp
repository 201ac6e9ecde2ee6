#include "ui/widgets/full_screen_bar.h"

#include <QPainter>
#include <QPalette>

#include "app/client_controller.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"

namespace kalix::ui {
namespace {

constexpr int kSplitButtonWidth = 35, kSplitButtonHeight = 36, kSplitStep = 39, kButtonsLeft = 4, kButtonsTop = 4;
constexpr int kLeaveLeft = 355, kLeaveWidth = 38;
const char* const kSplitCaptions[] = {"1", "4", "6", "7", "8", "9", "10", "13", "16"};

}  // namespace

FullScreenBar::FullScreenBar(const QRect& monitor, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kFullScreenBarWidth, kFullScreenBarHeight);
    setWindowOpacity(kFullScreenBarOpacity / 255.0);
    setAutoFillBackground(true);
    const QImage face = skinPicture(skin::kFullScreenBar);
    QPalette palette = this->palette();
    if (!face.isNull())
        palette.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(face.scaled(size()))));
    else
        palette.setColor(QPalette::Window, QColor(0x20, 0x24, 0x2a));
    setPalette(palette);

    for (int i = 0; i < app::kSplitButtons; ++i) {
        auto* b = new SkinButton(kFullScreenBarSplitFirst + i, skin::kSplitFirst + 3 * i,
                                 QString::fromLatin1(kSplitCaptions[i]), this);
        b->setGeometry(kButtonsLeft + kSplitStep * i, kButtonsTop, kSplitButtonWidth, kSplitButtonHeight);
        connect(b, &SkinButton::clicked, this, [this, i] { emit splitChosen(i); });
        buttons_[static_cast<std::size_t>(i)] = b;
    }
    auto* leave = new SkinButton(kFullScreenBarLeave, skin::kFull, QStringLiteral("Exit"), this);
    leave->setGeometry(kLeaveLeft, kButtonsTop, kLeaveWidth, kSplitButtonHeight);
    connect(leave, &SkinButton::clicked, this, &FullScreenBar::leaveChosen);
    buttons_.back() = leave;

    move(placement(monitor).topLeft());
    hide_timer_.setSingleShot(true);
    connect(&hide_timer_, &QTimer::timeout, this, &QWidget::hide);
    QTimer::singleShot(kFullScreenBarFirstShow, this, &FullScreenBar::showForAWhile);
}

QRect FullScreenBar::placement(const QRect& monitor) {
    return {monitor.left() + (monitor.width() - kFullScreenBarWidth) / 2,
            monitor.top() + monitor.height() - kFullScreenBarHeight, kFullScreenBarWidth, kFullScreenBarHeight};
}

void FullScreenBar::showForAWhile() {
    show();
    raise();
    hide_timer_.start(kFullScreenBarShowTime);
}

SkinButton* FullScreenBar::button(int command) const {
    const int i = command - kFullScreenBarSplitFirst;
    return i >= 0 && i < static_cast<int>(buttons_.size()) ? buttons_[static_cast<std::size_t>(i)] : nullptr;
}

}  // namespace kalix::ui
