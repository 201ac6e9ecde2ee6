#pragma once
// The remote search dialog without its widgets: the hub through which the
// operator reaches the recordings on the recorder. It keeps the four tabs
// (Search, Backup, Log, Info), the request-pending flag, the channels that
// searches and playback starts ask for, and the answers' tables; it sends
// the searches, routes every answer to its window (month calendar, day
// timeline, event list) and starts remote playback from the timeline, the
// date-and-time page and the event list through the main window's
// RemotePlayStarter.
//
// Each search request gets exactly one answer from the session, also when
// the recorder has nothing or refuses, so the pending flag always clears:
// an empty month or day tells the operator there is no recorded data
// instead of leaving the dialog waiting.
//
// Everything here runs on the user-interface thread.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/day_timeline.h"
#include "app/local_settings.h"
#include "app/recording_calendar.h"
#include "app/remote_event_list.h"
#include "app/remote_play_state.h"
#include "app/search_windows.h"
#include "session/dvr_session.h"
#include "session/event_sink.h"
#include "session/recorder_identity.h"
#include "session/remote_playback.h"

namespace kalix::app {

class BackupSearch;

// The searches, as the session sends them.
class SearchRequests {
public:
    virtual ~SearchRequests() = default;
    virtual void searchMonth() = 0;
    virtual void searchDay(int year, int month1, int day1) = 0;
    virtual void searchEvents(std::uint32_t kind, std::uint32_t page) = 0;
    // CAPA_CAL_CANCEL: stops a capacity calculation of the backup page.
    virtual void cancelCapacityCalculation() {}
    // The Log and Info pages: LOG_INFO_REQ and STATUS_INFO_REQ.
    virtual void requestLog() {}
    virtual void requestStatus() {}
};

// The session's own searches.
class SessionSearchRequests final : public SearchRequests {
public:
    explicit SessionSearchRequests(session::DvrSession& session) : session_(session) {}
    void searchMonth() override { session_.searchMonth(); }
    void searchDay(int year, int month1, int day1) override { session_.searchDay(year, month1, day1); }
    void searchEvents(std::uint32_t kind, std::uint32_t page) override { session_.searchEvents(kind, page); }
    void requestLog() override { session_.requestLog(); }
    void requestStatus() override { session_.requestStatus(); }
    void cancelCapacityCalculation() override { session_.cancelCapacityCalculation(); }

private:
    session::DvrSession& session_;
};

enum class SearchTab : std::uint8_t { Search, Backup, Log, Info };
inline constexpr std::size_t kSearchTabs = 4;

// What the hub asks of its windows.
class RemoteSearchView {
public:
    virtual ~RemoteSearchView() = default;
    // Tabs, the page shown, the waiting text: re-read the hub's state.
    virtual void stateChanged() = 0;
    // Create or show again the month calendar (hub.calendar() holds it).
    virtual void openCalendar() = 0;
    // Create or refresh the day timeline (hub.timeline()).
    virtual void openTimeline() = 0;
    virtual void closeTimeline(std::chrono::milliseconds after) = 0;
    // Create once, or refresh, the event list (hub.eventList()).
    virtual void openEventList() = 0;
    virtual void showNotice(session::Notice notice) = 0;
    // The dialog ends (every page and result window goes with it).
    virtual void closeDialog() = 0;
};

// The channels of a recorder with `count` channels (bit i = channel i).
std::uint32_t channelsBelow(int count);

// Who may open the remote search (the RSearch button).
enum class RemoteSearchAccess : std::uint8_t { Ignored, Refused, Open };
RemoteSearchAccess remoteSearchAccess(const session::RecorderIdentity* logged_in, bool dialog_open);
// With the user's search and backup rights: recorders of version 1.0 let in
// users holding the search right, later ones the search or the backup right.
RemoteSearchAccess remoteSearchAccess(const session::RecorderIdentity* logged_in, bool dialog_open,
                                      bool search_right, bool backup_right);

struct RemoteSearchSetup {
    SearchRequests& requests;
    RemotePlayStarter& playback;
    RemoteSearchView& view;
    session::RecorderIdentity identity;
    // Channels whose recordings the user may see on the timeline.
    std::uint32_t permitted_channels = 0xFFFF;
    DateFormat date_format = DateFormat::YearMonthDay;
    int current_year = 2025;  // the PC's, in local time
    bool downloading = false;
};

class RemoteSearchHub final : public CalendarWindowModel, public TimelineWindowModel, public EventWindowModel {
public:
    explicit RemoteSearchHub(RemoteSearchSetup setup);

