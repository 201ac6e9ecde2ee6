#pragma once
// What the result windows of a search (the month calendar, the day
// timeline, the event list) read and forward. The Search page's hub and
// the Backup page's search each provide them, so the same windows serve
// both pages; only what the windows' action button does differs (Play on
// the Search page, OK taking the choice as the backup's range on the
// Backup page).
//
// All calls come from the user-interface thread.

#include <cstddef>
#include <cstdint>

#include "app/day_timeline.h"
#include "app/local_settings.h"
#include "app/recording_calendar.h"
#include "app/remote_event_list.h"

namespace kalix::app {

// The month calendar's content and choices.
class CalendarWindowModel {
public:
    virtual ~CalendarWindowModel() = default;
    virtual const RecordingCalendar* calendar() const = 0;
    // The open day timeline, to show its day pressed.
    virtual DayTimeline* timeline() = 0;
    virtual void chooseYear(int index) = 0;
    // True when the calendar changed.
    virtual bool chooseMonth(int month0) = 0;
    virtual void chooseDay(int day0) = 0;
};

// The day timeline's content and its two buttons.
class TimelineWindowModel {
public:
    virtual ~TimelineWindowModel() = default;
    virtual DayTimeline* timeline() = 0;
    virtual DateFormat dateFormat() const = 0;
    virtual void playTimeline() = 0;  // the action button
    virtual void timelineBack() = 0;
    virtual bool timelinePlayEnabled() const = 0;
};

// The event list's content, tabs, pages and action button.
class EventWindowModel {
public:
    virtual ~EventWindowModel() = default;
    virtual const RemoteEventList* eventList() const = 0;
    virtual bool pending() const = 0;
    virtual void chooseEventKind(std::uint8_t kind) = 0;
    virtual void eventPage(int step) = 0;  // +1 next, -1 previous
    virtual void playEvent(std::size_t row) = 0;
};

}  // namespace kalix::app
