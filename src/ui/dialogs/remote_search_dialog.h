#pragma once
// The remote search dialog: the hub of the recorder's recordings, with the
// tabs Search, Backup, Log and Info along the top, the page of the chosen
// tab in the middle and OK, Cancel and Close below. The Search page has the
// sub-tabs Date/Time (a date and a time to play from), Event (the event
// list), Calendar (the month calendar, then the day timeline) and Select
// Channel. The Backup page picks a range (with the same sub-tabs and
// result windows of its own, BackupPageWidget) and downloads it. The Log
// page lists the recorder's log (LogTabPage), the Info page its system and
// status information (InfoTabPage).
//
// What the controls do lives in app::RemoteSearchHub; this dialog renders
// its state, opens the result windows it asks for and forwards the
// session's answers to it. It is application-modal; the result windows are
// its children, so they take input while it is up.
//
// Object names for tests and screenshots: "tab-search", "tab-backup",
// "tab-log", "tab-info", "close", "cancel", "ok", "sub-datetime",
// "sub-event", "sub-calendar", "sub-channels", "waiting", "unavailable",
// "backup-page" (the Backup page, see backup_page_widget.h),
// "datetime-play", "channel-N".

#include <QPointer>

#include <array>
#include <memory>

#include "app/backup_page.h"
#include "app/remote_search.h"
#include "ui/skin/skin_dialog.h"

class QComboBox;
class QStackedWidget;

namespace kalix::ui {

class CalendarDialog;
class DayTimelineDialog;
class EventListDialog;
class InfoTabPage;
class LogTabPage;
class SkinButton;
class SkinStatic;
class BackupPageWidget;

struct RemoteSearchDeps {
    app::SearchRequests& requests;
    app::RemotePlayStarter& playback;
    session::RecorderIdentity identity;
    std::uint32_t permitted_channels = 0xFFFF;
    app::DateFormat date_format = app::DateFormat::YearMonthDay;
    int current_year = 0;  // 0: the PC's
    std::uint8_t opacity = 255;
    // For the System Info page.
    std::string address{};
    std::uint16_t port = 0;
    std::string description{};
    // The Backup page's requests and the folder whose free space it checks;
    // without them the page is not available.
    app::BackupRequests* backup = nullptr;
    std::filesystem::path download_folder{};
};

class RemoteSearchDialog final : public SkinDialog, private app::RemoteSearchView {
    Q_OBJECT

public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 540;
    static constexpr QRect kPageRect{194, 78, 410, 424};  // (194, 78) - (603, 501)

    explicit RemoteSearchDialog(RemoteSearchDeps deps, QWidget* parent = nullptr);
    ~RemoteSearchDialog() override;

    app::RemoteSearchHub& hub() { return hub_; }
    // The session's answers and window messages, on the UI thread.
    void handle(const session::Event& event);

    // The result windows; null until opened.
    CalendarDialog* calendar() const;
    DayTimelineDialog* timeline() const;
    EventListDialog* eventList() const;
    // The page widget of a tab; null until first chosen.
    QWidget* page(app::SearchTab tab) const { return pages_[static_cast<std::size_t>(tab)]; }

    BackupPageWidget* backupPage() const { return backup_page_; }

    // Date/Time page: the chosen date and time (the lists follow the date
    // format).
    void setDateTime(const app::CalendarDate& date, int second_of_day);

    void reject() override;  // Escape and the window's close: as Close

signals:
    // The operator's notice of the dialog (no recorded data).
    void noticeRequested(kalix::session::Notice notice);

private:
    // -- RemoteSearchView --
    void stateChanged() override;
    void openCalendar() override;
    void openTimeline() override;
    void closeTimeline(std::chrono::milliseconds after) override;
    void openEventList() override;
    void showNotice(session::Notice notice) override;
    void closeDialog() override;

    QWidget* buildSearchPage();
    QWidget* buildUnavailablePage();
    QWidget* buildLogPage();
    QWidget* buildInfoPage();
    QWidget* buildBackupPage();
    QWidget* buildDateTimePanel();
    void refreshDays();
    void playDateTime();

    RemoteSearchDeps deps_;
    app::RemoteSearchHub hub_;
    int last_year_;
    std::array<SkinButton*, app::kSearchTabs> tabs_{};
    std::array<QWidget*, app::kSearchTabs> pages_{};
    QStackedWidget* stack_ = nullptr;
    LogTabPage* log_page_ = nullptr;
    InfoTabPage* info_page_ = nullptr;
    QStackedWidget* search_panels_ = nullptr;
    SkinStatic* waiting_ = nullptr;
    QComboBox* year_ = nullptr;
    QComboBox* month_ = nullptr;
    QComboBox* day_ = nullptr;
    std::array<QComboBox*, 3> clock_{};
    QPointer<CalendarDialog> calendar_;
    QPointer<DayTimelineDialog> timeline_;
    QPointer<EventListDialog> events_;
    BackupPageWidget* backup_page_ = nullptr;
    bool ending_ = false;
};

}  // namespace kalix::ui
