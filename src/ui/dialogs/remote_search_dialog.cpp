#include "ui/dialogs/remote_search_dialog.h"

#include "ui/dialogs/backup_page_widget.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/string_uses.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/channel_choice_panel.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/info_pages_widget.h"
#include "ui/dialogs/log_pages_widget.h"
#include "ui/dialogs/search_sub_tabs.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

using app::SearchTab;

constexpr std::uint16_t kTitleText = app::stringNumber("remote search: title");
constexpr std::uint16_t kFirstTabText = app::stringNumber("remote search: tabs");
constexpr std::uint16_t kCloseText = app::stringNumber("remote search: close");
constexpr std::uint16_t kWaitingText = app::stringNumber("remote search: waiting");
constexpr std::uint16_t kUnavailableText = app::stringNumber("remote search: page not available");
constexpr std::uint16_t kDateLabel = app::stringNumber("date and time search: labels", 0);
constexpr std::uint16_t kTimeLabel = app::stringNumber("date and time search: labels", 1);
constexpr std::uint16_t kPlayText = app::stringNumber("play");
constexpr std::uint16_t kOkText = app::stringNumber("ok");
constexpr std::uint16_t kCancelText = app::stringNumber("cancel");

// The waiting text's colour: 0xD7D700 as the recorder's tools write colours
// (blue, green, red from the high byte down).
constexpr QRgb kWaitingColour = qRgb(0x00, 0xD7, 0xD7);

constexpr int kTabFaces[] = {skin::kTabSearch, skin::kTabBackup, skin::kTabLog, skin::kTabInfo};
const char* const kTabNames[] = {"tab-search", "tab-backup", "tab-log", "tab-info"};
enum SearchPanel { kDateTimePanel = 0, kChannelPanel = 1, kBlankPanel = 2 };

SkinButton* makeButton(int control, int face, const QString& caption, const char* name, QWidget* parent) {
    auto* b = new SkinButton(control, face, caption, parent);
    applySkin(*b, SkinFont::Bold);
    b->setObjectName(QLatin1String(name));
    return b;
}

QComboBox* makeList(QWidget* parent, int first, int last, int width, bool two_digits) {
    auto* list = new QComboBox(parent);
    applySkin(*list);
    for (int v = first; v <= last; ++v)
        list->addItem(two_digits ? QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')) : QString::number(v));
    list->setFixedWidth(width);
    return list;
}

}  // namespace

RemoteSearchDialog::RemoteSearchDialog(RemoteSearchDeps deps, QWidget* parent)
    : SkinDialog(parent, skin::kSearchDialog),
      deps_(std::move(deps)),
      hub_(app::RemoteSearchSetup{deps_.requests, deps_.playback, *this, deps_.identity, deps_.permitted_channels,
                                  deps_.date_format,
                                  deps_.current_year != 0 ? deps_.current_year : QDate::currentDate().year()}),
      last_year_(std::max(app::kLastDefaultYear, deps_.current_year != 0 ? deps_.current_year : QDate::currentDate().year())) {
    setTitle(operatorText(kTitleText));
    setFixedSize(kWidth, kHeight);
    setOpacityByte(deps_.opacity);
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);

    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        auto* b = makeButton(430 + static_cast<int>(i), kTabFaces[i],
                             operatorText(static_cast<std::uint16_t>(kFirstTabText + i)), kTabNames[i], this);
        b->setGeometry(kPageRect.x() + static_cast<int>(i) * 104, 40, 96, 26);
        connect(b, &SkinButton::clicked, this, [this, i] { hub_.chooseTab(static_cast<SearchTab>(i)); });
        tabs_[i] = b;
    }
    stack_ = new QStackedWidget(this);
    stack_->setGeometry(kPageRect);

    auto* ok = makeButton(1, skin::kSmallButton, operatorText(kOkText), "ok", this);
    auto* cancel = makeButton(436, skin::kSmallButton, operatorText(kCancelText), "cancel", this);
    auto* close = makeButton(435, skin::kSmallButton, operatorText(kCloseText), "close", this);
    int x = kWidth - 3 * 72 - 16;
    for (SkinButton* b : {ok, cancel, close}) {
        b->setGeometry(x, kHeight - 32, 64, 22);
        x += 72;
    }
    connect(ok, &SkinButton::clicked, this, [this] { hub_.close(); });
    connect(close, &SkinButton::clicked, this, [this] { hub_.close(); });
    connect(cancel, &SkinButton::clicked, this, [this] { hub_.cancel(); });

    waiting_ = new SkinStatic(operatorText(kWaitingText), this, SkinFont::Bold);
    waiting_->setObjectName(QStringLiteral("waiting"));
    waiting_->setAlignment(Qt::AlignCenter);
    waiting_->setGeometry(kPageRect);
    QPalette palette = waiting_->palette();
    palette.setColor(QPalette::WindowText, QColor(kWaitingColour));
    waiting_->setPalette(palette);
    waiting_->setAttribute(Qt::WA_TransparentForMouseEvents);

    stateChanged();
}

