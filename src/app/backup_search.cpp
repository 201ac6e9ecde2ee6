#include "app/backup_search.h"

namespace kalix::app {

void BackupSearch::openCalendarSearch() {
    if (pending_) return;
    if (calendar_) return setup_.view.openCalendar();
    pending_ = true;
    setup_.requests.backupMonth();
    setup_.view.stateChanged();
}

void BackupSearch::openEventSearch() {
    if (pending_) return;
    if (events_) return setup_.view.openEventList();
    askEvents(kEventKinds[0], 0);
}

void BackupSearch::askEvents(std::uint8_t kind, std::uint32_t page) {
    pending_ = true;
    awaiting_events_ = true;
    event_page_asked_ = page;
    setup_.searches.searchEvents(kind, page);
    setup_.view.stateChanged();
}

// ---------------------------------------------------------------- calendar

void BackupSearch::chooseYear(int index) {
    if (calendar_) calendar_->chooseYear(index);
}

bool BackupSearch::chooseMonth(int month0) { return calendar_ && calendar_->chooseMonth(month0, pending_); }

void BackupSearch::chooseDay(int day0) {
    if (!calendar_) return;
    const auto date = calendar_->chooseDay(day0, pending_);
    if (!date) return;
    pending_ = true;
    setup_.requests.backupDay(date->year, date->month0 + 1, date->day0 + 1);
    setup_.view.stateChanged();
}

// ---------------------------------------------------------------- choices

void BackupSearch::playTimeline() {
    if (!timeline_) return;
    const auto span = timeline_->windowSpan();
    if (!span) return;
    setup_.page.setTimeRange(span->start, span->end);
    setup_.view.rangeChosen();
}

void BackupSearch::timelineBack() {
    if (calendar_) setup_.view.openCalendar();
    setup_.view.closeTimeline();
}

void BackupSearch::chooseEventKind(std::uint8_t kind) {
    if (!events_ || !events_->chooseKind(kind, pending_)) return;
    askEvents(kind, 0);
    setup_.view.openEventList();
}

void BackupSearch::eventPage(int step) {
    if (!events_ || pending_) return;
    const auto page = step > 0 ? events_->nextPage() : events_->previousPage();
    if (page) askEvents(events_->kind(), *page);
}

void BackupSearch::playEvent(std::size_t row) {
    if (!events_) return;
    const auto event = events_->playAt(row, setup_.page.range().channels);
    if (!event) return;
    setup_.page.setEvent(event->event_kind, event->time);
    setup_.view.rangeChosen();
}

// ---------------------------------------------------------------- answers

bool BackupSearch::takes(const session::SearchAnswer& answer) const {
    if (answer.backup) return true;
    const bool events = answer.kind == session::SearchKind::Events || answer.kind == session::SearchKind::EventPage;
    return events && awaiting_events_;
}

void BackupSearch::onAnswer(const session::SearchAnswer& answer) {
    if (!takes(answer)) return;
    pending_ = false;
    switch (answer.kind) {
        case session::SearchKind::Month: onMonth(answer); break;
        case session::SearchKind::Day: onDay(answer); break;
        case session::SearchKind::Events:
        case session::SearchKind::EventPage: onEvents(answer); break;
    }
    setup_.view.stateChanged();
}

// A refusal's notice comes from the session; a month with nothing recorded
// arrives as an empty table and says so here.
void BackupSearch::onMonth(const session::SearchAnswer& answer) {
    if (answer.refused || calendar_) return;
    RecordingCalendar calendar{MonthTable(answer.records)};
    if (!calendar.open(setup_.current_year)) {
        setup_.view.showNotice(session::Notice::of(session::NoticeKind::NoRecordedData, 0, session::Owner::RemoteSearch));
        return;
    }
    calendar_ = std::move(calendar);
    setup_.view.openCalendar();
}

void BackupSearch::onDay(const session::SearchAnswer& answer) {
    if (answer.refused || !calendar_) return;
    if (answer.records.empty()) {
        setup_.view.showNotice(session::Notice::of(session::NoticeKind::NoRecordedData, 0, session::Owner::RemoteSearch));
        return;
    }
    timeline_.emplace(calendar_->date(), parseDayRecords(answer.records), setup_.permitted_channels);
    setup_.view.openTimeline();
}

void BackupSearch::onEvents(const session::SearchAnswer& answer) {
    awaiting_events_ = false;
    if (!events_) events_.emplace(setup_.date_format);
    std::optional<RemoteEventList::Page> page;
    if (answer.kind == session::SearchKind::EventPage) page = RemoteEventList::Page{event_page_asked_, answer.word2};
    events_->setAnswer(answer.records, page);
    setup_.view.openEventList();
}

}  // namespace kalix::app
