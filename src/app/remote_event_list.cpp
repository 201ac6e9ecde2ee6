#include "app/remote_event_list.h"

#include <algorithm>
#include <cstdio>

#include "app/recording_calendar.h"
#include "protocol/byte_order.h"

namespace kalix::app {

std::vector<EventRecord> parseEventRecords(std::span<const std::uint8_t> records) {
    std::vector<EventRecord> out;
    for (std::size_t at = 0; at + kEventRecordSize <= records.size(); at += kEventRecordSize) {
        const std::uint8_t* r = records.data() + at;
        EventRecord e;
        e.mask = protocol::be32(r);
        e.kind = r[4];
        std::copy_n(r + 8, e.token.size(), e.token.begin());
        e.time = protocol::be32(r + 16);
        e.second_time = protocol::be32(r + 20);
        out.push_back(e);
    }
    return out;
}

std::string channelText(std::uint32_t mask) {
    std::string text;
    for (int ch = 0; ch < 32; ++ch) {
        if ((mask & (1u << ch)) == 0) continue;
        char number[16];
        std::snprintf(number, sizeof number, "%02d ", ch + 1);
        text += number;
    }
    return text;
}

std::string eventTimeText(protocol::RecorderTime time, DateFormat format) {
    const CalendarDate date = dateOf(time);
    const int second = secondOfDay(time);
    char clock[48];
    std::snprintf(clock, sizeof clock, " %02d:%02d:%02d", second / 3600, second % 3600 / 60, second % 60);
    return formatDate(format, date.year, date.month0 + 1, date.day0 + 1) + clock;
}

void RemoteEventList::setAnswer(std::span<const std::uint8_t> records, std::optional<Page> page) {
    records_ = parseEventRecords(records);
    page_ = page;
    select();
}

void RemoteEventList::select() {
    shown_.clear();
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (records_[i].kind == kind_) shown_.push_back(i);
}

bool RemoteEventList::chooseKind(std::uint8_t kind, bool request_pending) {
    if (request_pending || kind == kind_) return false;
    if (std::ranges::find(kEventKinds, kind) == kEventKinds.end()) return false;
    kind_ = kind;
    // The old kind's records go; the answer brings the new kind's.
    records_.clear();
    page_.reset();
    select();
    return true;
}

std::optional<std::uint32_t> RemoteEventList::nextPage() const {
    if (!page_ || page_->number + 1 >= page_->count) return std::nullopt;
    return page_->number + 1;
}

std::optional<std::uint32_t> RemoteEventList::previousPage() const {
    if (!page_ || page_->number == 0) return std::nullopt;
    return page_->number - 1;
}

std::string RemoteEventList::pageText() const {
    if (!page_) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%u / %u", page_->number + 1, std::max(page_->count, page_->number + 1));
    return text;
}

std::vector<EventRow> RemoteEventList::rows() const {
    std::vector<EventRow> out;
    out.reserve(shown_.size());
    for (std::size_t i : shown_) out.push_back({eventTimeText(records_[i].time, format_), channelText(records_[i].mask)});
    return out;
}

std::optional<session::EventPlayStart> RemoteEventList::playAt(std::size_t row, std::uint32_t channel_mask) const {
    if (row >= shown_.size()) return std::nullopt;
    const EventRecord& e = records_[shown_[row]];
    session::EventPlayStart start;
    start.mask = channel_mask;
    start.event_kind = e.kind;
    start.token = e.token;
    start.time = e.time;
    return start;
}

}  // namespace kalix::app
