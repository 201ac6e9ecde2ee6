#include "ui/dialogs/local_search_dialog.h"

#include <QDate>

#include <algorithm>
#include <QDateTimeEdit>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/string_uses.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/export_dialog.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr std::uint16_t kTitle = app::stringNumber("local search: title");
constexpr std::uint16_t kTabs = app::stringNumber("local search: tabs");
constexpr std::uint16_t kCloseText = app::stringNumber("remote search: close");
constexpr std::uint16_t kPlayText = app::stringNumber("play");
constexpr std::uint16_t kExportTitle = app::stringNumber("export: title");
const char* const kTabNames[] = {"tab-datetime", "tab-event", "tab-calendar", "tab-bookmarks", "tab-export"};

SkinButton* makeButton(int control, int face, const QString& caption, const char* name, QWidget* parent) {
    auto* b = new SkinButton(control, face, caption, parent);
    applySkin(*b, SkinFont::Bold);
    b->setObjectName(QLatin1String(name));
    return b;
}

session::RecorderIdentity localIdentity() {
    session::RecorderIdentity id;
    id.channel_num = 16;
    return id;
}

}  // namespace

LocalSearchDialog::LocalSearchDialog(LocalSearchDeps deps, QWidget* parent)
    : SkinDialog(parent, skin::kSearchDialog),
      deps_(std::move(deps)),
      catalogue_(archive::buildLocalCatalogue(deps_.archive_folder)),
      requests_(app::buildLocalSearchTables(catalogue_),
                [this](session::SearchAnswer answer) {
                    // The hub hears the answer after its own call returns, as
                    // it would hear the recorder's.
                    QTimer::singleShot(0, this, [this, answer = std::move(answer)] { hub_.onAnswer(answer); });
                }),
      starter_([this](protocol::RecorderTime t) { return play(t); }),
      hub_(app::RemoteSearchSetup{requests_, starter_, *this, localIdentity(), 0xFFFF, deps_.date_format,
                                  deps_.current_year != 0 ? deps_.current_year : QDate::currentDate().year()}) {
    setTitle(operatorText(kTitle));
    setFixedSize(kWidth, kHeight);
    setOpacityByte(deps_.opacity);
    setAttribute(Qt::WA_DeleteOnClose);

    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        auto* b = makeButton(450 + static_cast<int>(i), skin::kWideButton,
                             operatorText(static_cast<std::uint16_t>(kTabs + i)), kTabNames[i], this);
        b->setGeometry(kPageRect.x() + static_cast<int>(i) * 104, 44, 97, 22);
        connect(b, &SkinButton::clicked, this, [this, i] { chooseTab(static_cast<LocalSearchTab>(i)); });
        tabs_[i] = b;
    }
    stack_ = new QStackedWidget(this);
    stack_->setGeometry(kPageRect);
    stack_->addWidget(buildDateTimePage());
    stack_->addWidget(new QWidget);  // Event: the event list window
    stack_->addWidget(new QWidget);  // Calendar: the calendar window
    bookmarks_ = new BookmarkPage(app::BookmarkList(app::BookmarkFile(deps_.location), deps_.date_format),
                                  deps_.playback_moment);
    connect(bookmarks_, &BookmarkPage::playRequested, this, [this](protocol::RecorderTime t) {
        if (play(t)) hub_.close();
    });
    connect(bookmarks_, &BookmarkPage::noticeRequested, this, &LocalSearchDialog::noticeRequested);
    stack_->addWidget(bookmarks_);
    stack_->addWidget(buildExportPage());

    auto* close = makeButton(435, skin::kSmallButton, operatorText(kCloseText), "close", this);
    close->setGeometry(kWidth - 80, kHeight - 32, 64, 22);
    connect(close, &SkinButton::clicked, this, [this] { hub_.close(); });
    chooseTab(LocalSearchTab::DateTime);
}

LocalSearchDialog::~LocalSearchDialog() {
    for (QWidget* w : {static_cast<QWidget*>(calendar_.data()), static_cast<QWidget*>(timeline_.data()),
                       static_cast<QWidget*>(events_.data()), static_cast<QWidget*>(export_.data())})
        delete w;
}

CalendarDialog* LocalSearchDialog::calendar() const { return calendar_.data(); }
DayTimelineDialog* LocalSearchDialog::timeline() const { return timeline_.data(); }
EventListDialog* LocalSearchDialog::eventList() const { return events_.data(); }
ExportDialog* LocalSearchDialog::exportDialog() const { return export_.data(); }

