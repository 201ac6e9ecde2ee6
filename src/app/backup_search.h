#pragma once
// The Backup page's searches: the backup calendar (TRANS_INFO_MONTH when
// it opens, TRANS_INFO_DAY for a chosen day), its day timeline and the
// event list. Their OK buttons hand the choice to the page as its range:
// the timeline's visible stretch with every recording kind, or an event's
// first minute with that event's kind.
//
// As on the Search page, a request is pending from its send until its one
// answer (also an empty or refused one), and the dialog's tabs wait
// meanwhile. The backup calendar's answers come marked backup; an event
// answer belongs here only while this page waits for one, so the two
// pages' windows never take each other's answers.
//
// Everything here runs on the user-interface thread.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/backup_page.h"
#include "app/remote_search.h"
#include "app/search_windows.h"

namespace kalix::app {

// What the search asks of the Backup page's windows.
class BackupSearchView {
public:
    virtual ~BackupSearchView() = default;
    // The pending flag or the page's range changed: re-read them.
    virtual void stateChanged() = 0;
    virtual void openCalendar() = 0;  // create or show again (calendar())
    virtual void openTimeline() = 0;  // create or refresh (timeline())
    virtual void closeTimeline() = 0;
    virtual void openEventList() = 0;  // create or refresh (eventList())
    // The timeline or the event list set the range: they close, the page
    // shows the range with Calculate.
    virtual void rangeChosen() = 0;
    virtual void showNotice(session::Notice notice) = 0;
};

struct BackupSearchSetup {
    BackupRequests& requests;  // the backup calendar's month and day
    SearchRequests& searches;  // the event list, shared with the Search page
    BackupPage& page;
    BackupSearchView& view;
    // Channels whose recordings the user may see on the timeline.
    std::uint32_t permitted_channels = 0xFFFF;
    DateFormat date_format = DateFormat::YearMonthDay;
    int current_year = 2025;
};

class BackupSearch final : public CalendarWindowModel, public TimelineWindowModel, public EventWindowModel {
public:
    explicit BackupSearch(BackupSearchSetup setup) : setup_(setup) {}

    // The Calendar and Event sub-tabs: ask the recorder, or show the
    // window again when it has answered before.
    void openCalendarSearch();
    void openEventSearch();

    // -- CalendarWindowModel --
    const RecordingCalendar* calendar() const override { return calendar_ ? &*calendar_ : nullptr; }
    DayTimeline* timeline() override { return timeline_ ? &*timeline_ : nullptr; }
    void chooseYear(int index) override;
    bool chooseMonth(int month0) override;
    void chooseDay(int day0) override;

    // -- TimelineWindowModel: OK takes the visible stretch --
    DateFormat dateFormat() const override { return setup_.date_format; }
    void playTimeline() override;
    void timelineBack() override;
    bool timelinePlayEnabled() const override { return true; }

    // -- EventWindowModel: OK takes the event --
    const RemoteEventList* eventList() const override { return events_ ? &*events_ : nullptr; }
    bool pending() const override { return pending_; }
    void chooseEventKind(std::uint8_t kind) override;
    void eventPage(int step) override;
    void playEvent(std::size_t row) override;

    // Whether an answer is this page's: the backup calendar's, or events
    // while this page waits for them.
    bool takes(const session::SearchAnswer& answer) const;
    void onAnswer(const session::SearchAnswer& answer);

private:
    void onMonth(const session::SearchAnswer& answer);
    void onDay(const session::SearchAnswer& answer);
    void onEvents(const session::SearchAnswer& answer);
    void askEvents(std::uint8_t kind, std::uint32_t page);

    BackupSearchSetup setup_;
    bool pending_ = false;
    bool awaiting_events_ = false;
    std::uint32_t event_page_asked_ = 0;
    std::optional<RecordingCalendar> calendar_;
    std::optional<DayTimeline> timeline_;
    std::optional<RemoteEventList> events_;
};

}  // namespace kalix::app