RemoteSearchDialog::~RemoteSearchDialog() {
    // The hub goes with the dialog; its windows must not outlive it.
    for (QWidget* w : {static_cast<QWidget*>(calendar_.data()), static_cast<QWidget*>(timeline_.data()),
                       static_cast<QWidget*>(events_.data())})
        delete w;
}

CalendarDialog* RemoteSearchDialog::calendar() const { return calendar_.data(); }
DayTimelineDialog* RemoteSearchDialog::timeline() const { return timeline_.data(); }
EventListDialog* RemoteSearchDialog::eventList() const { return events_.data(); }

void RemoteSearchDialog::handle(const session::Event& event) {
    if (const auto* answer = std::get_if<session::SearchAnswer>(&event)) return hub_.onAnswer(*answer);
    if (const auto* post = std::get_if<session::WindowPost>(&event)) return hub_.onWindowPost(*post);
    if (const auto* log = std::get_if<session::LogAnswer>(&event)) {
        if (log_page_ != nullptr) log_page_->onLogAnswer(*log);
        return;
    }
    if (const auto* status = std::get_if<session::StatusAnswer>(&event)) {
        if (info_page_ != nullptr) info_page_->onStatusAnswer(*status);
        return;
    }
    if (const auto* size = std::get_if<session::DownloadSize>(&event); size && backup_page_ != nullptr)
        backup_page_->onSize(*size);
}

QWidget* RemoteSearchDialog::buildBackupPage() {
    const auto folder = deps_.download_folder;
    BackupPageDeps deps{*deps_.backup, deps_.requests};
    deps.channel_count = deps_.identity.channel_num;
    deps.permitted_channels = deps_.permitted_channels;
    deps.date_format = deps_.date_format;
    deps.current_year = deps_.current_year != 0 ? deps_.current_year : QDate::currentDate().year();
    deps.opacity = deps_.opacity;
    deps.notice = [this](session::Notice n) { emit noticeRequested(n); };
    deps.free_mib = [folder] { return app::freeMiB(folder); };
    backup_page_ = new BackupPageWidget(std::move(deps));
    backup_page_->setObjectName("backup-page");
    hub_.setBackupSearch(&backup_page_->search());
    connect(backup_page_, &BackupPageWidget::searchStateChanged, this, [this] { stateChanged(); });
    // "Backup" closes the search window; the progress window follows the transfer.
    connect(backup_page_, &BackupPageWidget::backupStarted, this, [this] { hub_.close(); });
    return backup_page_;
}

void RemoteSearchDialog::reject() { hub_.close(); }

// ---------------------------------------------------------------- view

void RemoteSearchDialog::stateChanged() {
    const auto chosen = static_cast<std::size_t>(hub_.tab());
    if (pages_[chosen] == nullptr) {
        switch (hub_.tab()) {
        case SearchTab::Search: pages_[chosen] = buildSearchPage(); break;
        case SearchTab::Log: pages_[chosen] = buildLogPage(); break;
        case SearchTab::Info: pages_[chosen] = buildInfoPage(); break;
        case SearchTab::Backup:
            pages_[chosen] = deps_.backup != nullptr ? buildBackupPage() : buildUnavailablePage();
            break;
        default: pages_[chosen] = buildUnavailablePage(); break;
        }
        stack_->addWidget(pages_[chosen]);
    }
    stack_->setCurrentWidget(pages_[chosen]);
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        tabs_[i]->setEnabled(hub_.tabEnabled(static_cast<SearchTab>(i)));
        tabs_[i]->setShownPressed(i == chosen);
    }
    waiting_->setVisible(hub_.waiting());
    waiting_->raise();
    // The Search page's windows stand over the page area: they go with
    // their page.
    if (hub_.tab() != SearchTab::Search) {
        if (timeline_) timeline_->hide();
        if (calendar_) calendar_->hide();
        if (events_) events_->hide();
    }
    if (events_) events_->refresh();
    if (calendar_) calendar_->refresh();
}

