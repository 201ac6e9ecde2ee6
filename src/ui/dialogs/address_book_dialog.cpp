#include "ui/dialogs/address_book_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "app/local_settings.h"
#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kTitleText = app::stringNumber("address book: title");
constexpr std::uint16_t kAddressText = app::stringNumber("recorder address");
constexpr std::uint16_t kPortText = app::stringNumber("port");
constexpr std::uint16_t kDescriptionText = app::stringNumber("description");
constexpr std::uint16_t kLastUseText = app::stringNumber("address book: last connection");
constexpr std::uint16_t kDeleteText = app::stringNumber("address book: delete");
constexpr std::uint16_t kEditText = app::stringNumber("address book: edit");
constexpr std::uint16_t kSaveText = app::stringNumber("address book: save");
constexpr std::uint16_t kOkText = app::stringNumber("ok"), kCancelText = app::stringNumber("cancel");

// Control numbers of the address book.
enum class BookControl : int { Ok = 1, Cancel = 2, List = 914, Delete = 480, Edit = 481, Save = 482, Description = 530 };

constexpr int kButtonHeight = 24, kButtonWidth = 76;

SkinButton* makeButton(BookControl control, std::uint16_t text, const char* name, QWidget* parent) {
    auto* button = new SkinButton(static_cast<int>(control), skin::kSmallButton, operatorText(text), parent);
    applySkin(*button, SkinFont::Bold);
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setObjectName(QLatin1String(name));
    return button;
}

QStringList rowOf(const app::HistoryEntry& entry, app::DateFormat format) {
    return {QString::fromStdString(entry.address), QString::number(entry.port),
            QString::fromStdString(entry.description), lastUseText(entry.time, format)};
}

}  // namespace

QString lastUseText(std::uint32_t time, app::DateFormat format) {
    if (time == 0) return {};
    const std::time_t t = time;
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return {};
    const std::string date = app::formatDate(format, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return QStringLiteral("%1 %2:%3:%4")
        .arg(QString::fromStdString(date))
        .arg(local.tm_hour, 2, 10, QLatin1Char('0'))
        .arg(local.tm_min, 2, 10, QLatin1Char('0'))
        .arg(local.tm_sec, 2, 10, QLatin1Char('0'));
}

AddressBookDialog::AddressBookDialog(app::ConnectHistory& history, app::DateFormat date_format, QWidget* parent)
    : SkinDialog(parent), history_(history), date_format_(date_format) {
    setTitle(operatorText(kTitleText));
    setFixedSize(kWidth, kHeight);

    list_ = new SkinListBox(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setColumns({operatorText(kAddressText), operatorText(kPortText), operatorText(kDescriptionText),
                       operatorText(kLastUseText)},
                      {170, 60, 190});
    list_->setColumnAlignment(1, Qt::AlignCenter);
    connect(list_, &SkinListBox::currentRowChanged, this, &AddressBookDialog::select);
    connect(list_, &SkinListBox::rowActivated, this, [this](int row) {
        select(row);
        accept();
    });

    description_ = new SkinEdit(static_cast<int>(app::kHistoryTextField - 1), SkinEdit::Echo::Normal, this);
    description_->setObjectName(QStringLiteral("description"));
    connect(description_, &SkinEdit::returnPressed, this, [this] {
        if (save_->isVisible()) saveDescription();
    });

    delete_ = makeButton(BookControl::Delete, kDeleteText, "delete", this);
    connect(delete_, &SkinButton::clicked, this, &AddressBookDialog::deleteSelected);
    edit_ = makeButton(BookControl::Edit, kEditText, "edit", this);
    connect(edit_, &SkinButton::clicked, this, &AddressBookDialog::editDescription);
    save_ = makeButton(BookControl::Save, kSaveText, "save", this);
    connect(save_, &SkinButton::clicked, this, &AddressBookDialog::saveDescription);
    ok_ = makeButton(BookControl::Ok, kOkText, "ok", this);
    connect(ok_, &SkinButton::clicked, this, &AddressBookDialog::accept);
    auto* cancel = makeButton(BookControl::Cancel, kCancelText, "cancel", this);
    connect(cancel, &SkinButton::clicked, this, &AddressBookDialog::reject);

    auto* editing = new QHBoxLayout;
    editing->setSpacing(8);
    editing->addWidget(new SkinStatic(operatorText(kDescriptionText), this, SkinFont::Bold));
    editing->addWidget(description_, 1);
    editing->addWidget(edit_);  // Edit and Save take turns in one place
    editing->addWidget(save_);
    editing->addWidget(delete_);

    auto* answers = new QHBoxLayout;
    answers->addStretch();
    answers->addWidget(ok_);
    answers->addWidget(cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 6, 4, 2);  // inside the dialog's own margins
    column->setSpacing(10);
    column->addWidget(list_, 1);
    column->addLayout(editing);
    column->addLayout(answers);

    fillList();
    // The newest recorder is the likeliest choice: OK takes it at once.
    select(list_->rowCount() > 0 ? 0 : -1);
}

AddressBookDialog::~AddressBookDialog() = default;

void AddressBookDialog::fillList() {
    std::vector<QStringList> rows;
    for (const app::HistoryEntry& entry : history_.entries()) rows.push_back(rowOf(entry, date_format_));
    list_->setRows(std::move(rows));
}

void AddressBookDialog::select(int row) {
    if (row >= list_->rowCount()) row = -1;
    selected_ = row;
    // Also when the row is current already: the view makes its first row
    // current on focus without selecting it, and the choice must show.
    list_->setCurrentRow(row);
    description_->clear();
    setEditing(false);
    const bool chosen = row >= 0;
    delete_->setEnabled(chosen);
    edit_->setEnabled(chosen);
    ok_->setEnabled(chosen);
}

void AddressBookDialog::setEditing(bool on) {
    description_->setEnabled(on);
    edit_->setVisible(!on);
    save_->setVisible(on);
}

void AddressBookDialog::deleteSelected() {
    if (selected_ < 0) return;
    const int row = selected_;
    history_.remove(static_cast<std::size_t>(row));
    fillList();
    // The row that moved into the deleted one's place, or the new last row.
    select(list_->rowCount() == 0 ? -1 : std::min(row, list_->rowCount() - 1));
}

void AddressBookDialog::editDescription() {
    if (selected_ < 0) return;
    description_->setText(QString::fromStdString(history_.entries()[static_cast<std::size_t>(selected_)].description));
    setEditing(true);
    description_->setFocus();
    description_->selectAll();
}

void AddressBookDialog::saveDescription() {
    if (selected_ < 0) return;
    const auto index = static_cast<std::size_t>(selected_);
    history_.setDescription(index, description_->utf8());
    setEditing(false);
    list_->setCell(selected_, 2, QString::fromStdString(history_.entries()[index].description));
}

void AddressBookDialog::accept() {
    if (selected_ < 0) return;
    chosen_ = history_.entries()[static_cast<std::size_t>(selected_)];
    SkinDialog::accept();
}

}  // namespace kalix::ui