    // Tab buttons 430-433: ignored while a request is pending or the tab is
    // disabled. The Search tab is chosen when the dialog opens.
    void chooseTab(SearchTab tab);
    SearchTab tab() const { return tab_; }
    bool tabEnabled(SearchTab tab) const { return enabled_[index(tab)]; }
    bool pageExists(SearchTab tab) const { return created_[index(tab)]; }

    // The Search page's sub-tabs.
    void openCalendarSearch();
    void openEventSearch();

    // The calendar's choices (the calendar window forwards them).
    void chooseYear(int index) override;
    bool chooseMonth(int month0) override;
    void chooseDay(int day0) override;

    // The timeline's buttons.
    void playTimeline() override;
    void timelineBack() override;
    bool timelinePlayEnabled() const override { return timeline_play_enabled_; }

    // The date-and-time page's Play.
    void playDateTime(const CalendarDate& date, int second_of_day);
    // A log entry's Play: remote playback of the entry's channels from its
    // time; the dialog goes, keeping the remote-play state.
    bool playLogEntry(const session::PlayStart& start);

    // The event list's tabs, pages and Play.
    void chooseEventKind(std::uint8_t kind) override;
    void eventPage(int step) override;
    void playEvent(std::size_t row) override;

    // Select Channel: the channels searches and starts ask for.
    void setChannelMask(std::uint32_t mask) { channel_mask_ = mask & allChannels(); }
    std::uint32_t channelMask() const { return channel_mask_; }
    std::uint32_t allChannels() const;

    // The Backup page's searches, once that page exists: the answers it
    // waits for go to it, and its requests hold the tabs as the hub's own.
    void setBackupSearch(BackupSearch* search) { backup_ = search; }
    // A request of either page is pending: the waiting text shows.
    bool waiting() const;

    // Answers and window messages from the session (on the UI thread).
    void onAnswer(const session::SearchAnswer& answer);
    void onWindowPost(const session::WindowPost& post);

    // Close (435) and Cancel (436).
    void close();
    void cancel();
    bool closed() const { return closed_; }

    bool pending() const override { return pending_; }
    const RecordingCalendar* calendar() const override { return calendar_ ? &*calendar_ : nullptr; }
    DayTimeline* timeline() override { return timeline_ ? &*timeline_ : nullptr; }
    const RemoteEventList* eventList() const override { return events_ ? &*events_ : nullptr; }
    const session::RecorderIdentity& identity() const { return setup_.identity; }
    DateFormat dateFormat() const override { return setup_.date_format; }

private:
    static std::size_t index(SearchTab tab) { return static_cast<std::size_t>(tab); }
    // The channels of an active remote-play state.
    std::optional<std::uint32_t> activePlayMask() const;
    void showTab(SearchTab tab);
    void rightsChanged(std::uint32_t w);
    bool rightsApply() const;
    void finish();
    void notice(session::NoticeKind kind);

    RemoteSearchSetup setup_;
    SearchTab tab_ = SearchTab::Search;
    std::array<bool, kSearchTabs> enabled_{true, true, true, true};
    std::array<bool, kSearchTabs> created_{};
    bool pending_ = false;
    bool closed_ = false;
    std::uint32_t channel_mask_ = 0;
    std::uint32_t event_page_asked_ = 0;
    std::vector<std::uint8_t> month_records_;
    std::vector<std::uint8_t> day_records_;
    std::optional<RecordingCalendar> calendar_;
    std::optional<DayTimeline> timeline_;
    std::optional<RemoteEventList> events_;
    bool timeline_play_enabled_ = true;
    BackupSearch* backup_ = nullptr;
};

}  // namespace kalix::app
