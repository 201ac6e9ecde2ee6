#include "ui/dialogs/search_sub_tabs.h"

#include <QHBoxLayout>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kFirstSubTabText = app::stringNumber("remote search: search page tabs");
const char* const kNames[] = {"datetime", "event", "calendar", "channels"};

}  // namespace

SearchSubTabs::SearchSubTabs(const QString& name_prefix, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        auto* b = new SkinButton(450 + static_cast<int>(i), skin::kWideButton,
                                 operatorText(static_cast<std::uint16_t>(kFirstSubTabText + i)), this);
        applySkin(*b, SkinFont::Bold);
        b->setObjectName(name_prefix + QLatin1String(kNames[i]));
        b->setFixedSize(i + 1 < buttons_.size() ? 96 : 110, 22);
        const auto tab = static_cast<SubTab>(i);
        connect(b, &SkinButton::clicked, this, [this, tab] { emit chosen(tab); });
        row->addWidget(b);
        buttons_[i] = b;
    }
}

void SearchSubTabs::setPressed(SubTab tab) {
    for (std::size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setShownPressed(static_cast<SubTab>(i) == tab);
}

}  // namespace kalix::ui
