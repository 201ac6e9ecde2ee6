#include "ui/dialogs/bookmark_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr std::uint16_t kButtonTexts = app::stringNumber("bookmarks: buttons");
constexpr std::uint16_t kHeadings = app::stringNumber("bookmarks: headings");
constexpr std::uint16_t kAddText = app::stringNumber("bookmarks: add");

SkinButton* makeButton(int control, std::uint16_t text, const char* name, QWidget* parent) {
    auto* b = new SkinButton(control, skin::kWideButton, operatorText(text), parent);
    applySkin(*b, SkinFont::Bold);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(97, 22);
    return b;
}

}  // namespace

BookmarkPage::BookmarkPage(app::BookmarkList list, std::function<std::optional<PlaybackMoment>()> moment,
                           QWidget* parent)
    : QWidget(parent), list_(std::move(list)), moment_(std::move(moment)) {
    view_ = new SkinListBox(this);
    view_->setObjectName(QStringLiteral("list"));
    view_->setColumns({operatorText(kHeadings), operatorText(kHeadings + 1)}, {150, 300});
    note_ = new SkinEdit(static_cast<int>(app::kBookmarkTextBytes - 1), SkinEdit::Echo::Normal, this);
    note_->setObjectName(QStringLiteral("note"));
    delete_ = makeButton(480, kButtonTexts, "delete", this);
    edit_ = makeButton(481, kButtonTexts + 1, "edit", this);
    store_ = makeButton(482, kButtonTexts + 2, "store", this);
    delete_all_ = makeButton(483, kButtonTexts + 3, "delete-all", this);
    play_ = makeButton(484, kButtonTexts + 4, "play", this);
    add_ = makeButton(485, kAddText, "add", this);

    auto* buttons = new QGridLayout;
    buttons->addWidget(delete_, 0, 0);
    buttons->addWidget(edit_, 0, 1);
    buttons->addWidget(store_, 0, 1);
    buttons->addWidget(delete_all_, 0, 2);
    buttons->addWidget(play_, 1, 0);
    buttons->addWidget(add_, 1, 2);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->addWidget(view_, 1);
    column->addWidget(note_);
    column->addLayout(buttons);

    connect(view_, &SkinListBox::currentRowChanged, this, &BookmarkPage::rowChosen);
    connect(edit_, &SkinButton::clicked, this, [this] {
        if (const auto note = list_.beginEdit()) {
            note_->setText(QString::fromStdString(*note));
            note_->setEnabled(true);
            note_->selectAll();
            note_->setFocus();
        }
        refresh();
    });
    connect(store_, &SkinButton::clicked, this, [this] {
        list_.storeNote(note_->text().toStdString());
        note_->clear();
        refresh();
    });
    connect(delete_, &SkinButton::clicked, this, [this] {
        list_.deleteCurrent();
        refresh();
    });
    connect(delete_all_, &SkinButton::clicked, this, [this] {
        list_.deleteAll();
        refresh();
    });
    connect(play_, &SkinButton::clicked, this, [this] {
        if (const auto t = list_.playTime()) emit playRequested(*t);
    });
    connect(add_, &SkinButton::clicked, this, [this] {
        // Without playback there is no moment to mark.
        const auto at = moment_ ? moment_() : std::nullopt;
        if (!at) return;
        const auto added = list_.add(at->time, note_->text().toStdString(), at->vid_path);
        if (added.result == app::BookmarkAdd::Full)
            emit noticeRequested(session::Notice{app::kBookmarkFullNoticeKind, 0, session::Owner::MainWindow});
        if (added.result == app::BookmarkAdd::Added) note_->clear();
        refresh();
    });
    reload();
}

void BookmarkPage::reload() {
    list_.load();
    refresh();
}

void BookmarkPage::rowChosen(int row) {
    if (row < 0) return;
    const bool was_editing = list_.editing();
    list_.select(static_cast<std::size_t>(row));
    if (was_editing && !list_.editing()) note_->clear();
    refresh();
}

void BookmarkPage::refresh() {
    std::vector<QStringList> rows;
    for (const app::BookmarkRow& r : list_.rows())
        rows.push_back({QString::fromStdString(r.time), QString::fromStdString(r.note)});
    const QSignalBlocker quiet(view_);
    view_->setRows(std::move(rows));
    const auto current = list_.currentRow();
    if (current) view_->setCurrentRow(static_cast<int>(*current));
    const bool chosen = current.has_value();
    delete_->setEnabled(chosen);
    edit_->setEnabled(chosen);
    play_->setEnabled(chosen);
    delete_all_->setEnabled(!list_.rows().empty());
    edit_->setVisible(!list_.editing());
    store_->setVisible(list_.editing());
    // The note field takes a new bookmark's note, or the note being edited.
    note_->setEnabled(list_.editing() || (moment_ && moment_()));
    add_->setEnabled(!list_.editing() && moment_ && moment_());
}

}  // namespace kalix::ui
