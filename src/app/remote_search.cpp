#include "app/remote_search.h"

#include <algorithm>
#include <utility>

#include "app/backup_search.h"

namespace kalix::app {

namespace {

using namespace std::chrono_literals;

// The timeline closes a moment after Play and Back, once the status strip
// or the calendar is up.
constexpr std::chrono::milliseconds kTimelineCloseDelay = 50ms;
constexpr std::uint8_t kTimeSearchKinds = 0x3F;

}  // namespace

std::uint32_t channelsBelow(int count) {
    count = std::clamp(count, 0, 16);
    return count == 0 ? 0u : (1u << count) - 1u;
}

// Recorders of the first product version know only the account byte: the
// administrator (0) and the search user (2) may search. Later recorders
// decide by the user's search and backup rights, which the session does
// not read yet; until it does, every logged-in user may open the dialog
// and the recorder refuses what the user may not do.
RemoteSearchAccess remoteSearchAccess(const session::RecorderIdentity* logged_in, bool dialog_open) {
    if (logged_in == nullptr || dialog_open) return RemoteSearchAccess::Ignored;
    if (logged_in->product_major == 0 && logged_in->account != 0 && logged_in->account != 2)
        return RemoteSearchAccess::Refused;
    return RemoteSearchAccess::Open;
}

RemoteSearchAccess remoteSearchAccess(const session::RecorderIdentity* logged_in, bool dialog_open,
                                      bool search_right, bool backup_right) {
    if (logged_in == nullptr || dialog_open) return RemoteSearchAccess::Ignored;
    if (logged_in->product_major == 0) return remoteSearchAccess(logged_in, dialog_open);
    const bool allowed = logged_in->product_major == 1 && logged_in->product_minor == 0 ? search_right
                                                                                       : search_right || backup_right;
    return allowed ? RemoteSearchAccess::Open : RemoteSearchAccess::Refused;
}

// The Search page opens with the dialog; the view is not asked yet (it
// may be the one constructing the hub).
RemoteSearchHub::RemoteSearchHub(RemoteSearchSetup setup) : setup_(std::move(setup)) {
    created_[index(SearchTab::Search)] = true;
    channel_mask_ = activePlayMask().value_or(allChannels());
}

std::uint32_t RemoteSearchHub::allChannels() const { return channelsBelow(setup_.identity.channel_num); }

std::optional<std::uint32_t> RemoteSearchHub::activePlayMask() const {
    const RemotePlayState& state = setup_.playback.remotePlayState();
    if (!state.active()) return std::nullopt;
    return state.channelMask();
}

// ---------------------------------------------------------------- tabs

bool RemoteSearchHub::waiting() const { return pending_ || (backup_ != nullptr && backup_->pending()); }

void RemoteSearchHub::chooseTab(SearchTab tab) {
    if (waiting() || closed_ || !tabEnabled(tab)) return;
    showTab(tab);
}

void RemoteSearchHub::showTab(SearchTab tab) {
    if (!created_[index(tab)]) {
        created_[index(tab)] = true;
        // The search follows the channels of a playback in progress; the
        // backup starts from every channel.
        if (tab == SearchTab::Search) channel_mask_ = activePlayMask().value_or(allChannels());
        if (tab == SearchTab::Backup) channel_mask_ = allChannels();
    }
    tab_ = tab;
    setup_.view.stateChanged();
}

void RemoteSearchHub::openCalendarSearch() {
    if (pending_ || closed_) return;
    if (calendar_) return setup_.view.openCalendar();
    month_records_.clear();
    pending_ = true;
    setup_.requests.searchMonth();
    setup_.view.stateChanged();
}

void RemoteSearchHub::openEventSearch() {
    if (pending_ || closed_) return;
    if (events_) return setup_.view.openEventList();
    pending_ = true;
    event_page_asked_ = 0;
    setup_.requests.searchEvents(kEventKinds[0], 0);
    setup_.view.stateChanged();
}

// ---------------------------------------------------------------- calendar

void RemoteSearchHub::chooseYear(int index) {
    if (calendar_) calendar_->chooseYear(index);
}

bool RemoteSearchHub::chooseMonth(int month0) { return calendar_ && calendar_->chooseMonth(month0, pending_); }

void RemoteSearchHub::chooseDay(int day0) {
    if (!calendar_ || closed_) return;
    const auto date = calendar_->chooseDay(day0, pending_);
    if (!date) return;
    day_records_.clear();
    pending_ = true;
    setup_.requests.searchDay(date->year, date->month0 + 1, date->day0 + 1);
    setup_.playback.clearRemotePlayState();
    setup_.view.stateChanged();
}

// ---------------------------------------------------------------- playback starts

void RemoteSearchHub::playTimeline() {
    if (!timeline_ || closed_ || setup_.playback.localPlaybackActive()) return;
    const auto start = timeline_->startTime();
    if (!start) return;
    session::PlayStart request{channel_mask_, 0, *start};
    RemotePlayInit init{PlayOrigin::Timeline, *start, channel_mask_, {}, {}};
    if (!month_records_.empty()) {
        init.month_copy = month_records_;
        init.day_copy = day_records_;
    }
    // Refused (a start still pending, the session gone): the timeline stays.
    if (!setup_.playback.startRemotePlayback(request, std::move(init))) return;
    setup_.view.closeTimeline(kTimelineCloseDelay);
}

void RemoteSearchHub::timelineBack() {
    if (closed_) return;
    if (calendar_) setup_.view.openCalendar();
    setup_.view.closeTimeline(kTimelineCloseDelay);
}

void RemoteSearchHub::playDateTime(const CalendarDate& date, int second_of_day) {
    if (closed_ || setup_.playback.localPlaybackActive()) return;
    if (date.day0 < 0 || date.day0 >= monthLength(date.year, date.month0)) return;
    const auto start = recorderTimeOf(date, std::clamp(second_of_day, 0, kSecondsPerDay - 1));
    if (!start) return;
    if (!setup_.playback.startRemotePlayback(session::PlayStart{channel_mask_, kTimeSearchKinds, *start},
                                             RemotePlayInit{PlayOrigin::TimeSearch, *start, channel_mask_, {}, {}}))
        return;
    // The dialog goes at once, keeping the remote-play state just set up
    // (Close would clear it: the wall shows no playback before the
    // recorder's answer).
    finish();
}

bool RemoteSearchHub::playLogEntry(const session::PlayStart& start) {
    if (closed_ || setup_.playback.localPlaybackActive()) return false;
    if (!setup_.playback.startRemotePlayback(start, RemotePlayInit{PlayOrigin::TimeSearch, start.start, start.mask, {}, {}}))
        return false;
    finish();
    return true;
}

void RemoteSearchHub::playEvent(std::size_t row) {
    if (!events_ || closed_ || setup_.playback.localPlaybackActive()) return;
    const auto start = events_->playAt(row, channel_mask_);
    if (!start) return;
    setup_.playback.startEventPlayback(*start, RemotePlayInit{PlayOrigin::EventList, start->time, start->mask, {}, {}});
}

// ---------------------------------------------------------------- event list

void RemoteSearchHub::chooseEventKind(std::uint8_t kind) {
    if (!events_ || closed_ || !events_->chooseKind(kind, pending_)) return;
    pending_ = true;
    event_page_asked_ = 0;
    setup_.requests.searchEvents(kind, 0);
    setup_.view.openEventList();
    setup_.view.stateChanged();
}

void RemoteSearchHub::eventPage(int step) {
    if (!events_ || closed_ || pending_) return;
    const auto page = step > 0 ? events_->nextPage() : events_->previousPage();
    if (!page) return;
    pending_ = true;
    event_page_asked_ = *page;
    setup_.requests.searchEvents(events_->kind(), *page);
    setup_.view.stateChanged();
}

// ---------------------------------------------------------------- answers

void RemoteSearchHub::onAnswer(const session::SearchAnswer& answer) {
    if (closed_) return;
    // The backup calendar's answers, and events the Backup page waits for,
    // belong to that page.
    if (backup_ != nullptr && backup_->takes(answer)) return backup_->onAnswer(answer);
    if (answer.backup) return;
    pending_ = false;
    switch (answer.kind) {
        case session::SearchKind::Month: {
            if (answer.refused) break;
            month_records_ = answer.records;
            if (calendar_) break;
            RecordingCalendar calendar{MonthTable(month_records_)};
            if (!calendar.open(setup_.current_year)) {
                notice(session::NoticeKind::NoRecordedData);
                break;
            }
            calendar_ = std::move(calendar);
            setup_.view.openCalendar();
            break;
        }
        case session::SearchKind::Day: {
            if (answer.refused || !calendar_) break;
            if (answer.records.empty()) {
                notice(session::NoticeKind::NoRecordedData);
                break;
            }
            day_records_ = answer.records;
            // The cursor starts where a running playback stands.
            int cursor = 0;
            if (const auto position = setup_.playback.runningPlaybackPosition()) cursor = secondOfDay(*position);
            timeline_.emplace(calendar_->date(), parseDayRecords(day_records_), setup_.permitted_channels, cursor);
            timeline_play_enabled_ = !setup_.playback.localPlaybackActive();
            setup_.view.openTimeline();
            break;
        }
        case session::SearchKind::Events:
        case session::SearchKind::EventPage: {
            // The list belongs to the Search page (the Backup page's own
            // list comes with that page).
            if (!created_[index(SearchTab::Search)]) break;
            if (!events_) events_.emplace(setup_.date_format);
            std::optional<RemoteEventList::Page> page;
            if (answer.kind == session::SearchKind::EventPage)
                page = RemoteEventList::Page{event_page_asked_, answer.word2};
            events_->setAnswer(answer.records, page);
            setup_.view.openEventList();
            break;
        }
    }
    setup_.view.stateChanged();
}

void RemoteSearchHub::onWindowPost(const session::WindowPost& post) {
    if (closed_) return;
    using session::WindowMessage;
    switch (post.message) {
        // The log and information pages come later; their answers still
        // end the wait.
        case WindowMessage::LogEntriesReady:
        case WindowMessage::SystemInfoReady:
        case WindowMessage::StatusInfoReady:
            pending_ = false;
            setup_.view.stateChanged();
            return;
        case WindowMessage::RightsChanged: return rightsChanged(post.wparam);
        default: return;
    }
}

bool RemoteSearchHub::rightsApply() const {
    const auto& id = setup_.identity;
    return id.product_major > 1 || (id.product_major == 1 && id.product_minor != 0);
}

void RemoteSearchHub::rightsChanged(std::uint32_t w) {
    if (!rightsApply()) return;
    switch (w) {
        case 0: enabled_ = {true, true, true, true}; break;
        case 1:
            enabled_ = {false, true, false, false};
            if (setup_.downloading) return close();
            showTab(SearchTab::Backup);
            return;
        case 2:
            enabled_ = {true, false, true, true};
            if (created_[index(SearchTab::Backup)])
                return showTab(activePlayMask() ? SearchTab::Log : SearchTab::Search);
            break;
        default: return;
    }
    setup_.view.stateChanged();
}

// ---------------------------------------------------------------- close

void RemoteSearchHub::close() {
    if (closed_) return;
    if (!setup_.playback.remotePlaybackShown()) setup_.playback.clearRemotePlayState();
    finish();
}

void RemoteSearchHub::cancel() {
    if (closed_) return;
    setup_.requests.cancelCapacityCalculation();
    close();
}

void RemoteSearchHub::finish() {
    closed_ = true;
    setup_.playback.setRemotePlayChannels(channel_mask_);
    setup_.view.closeDialog();
}

void RemoteSearchHub::notice(session::NoticeKind kind) {
    setup_.view.showNotice(session::Notice::of(kind, 0, session::Owner::RemoteSearch));
}

}  // namespace kalix::app
