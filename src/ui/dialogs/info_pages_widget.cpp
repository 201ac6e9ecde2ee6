#include "ui/dialogs/info_pages_widget.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/string_uses.h"
#include "ui/dialogs/log_pages_widget.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr std::uint16_t kSystemText = app::stringNumber("log pages: tabs; info pages: tabs; detail", 7);
constexpr std::uint16_t kStatusText = app::stringNumber("log pages: tabs; info pages: tabs; detail", 8);

template <std::size_t N>
QList<int> widths(const std::array<int, N>& w) {
    return QList<int>(w.begin(), w.end());
}

}  // namespace

InfoTabPage::InfoTabPage(InfoTabDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
    auto* tabs = new QHBoxLayout;
    tabs->setSpacing(4);
    const std::uint16_t texts[] = {kSystemText, kStatusText};
    const char* const names[] = {"info-system", "info-status"};
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        auto* b = new SkinButton(450 + static_cast<int>(i), skin::kWideButton, operatorText(texts[i]), this);
        applySkin(*b, SkinFont::Bold);
        b->setObjectName(QLatin1String(names[i]));
        b->setFixedSize(110, 22);
        const auto page = static_cast<InfoPage>(i);
        connect(b, &SkinButton::clicked, this, [this, page] { choosePage(page); });
        tabs->addWidget(b);
        tabs_[i] = b;
    }
    tabs->addStretch();
    list_ = new SkinListBox(this);
    list_->setObjectName(QStringLiteral("info-list"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->addLayout(tabs);
    column->addWidget(list_, 1);
    choosePage(InfoPage::System);
}

void InfoTabPage::choosePage(InfoPage page) {
    page_ = page;
    for (std::size_t i = 0; i < tabs_.size(); ++i) tabs_[i]->setShownPressed(i == static_cast<std::size_t>(page));
    if (page == InfoPage::System) {
        list_->setColumns({QString(), QString(), QString()}, widths(app::kSystemInfoColumns));
        rows_ = app::systemInfoRows(deps_.system);
    } else {
        list_->setColumns({QString(), QString(), QString()}, widths(app::kStatusInfoColumns));
        if (!status_asked_ && deps_.request_status) {
            status_asked_ = true;
            deps_.request_status();
        }
        rows_ = status_ ? app::statusInfoRows(*status_, deps_.channels) : std::vector<app::ListRow>{};
    }
    showRows(*list_, rows_);
}

void InfoTabPage::onStatusAnswer(const session::StatusAnswer& answer) {
    if (answer.refused) return;
    status_ = answer.bytes;
    if (page_ == InfoPage::Status) choosePage(page_);
}

}  // namespace kalix::ui
