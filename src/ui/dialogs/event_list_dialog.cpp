#include "ui/dialogs/event_list_dialog.h"

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kTitleText = app::stringNumber("event list: title");
constexpr std::uint16_t kFirstKindText = app::stringNumber("event list: kinds");
constexpr std::uint16_t kTimeHeading = app::stringNumber("event list: headings", 0);
constexpr std::uint16_t kChannelsHeading = app::stringNumber("event list: headings", 1);
constexpr std::uint16_t kPreviousText = app::stringNumber("event list: pages", 0);
constexpr std::uint16_t kNextText = app::stringNumber("event list: pages", 1);
constexpr std::uint16_t kNoRecordingsText = app::stringNumber("remote search: no recordings");
constexpr std::uint16_t kCloseText = app::stringNumber("remote search: close");

constexpr int kListTop = 64, kListHeight = 280, kButtonRow = 386, kPageRow = 352;

SkinButton* makeButton(const QString& caption, const char* name, int face, QWidget* parent) {
    auto* b = new SkinButton(0, face, caption, parent);
    applySkin(*b, SkinFont::Bold);
    b->setObjectName(QLatin1String(name));
    return b;
}

}  // namespace

EventListDialog::EventListDialog(app::EventWindowModel& model, QWidget* parent, std::uint16_t action_text)
    : SkinDialog(parent, skin::kSearchPage), model_(model) {
    setTitle(operatorText(kTitleText));
    setFixedSize(kWidth, kHeight);
    setWindowFlag(Qt::Window);

    for (std::size_t i = 0; i < kinds_.size(); ++i) {
        const std::uint8_t kind = app::kEventKinds[i];
        auto* b = new SkinButton(0, skin::kWideButton, operatorText(static_cast<std::uint16_t>(kFirstKindText + i)), this);
        applySkin(*b, SkinFont::Bold);
        b->setObjectName(QStringLiteral("kind-%1").arg(kind));
        b->setGeometry(8 + static_cast<int>(i) * 101, 34, 97, 22);
        connect(b, &SkinButton::clicked, this, [this, kind] { model_.chooseEventKind(kind); });
        kinds_[i] = b;
    }
    list_ = new SkinListBox(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setGeometry(8, kListTop, kWidth - 16, kListHeight);
    list_->setColumns({operatorText(kTimeHeading), operatorText(kChannelsHeading)}, {160});
    connect(list_, &SkinListBox::rowActivated, this, [this](int) { play(); });
    empty_ = new SkinStatic(operatorText(kNoRecordingsText), this);
    empty_->setObjectName(QStringLiteral("empty"));
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setGeometry(8, kListTop + kListHeight / 2 - 10, kWidth - 16, 20);

    previous_ = makeButton(operatorText(kPreviousText), "previous", skin::kWideButton, this);
    next_ = makeButton(operatorText(kNextText), "next", skin::kWideButton, this);
    previous_->setGeometry(8, kPageRow, 97, 22);
    next_->setGeometry(kWidth - 105, kPageRow, 97, 22);
    connect(previous_, &SkinButton::clicked, this, [this] { model_.eventPage(-1); });
    connect(next_, &SkinButton::clicked, this, [this] { model_.eventPage(+1); });
    page_ = new SkinStatic({}, this);
    page_->setObjectName(QStringLiteral("page"));
    page_->setAlignment(Qt::AlignCenter);
    page_->setGeometry(110, kPageRow, kWidth - 220, 22);

    play_ = makeButton(operatorText(action_text), "play", skin::kSmallButton, this);
    auto* close = makeButton(operatorText(kCloseText), "close", skin::kSmallButton, this);
    play_->setGeometry(kWidth / 2 - 70, kButtonRow, 64, 22);
    close->setGeometry(kWidth / 2 + 6, kButtonRow, 64, 22);
    connect(play_, &SkinButton::clicked, this, &EventListDialog::play);
    connect(close, &SkinButton::clicked, this, &EventListDialog::close);
    refresh();
}

void EventListDialog::refresh() {
    const app::RemoteEventList* events = model_.eventList();
    if (events == nullptr) return;
    for (std::size_t i = 0; i < kinds_.size(); ++i) kinds_[i]->setShownPressed(app::kEventKinds[i] == events->kind());
    std::vector<QStringList> rows;
    for (const app::EventRow& row : events->rows())
        rows.push_back({QString::fromStdString(row.time), QString::fromStdString(row.channels)});
    const bool empty = rows.empty();
    list_->setRows(std::move(rows));
    if (!empty) list_->setCurrentRow(0);
    // An answer without events of the kind says so, instead of an empty
    // list that might still be coming.
    empty_->setVisible(empty && !model_.pending());
    empty_->raise();
    page_->setText(QString::fromStdString(events->pageText()));
    previous_->setEnabled(events->previousPage().has_value());
    next_->setEnabled(events->nextPage().has_value());
    play_->setEnabled(!empty);
}

void EventListDialog::play() {
    const int row = list_->currentRow();
    if (row >= 0) model_.playEvent(static_cast<std::size_t>(row));
}

}  // namespace kalix::ui
