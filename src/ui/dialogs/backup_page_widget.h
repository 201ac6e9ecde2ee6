#pragma once
// The Backup tab's page: the sub-tabs Date/Time (a start and an end date
// and time on the recorder's clock), Event (the event list; OK takes the
// event's first minute), Calendar (the backup calendar, then its day
// timeline; OK takes the stretch the timeline shows) and Select Channel,
// the range chosen, "Calculate" with the size the recorder answers, and
// "Backup". What the controls do lives in app::BackupPage and
// app::BackupSearch; the calendar, timeline and event list are the Search
// page's windows over this page's model.
//
// Object names for tests and screenshots: "backup-sub-datetime",
// "backup-sub-event", "backup-sub-calendar", "backup-sub-channels",
// "backup-from", "backup-to", "backup-channel-N", "backup-range",
// "calculate", "capacity", "backup".

#include <QPointer>
#include <QWidget>

#include <functional>

#include "app/backup_page.h"
#include "app/backup_search.h"

class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace kalix::ui {

class CalendarDialog;
class DayTimelineDialog;
class EventListDialog;
class SearchSubTabs;
enum class SubTab : int;

struct BackupPageDeps {
    app::BackupRequests& requests;
    app::SearchRequests& searches;  // the event list
    int channel_count = 0;
    std::uint32_t permitted_channels = 0xFFFF;
    app::DateFormat date_format = app::DateFormat::YearMonthDay;
    int current_year = 2025;
    std::uint8_t opacity = 255;
    std::function<void(session::Notice)> notice{};
    std::function<std::optional<std::int64_t>()> free_mib{};
};

class BackupPageWidget final : public QWidget, private app::BackupSearchView {
    Q_OBJECT

public:
    explicit BackupPageWidget(BackupPageDeps deps, QWidget* parent = nullptr);
    ~BackupPageWidget() override;

    app::BackupPage& model() { return model_; }
    app::BackupSearch& search() { return search_; }
    void onSize(const session::DownloadSize& size);
    // The range shown, for the demo and tests.
    void setRange(protocol::RecorderTime from, protocol::RecorderTime to);

    // The result windows; null until opened.
    CalendarDialog* calendar() const;
    DayTimelineDialog* timeline() const;
    EventListDialog* eventList() const;

signals:
    // "Backup" started the transfer: the search window closes.
    void backupStarted();
    // A request went out or its answer came: the dialog's tabs and waiting
    // text follow.
    void searchStateChanged();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    // -- BackupSearchView --
    void stateChanged() override;
    void openCalendar() override;
    void openTimeline() override;
    void closeTimeline() override;
    void openEventList() override;
    void rangeChosen() override;
    void showNotice(session::Notice notice) override;

    QWidget* buildDateTimePanel();
    void chooseSubTab(SubTab tab);
    void placeWindow(QWidget& window);
    void showRange();
    void refresh();

    BackupPageDeps deps_;
    app::BackupPage model_;
    app::BackupSearch search_;
    SearchSubTabs* subs_ = nullptr;
    QStackedWidget* panels_ = nullptr;
    QDateTimeEdit* from_ = nullptr;
    QDateTimeEdit* to_ = nullptr;
    QLabel* range_ = nullptr;
    QPushButton* calculate_ = nullptr;
    QLabel* capacity_ = nullptr;
    QPushButton* backup_ = nullptr;
    QPointer<CalendarDialog> calendar_;
    QPointer<DayTimelineDialog> timeline_;
    QPointer<EventListDialog> events_;
};

// The download's progress window: a bar from 0 to the expected KiB and
// "Stop". Object names "download-progress", "progress-bar", "stop".
class DownloadProgressWindow final : public QWidget {
    Q_OBJECT

public:
    explicit DownloadProgressWindow(QWidget* parent = nullptr);
    void show(const app::DownloadProgress& progress);

signals:
    void stopPressed();

private:
    QProgressBar* bar_ = nullptr;
    QLabel* text_ = nullptr;
};

}  // namespace kalix::ui