void LocalSearchDialog::chooseTab(LocalSearchTab tab) {
    if (hub_.pending()) return;
    const auto i = static_cast<std::size_t>(tab);
    stack_->setCurrentIndex(static_cast<int>(i));
    for (std::size_t k = 0; k < tabs_.size(); ++k) tabs_[k]->setShownPressed(k == i);
    if (tab == LocalSearchTab::Event) hub_.openEventSearch();
    if (tab == LocalSearchTab::Calendar) hub_.openCalendarSearch();
    if (tab == LocalSearchTab::Bookmarks) bookmarks_->reload();
}

bool LocalSearchDialog::play(protocol::RecorderTime t) {
    return deps_.start_local_playback && deps_.start_local_playback(t);
}

void LocalSearchDialog::reject() { hub_.close(); }

QWidget* LocalSearchDialog::buildDateTimePage() {
    auto* page = new QWidget;
    moment_ = new QDateTimeEdit(page);
    moment_->setObjectName(QStringLiteral("datetime"));
    moment_->setTimeSpec(Qt::UTC);
    moment_->setDisplayFormat(deps_.date_format == app::DateFormat::YearMonthDay   ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                              : deps_.date_format == app::DateFormat::MonthDayYear ? QStringLiteral("MM-dd-yyyy HH:mm:ss")
                                                                                  : QStringLiteral("dd-MM-yyyy HH:mm:ss"));
    const std::uint32_t first = catalogue_.segments.empty() ? 0 : catalogue_.segments.front().start_time;
    moment_->setDateTime(QDateTime::fromSecsSinceEpoch(first, Qt::UTC));
    auto* play_button = makeButton(0, skin::kSmallButton, operatorText(kPlayText), "datetime-play", page);
    play_button->setFixedSize(64, 22);
    connect(play_button, &SkinButton::clicked, this, [this] {
        const auto t = static_cast<std::uint32_t>(std::clamp<qint64>(moment_->dateTime().toSecsSinceEpoch(), 0, 0xFFFFFFFF));
        if (play(t)) hub_.close();
    });
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(14);
    column->addWidget(moment_, 0, Qt::AlignLeft);
    column->addWidget(play_button, 0, Qt::AlignLeft);
    column->addStretch();
    return page;
}

QWidget* LocalSearchDialog::buildExportPage() {
    auto* page = new QWidget;
    auto* open = makeButton(0, skin::kWideButton, operatorText(kExportTitle), "open-export", page);
    open->setFixedSize(120, 22);
    connect(open, &SkinButton::clicked, this, [this] { openExport(); });
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->addWidget(open, 0, Qt::AlignLeft);
    column->addStretch();
    return page;
}

ExportDialog* LocalSearchDialog::openExport() {
    if (!export_) {
        std::uint32_t from = 0;
        std::uint32_t to = 0;
        if (!catalogue_.segments.empty()) {
            from = catalogue_.segments.front().start_time;
            to = catalogue_.segments.back().end_time;
        }
        export_ = new ExportDialog(deps_.archive_folder, deps_.location / "Saved", from, to, this);
        export_->setOpacityByte(deps_.opacity);
        export_->move(mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
    }
    export_->show();
    export_->raise();
    return export_.data();
}

// ---------------------------------------------------------------- view

void LocalSearchDialog::stateChanged() {
    if (events_) events_->refresh();
    if (calendar_) calendar_->refresh();
}

void LocalSearchDialog::openCalendar() {
    if (!calendar_) {
        calendar_ = new CalendarDialog(hub_, this);
        calendar_->setOpacityByte(deps_.opacity);
        calendar_->move(mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
    }
    calendar_->refresh();
    calendar_->show();
    calendar_->raise();
}

void LocalSearchDialog::openTimeline() {
    if (!timeline_) {
        timeline_ = new DayTimelineDialog(hub_, this, kPlayText);
        timeline_->setOpacityByte(deps_.opacity);
        timeline_->move(mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
    }
    timeline_->refresh();
    if (calendar_) calendar_->hide();
    timeline_->show();
    timeline_->raise();
    timeline_->setFocus();
}

void LocalSearchDialog::closeTimeline(std::chrono::milliseconds after) {
    // Playback started from the timeline: the local search closes with it.
    QTimer::singleShot(after, this, [this] { hub_.close(); });
}

void LocalSearchDialog::openEventList() {
    if (!events_) {
        events_ = new EventListDialog(hub_, this, kPlayText);
        events_->setOpacityByte(deps_.opacity);
        events_->move(mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
    }
    events_->refresh();
    events_->show();
    events_->raise();
}

void LocalSearchDialog::showNotice(session::Notice notice) { emit noticeRequested(notice); }

void LocalSearchDialog::closeDialog() {
    if (ending_) return;
    ending_ = true;
    if (timeline_) timeline_->finish();
    if (calendar_) calendar_->close();
    if (events_) events_->close();
    done(QDialog::Rejected);
    close();
}

}  // namespace kalix::ui
