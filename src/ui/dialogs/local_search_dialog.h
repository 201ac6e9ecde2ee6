#pragma once
// The local search: the recordings of the archive pairs in the Download
// folder, with the tabs Date/Time (a moment to play from), Event (the event
// list), Calendar (the month calendar, then the day timeline), Bookmarks
// (the bookmark list) and Export (MP4 files of a time range). The calendar,
// timeline and event windows are the remote search's own, driven by the same
// hub; here the hub's searches are answered from the local catalogue and its
// play choices start local playback through `start_local_playback`.
//
// Object names: "tab-datetime", "tab-event", "tab-calendar",
// "tab-bookmarks", "tab-export", "datetime", "datetime-play", "close",
// "open-export".

#include <QPointer>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/local_search.h"
#include "ui/dialogs/bookmark_page.h"
#include "ui/skin/skin_dialog.h"

class QDateTimeEdit;
class QStackedWidget;

namespace kalix::ui {

class CalendarDialog;
class DayTimelineDialog;
class EventListDialog;
class ExportDialog;
class SkinButton;

struct LocalSearchDeps {
    std::filesystem::path location;        // the storage location (bookmarks under Log)
    std::filesystem::path archive_folder;  // its Download folder (or the CD's)
    app::DateFormat date_format = app::DateFormat::YearMonthDay;
    int current_year = 0;  // 0: the PC's
    std::uint8_t opacity = 255;
    // "Start local playback at t": true when it started.
    std::function<bool(protocol::RecorderTime)> start_local_playback;
    // Where local playback stands, for a new bookmark; none without playback.
    std::function<std::optional<PlaybackMoment>()> playback_moment;
};

enum class LocalSearchTab : std::uint8_t { DateTime, Event, Calendar, Bookmarks, Export };

class LocalSearchDialog final : public SkinDialog, private app::RemoteSearchView {
    Q_OBJECT

public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 540;
    static constexpr QRect kPageRect{140, 78, 520, 424};

    explicit LocalSearchDialog(LocalSearchDeps deps, QWidget* parent = nullptr);
    ~LocalSearchDialog() override;

    void chooseTab(LocalSearchTab tab);
    app::RemoteSearchHub& hub() { return hub_; }
    const archive::LocalCatalogue& catalogue() const { return catalogue_; }
    CalendarDialog* calendar() const;
    DayTimelineDialog* timeline() const;
    EventListDialog* eventList() const;
    BookmarkPage* bookmarks() const { return bookmarks_; }
    ExportDialog* exportDialog() const;
    ExportDialog* openExport();

    void reject() override;

signals:
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

    QWidget* buildDateTimePage();
    QWidget* buildExportPage();
    bool play(protocol::RecorderTime t);

    LocalSearchDeps deps_;
    archive::LocalCatalogue catalogue_;
    app::LocalSearchRequests requests_;
    app::LocalPlayStarter starter_;
    app::RemoteSearchHub hub_;
    std::array<SkinButton*, 5> tabs_{};
    QStackedWidget* stack_ = nullptr;
    QDateTimeEdit* moment_ = nullptr;
    BookmarkPage* bookmarks_ = nullptr;
    QPointer<CalendarDialog> calendar_;
    QPointer<DayTimelineDialog> timeline_;
    QPointer<EventListDialog> events_;
    QPointer<ExportDialog> export_;
    bool ending_ = false;
};

}  // namespace kalix::ui