void RemoteSearchDialog::openCalendar() {
    if (!calendar_) {
        calendar_ = new CalendarDialog(hub_, this);
        calendar_->setOpacityByte(deps_.opacity);
        calendar_->move(mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
    }
    calendar_->refresh();
    calendar_->show();
    calendar_->raise();
}

void RemoteSearchDialog::openTimeline() {
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

void RemoteSearchDialog::closeTimeline(std::chrono::milliseconds after) {
    if (!timeline_) return;
    QTimer::singleShot(after, timeline_.data(), [timeline = timeline_] {
        if (timeline) timeline->finish();
    });
}

void RemoteSearchDialog::openEventList() {
    if (!events_) {
        events_ = new EventListDialog(hub_, this, kPlayText);
        events_->setOpacityByte(deps_.opacity);
        events_->move(mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
    }
    events_->refresh();
    events_->show();
    events_->raise();
}

void RemoteSearchDialog::showNotice(session::Notice notice) { emit noticeRequested(notice); }

void RemoteSearchDialog::closeDialog() {
    if (ending_) return;
    ending_ = true;
    if (timeline_) timeline_->finish();
    if (calendar_) calendar_->close();
    if (events_) events_->close();
    done(QDialog::Rejected);
    close();
}

// ---------------------------------------------------------------- pages

QWidget* RemoteSearchDialog::buildUnavailablePage() {
    auto* page = new QWidget;
    auto* text = new SkinStatic(operatorText(kUnavailableText), page, SkinFont::Bold);
    text->setObjectName(QStringLiteral("unavailable"));
    text->setAlignment(Qt::AlignCenter);
    auto* column = new QVBoxLayout(page);
    column->addWidget(text);
    return page;
}

QWidget* RemoteSearchDialog::buildLogPage() {
    LogTabDeps deps;
    deps.request_log = [this] { deps_.requests.requestLog(); };
    deps.local_player_running = [this] { return deps_.playback.localPlaybackActive(); };
    deps.play = [this](const session::PlayStart& start) { return hub_.playLogEntry(start); };
    deps.date_format = deps_.date_format;
    log_page_ = new LogTabPage(std::move(deps));
    return log_page_;
}

QWidget* RemoteSearchDialog::buildInfoPage() {
    InfoTabDeps deps;
    deps.request_status = [this] { deps_.requests.requestStatus(); };
    deps.system.address = deps_.address;
    deps.system.port = deps_.port;
    deps.system.description = deps_.description;
    deps.system.identity = deps_.identity;
    deps.channels = deps_.identity.channel_num;
    info_page_ = new InfoTabPage(std::move(deps));
    return info_page_;
}

QWidget* RemoteSearchDialog::buildSearchPage() {
    auto* page = new QWidget;
    auto* subs = new SearchSubTabs(QStringLiteral("sub-"), page);
    search_panels_ = new QStackedWidget(page);
    search_panels_->addWidget(buildDateTimePanel());
    auto* channels = new ChannelChoicePanel(deps_.identity.channel_num, hub_.channelMask(), QStringLiteral("channel-"));
    connect(channels, &ChannelChoicePanel::maskChanged, this, [this](std::uint32_t mask) { hub_.setChannelMask(mask); });
    search_panels_->addWidget(channels);
    search_panels_->addWidget(new QWidget);
    connect(subs, &SearchSubTabs::chosen, this, [this, subs](SubTab tab) {
        if (hub_.pending()) return;
        const int panels[] = {kDateTimePanel, kBlankPanel, kBlankPanel, kChannelPanel};
        search_panels_->setCurrentIndex(panels[static_cast<int>(tab)]);
        subs->setPressed(tab);
        if (tab == SubTab::Event) hub_.openEventSearch();
        if (tab == SubTab::Calendar) hub_.openCalendarSearch();
    });
    search_panels_->setCurrentIndex(kDateTimePanel);
    subs->setPressed(SubTab::DateTime);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(subs);
    column->addSpacing(12);
    column->addWidget(search_panels_, 1);
    return page;
}

QWidget* RemoteSearchDialog::buildDateTimePanel() {
    auto* panel = new QWidget;
    year_ = makeList(panel, app::kFirstListedYear, last_year_, 70, false);
    month_ = makeList(panel, 1, 12, 50, true);
    day_ = makeList(panel, 1, 31, 50, true);
    year_->setObjectName(QStringLiteral("year"));
    month_->setObjectName(QStringLiteral("month"));
    day_->setObjectName(QStringLiteral("day"));
    connect(year_, &QComboBox::activated, this, [this] { refreshDays(); });
    connect(month_, &QComboBox::activated, this, [this] { refreshDays(); });
    const char* const clock_names[] = {"hour", "minute", "second"};
    const int clock_last[] = {23, 59, 59};
    for (std::size_t i = 0; i < clock_.size(); ++i) {
        clock_[i] = makeList(panel, 0, clock_last[i], 50, true);
        clock_[i]->setObjectName(QLatin1String(clock_names[i]));
    }

    auto* date_row = new QHBoxLayout;
    date_row->addWidget(new SkinStatic(operatorText(kDateLabel), panel));
    std::array<QComboBox*, 3> order{year_, month_, day_};
    if (deps_.date_format == app::DateFormat::MonthDayYear) order = {month_, day_, year_};
    if (deps_.date_format == app::DateFormat::DayMonthYear) order = {day_, month_, year_};
    for (QComboBox* list : order) date_row->addWidget(list);
    date_row->addStretch();
    auto* time_row = new QHBoxLayout;
    time_row->addWidget(new SkinStatic(operatorText(kTimeLabel), panel));
    for (QComboBox* list : clock_) time_row->addWidget(list);
    time_row->addStretch();

    auto* play = makeButton(0, skin::kSmallButton, operatorText(kPlayText), "datetime-play", panel);
    play->setFixedSize(64, 22);
    connect(play, &SkinButton::clicked, this, &RemoteSearchDialog::playDateTime);

    auto* grid = new QVBoxLayout(panel);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setSpacing(14);
    grid->addLayout(date_row);
    grid->addLayout(time_row);
    grid->addWidget(play, 0, Qt::AlignLeft);
    grid->addStretch();

    const QDate today = QDate::currentDate();
    setDateTime({std::clamp(today.year(), app::kFirstListedYear, last_year_), today.month() - 1, today.day() - 1}, 0);
    return panel;
}

void RemoteSearchDialog::setDateTime(const app::CalendarDate& date, int second_of_day) {
    if (year_ == nullptr) return;
    year_->setCurrentIndex(date.year - app::kFirstListedYear);
    month_->setCurrentIndex(date.month0);
    refreshDays();
    day_->setCurrentIndex(std::min(date.day0, day_->count() - 1));
    const int parts[] = {second_of_day / 3600, second_of_day % 3600 / 60, second_of_day % 60};
    for (std::size_t i = 0; i < clock_.size(); ++i) clock_[i]->setCurrentIndex(parts[i]);
}

// The day list follows the month's length, so no date past its end can be
// chosen.
void RemoteSearchDialog::refreshDays() {
    const int length = app::monthLength(app::kFirstListedYear + year_->currentIndex(), month_->currentIndex());
    const int keep = std::min(std::max(day_->currentIndex(), 0), length - 1);
    while (day_->count() > length) day_->removeItem(day_->count() - 1);
    while (day_->count() < length) day_->addItem(QStringLiteral("%1").arg(day_->count() + 1, 2, 10, QLatin1Char('0')));
    day_->setCurrentIndex(keep);
}

void RemoteSearchDialog::playDateTime() {
    if (hub_.pending()) return;
    const app::CalendarDate date{app::kFirstListedYear + year_->currentIndex(), month_->currentIndex(),
                                 day_->currentIndex()};
    hub_.playDateTime(date, clock_[0]->currentIndex() * 3600 + clock_[1]->currentIndex() * 60 + clock_[2]->currentIndex());
}

}  // namespace kalix::ui
