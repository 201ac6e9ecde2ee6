#include "app/local_search.h"

#include <algorithm>

#include "app/day_timeline.h"
#include "app/recording_calendar.h"
#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

constexpr std::size_t kYearBytes = 4;
constexpr std::size_t kDaysPerMonthSlot = 31;
constexpr std::size_t kBlockFlagByte = 50;  // of the block record: byte 50 of the last video header

std::uint8_t* monthRecord(std::vector<std::uint8_t>& table, int year) {
    for (std::size_t at = 0; at < table.size(); at += kMonthRecordSize)
        if (protocol::be32(table.data() + at) == static_cast<std::uint32_t>(year)) return table.data() + at;
    table.resize(table.size() + kMonthRecordSize, 0);
    std::uint8_t* r = table.data() + table.size() - kMonthRecordSize;
    protocol::putBe32(r, static_cast<std::uint32_t>(year));
    return r;
}

void putDayRecord(std::vector<std::uint8_t>& list, std::uint32_t mask, std::uint8_t kind, std::uint32_t start,
                  std::uint32_t end) {
    const std::size_t at = list.size();
    list.resize(at + kDayRecordSize, 0);
    protocol::putBe32(list.data() + at, mask);
    list[at + 4] = kind;
    protocol::putBe32(list.data() + at + 16, start);
    protocol::putBe32(list.data() + at + 20, end);
}

}  // namespace

LocalSearchTables buildLocalSearchTables(const archive::LocalCatalogue& catalogue) {
    LocalSearchTables t;
    for (const archive::CataloguePair& pair : catalogue.pairs) {
        for (const archive::IndexBlockRecord& block : pair.block_records) {
            if (block.end_time < block.start_time) continue;
            // A flag byte of 8 or more would shift the day's bit out of its
            // byte and hide a recorded day; such days are marked with bit 0.
            const std::uint8_t flag = block.last_header_bytes[kBlockFlagByte - 48];
            const auto day_bit = static_cast<std::uint8_t>(flag < 8 ? 1u << flag : 1u);
            const std::int64_t first_day = block.start_time / kSecondsPerDay;
            const std::int64_t last_day =
                std::min<std::int64_t>(block.end_time / kSecondsPerDay, first_day + kMaxBlockDays - 1);
            for (std::int64_t day = first_day; day <= last_day; ++day) {
                const CalendarDate date = dateOf(static_cast<protocol::RecorderTime>(day * kSecondsPerDay));
                std::uint8_t* record = monthRecord(t.month_records, date.year);
                record[kYearBytes + static_cast<std::size_t>(date.month0) * kDaysPerMonthSlot +
                       static_cast<std::size_t>(date.day0)] |= day_bit;
                auto& list = t.day_records[day];
                for (unsigned c = 0; c < 16; ++c)
                    if (block.video_mask & (1u << c))
                        putDayRecord(list, 1u << c, block.flag_bytes[c], block.start_time, block.end_time);
            }
        }
    }
    // Newest first; events of one time keep their catalogue order.
    t.events = catalogue.events;
    std::stable_sort(t.events.begin(), t.events.end(),
                     [](const archive::CatalogueEvent& a, const archive::CatalogueEvent& b) { return a.time > b.time; });
    for (const archive::CatalogueEvent& e : t.events) {
        const std::size_t at = t.event_records.size();
        t.event_records.resize(at + kEventRecordSize, 0);
        std::uint8_t* r = t.event_records.data() + at;
        protocol::putBe32(r, e.channels);
        r[4] = e.kind;
        protocol::putBe32(r + 8, e.time2);
        protocol::putBe32(r + 12, e.number);
        protocol::putBe32(r + 16, e.time);
        protocol::putBe32(r + 20, e.time2);
    }
    return t;
}

void LocalSearchRequests::searchMonth() {
    session::SearchAnswer a;
    a.kind = session::SearchKind::Month;
    a.records = tables_.month_records;
    answer_(std::move(a));
}

void LocalSearchRequests::searchDay(int year, int month1, int day1) {
    session::SearchAnswer a;
    a.kind = session::SearchKind::Day;
    const CalendarDate date{year, month1 - 1, day1 - 1};
    if (const auto it = tables_.day_records.find(daysSinceEpoch(date)); it != tables_.day_records.end())
        a.records = it->second;
    answer_(std::move(a));
}

void LocalSearchRequests::searchEvents(std::uint32_t kind, std::uint32_t /*page*/) {
    // One list holds every event of the kind: no pages.
    session::SearchAnswer a;
    a.kind = session::SearchKind::Events;
    for (std::size_t at = 0; at + kEventRecordSize <= tables_.event_records.size(); at += kEventRecordSize)
        if (tables_.event_records[at + 4] == kind)
            a.records.insert(a.records.end(), tables_.event_records.begin() + static_cast<std::ptrdiff_t>(at),
                             tables_.event_records.begin() + static_cast<std::ptrdiff_t>(at + kEventRecordSize));
    answer_(std::move(a));
}

bool LocalPlayStarter::startRemotePlayback(const session::PlayStart& request, RemotePlayInit /*init*/) {
    last_start_ = request.start;
    return start_ && start_(request.start);
}

bool LocalPlayStarter::startEventPlayback(const session::EventPlayStart& request, RemotePlayInit /*init*/) {
    last_start_ = request.time;
    return start_ && start_(request.time);
}

}  // namespace kalix::app
