#include "ui/dialogs/channel_choice_panel.h"

#include <QGridLayout>

#include <algorithm>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_check_button.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kChannelText = app::stringNumber("local setup: channel");

}  // namespace

ChannelChoicePanel::ChannelChoicePanel(int channel_count, std::uint32_t mask, const QString& name_prefix,
                                       QWidget* parent)
    : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    // Four columns of "Channel 16" fill the page.
    grid->setContentsMargins(8, 24, 8, 24);
    const int count = std::clamp(channel_count, 0, 16);
    for (int ch = 0; ch < count; ++ch) {
        auto* check = new SkinCheckButton(QStringLiteral("%1 %2").arg(operatorText(kChannelText)).arg(ch + 1), this);
        check->setObjectName(name_prefix + QString::number(ch));
        check->setCheckable(true);
        check->setChecked((mask & (1u << ch)) != 0);
        connect(check, &SkinCheckButton::toggled, this, [this] { emit maskChanged(this->mask()); });
        grid->addWidget(check, ch / 4, ch % 4);
        boxes_.push_back(check);
    }
    grid->setRowStretch(4, 1);
}

std::uint32_t ChannelChoicePanel::mask() const {
    std::uint32_t mask = 0;
    for (std::size_t ch = 0; ch < boxes_.size(); ++ch)
        if (boxes_[ch]->isChecked()) mask |= 1u << ch;
    return mask;
}

}  // namespace kalix::ui
