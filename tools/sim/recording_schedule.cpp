#include "sim/recording_schedule.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "protocol/byte_order.h"

namespace kalix::sim {
namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
constexpr std::size_t kChannels = 16;
constexpr std::size_t kMonths = 12;
constexpr std::size_t kDaysPerMonthSlot = 31;
constexpr RecorderSeconds kDefaultEventLength = 30;
constexpr std::size_t kMaxScheduleFileBytes = 16u << 20;

bool isEventKind(std::uint32_t kind) { return kind == 1 || kind == 2 || kind == 7; }

std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > begin) out.push_back(line.substr(begin, i - begin));
    }
    return out;
}

// The rest of the line after `count` words, trimmed: a title may hold spaces.
std::string_view afterWords(std::string_view line, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t w = 0; w < count; ++w) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t end = line.size();
    while (end > i && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) --end;
    return line.substr(i, end - i);
}

}  // namespace

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned shifted = month > 2 ? month - 3 : month + 9;
    const unsigned doy = (153 * shifted + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + static_cast<std::int64_t>(doe) - 719'468;
}

CalendarDay civilFromDays(std::int64_t days) {
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const auto doe = static_cast<unsigned>(days - era * 146'097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

std::optional<RecorderSeconds> parseRecorderTime(std::string_view text) {
    if (text.find('-') == std::string_view::npos) {
        const auto v = parseNumber(text, 0xFFFF'FFFFu);
        if (!v) return std::nullopt;
        return static_cast<RecorderSeconds>(*v);
    }
    // YYYY-MM-DDTHH:MM:SS
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto year = parseNumber(text.substr(0, 4), 9999);
    const auto month = parseNumber(text.substr(5, 2), 12);
    const auto day = parseNumber(text.substr(8, 2), 31);
    const auto hour = parseNumber(text.substr(11, 2), 23);
    const auto minute = parseNumber(text.substr(14, 2), 59);
    const auto second = parseNumber(text.substr(17, 2), 59);
    if (!year || !month || !day || !hour || !minute || !second || *month == 0 || *day == 0) return std::nullopt;
    const std::int64_t seconds = daysFromCivil(static_cast<std::int64_t>(*year), static_cast<unsigned>(*month),
                                               static_cast<unsigned>(*day)) *
                                     kSecondsPerDay +
                                 static_cast<std::int64_t>(*hour * 3600 + *minute * 60 + *second);
    if (seconds < 0 || seconds > 0xFFFF'FFFFll) return std::nullopt;
    return static_cast<RecorderSeconds>(seconds);
}

// --- RecordingSchedule ---

std::optional<RecordingSchedule> RecordingSchedule::make(std::vector<RecordedStretch> stretches,
                                                         std::vector<RecordedEvent> events, std::string& error) {
    RecordingSchedule schedule;
    for (const RecordedStretch& s : stretches) {
        if (s.channel >= kChannels || s.end <= s.start || s.kind == 0 || s.kind > 3) {
            error = "a recorded stretch needs a channel 0-15, a kind 1-3 and an end after its start";
            return std::nullopt;
        }
    }
    std::sort(stretches.begin(), stretches.end(), [](const RecordedStretch& a, const RecordedStretch& b) {
        return std::tie(a.channel, a.start) < std::tie(b.channel, b.start);
    });
    for (std::size_t i = 1; i < stretches.size(); ++i) {
        if (stretches[i].channel == stretches[i - 1].channel && stretches[i].start < stretches[i - 1].end) {
            error = "recorded stretches of channel " + std::to_string(stretches[i].channel) + " overlap";
            return std::nullopt;
        }
    }
    for (const RecordedEvent& e : events) {
        if (!isEventKind(e.kind)) {
            error = "an event kind is 1, 2 or 7";
            return std::nullopt;
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const RecordedEvent& a, const RecordedEvent& b) { return a.time < b.time; });
    // The token: 'K', the kind, the event's place in the list, its time.
    for (std::size_t i = 0; i < events.size(); ++i) {
        EventToken& t = events[i].token;
        t[0] = 'K';
        t[1] = events[i].kind;
        protocol::putBe16(t.data() + 2, static_cast<std::uint16_t>(i));
        protocol::putBe32(t.data() + 4, events[i].time);
    }
    schedule.stretches_ = std::move(stretches);
    schedule.events_ = std::move(events);
    schedule.index();
    return schedule;
}

void RecordingSchedule::index() {
    for (auto& list : by_channel_) list.clear();
    for (const RecordedStretch& s : stretches_) by_channel_[s.channel].push_back(s);
}

RecordingSchedule RecordingSchedule::demo(RecorderSeconds now) {
    // Far enough from 1970 that the days before it exist.
    now = std::max<RecorderSeconds>(now, 10 * kSecondsPerDay);
    const auto today = static_cast<RecorderSeconds>(now / kSecondsPerDay * kSecondsPerDay);
    const auto at = [&](int days_back, int hour, int minute) {
        return static_cast<RecorderSeconds>(today - static_cast<RecorderSeconds>(days_back) * kSecondsPerDay +
                                            static_cast<RecorderSeconds>(hour * 3600 + minute * 60));
    };
    std::vector<RecordedStretch> s;
    std::vector<RecordedEvent> e;
    for (std::uint8_t c = 0; c < kChannels; ++c) {
        // Three days back: a morning on every channel, a short alarm
        // recording in the afternoon on the even ones.
        s.push_back({c, 1, at(3, 8, 0), at(3, 12, 0)});
        if (c % 2 == 0) s.push_back({c, 2, at(3, 14, 0), at(3, 14, 20)});
        // Two days back: the night on channels 1-8, and an evening on 1-4
        // that runs past midnight into the next day.
        if (c < 8) s.push_back({c, 1, at(2, 0, 0), at(2, 6, 0)});
        if (c < 4) s.push_back({c, 1, at(2, 18, 0), at(1, 2, 0)});
        // Yesterday: office hours with a gap at noon, then an alarm on 1-2.
        s.push_back({c, 1, at(1, 9, 0), at(1, 12, 0)});
        s.push_back({c, 1, at(1, 12, 15), at(1, 17, 0)});
        if (c < 2) s.push_back({c, 2, at(1, 17, 0), at(1, 17, 10)});
        // The last hour up to a minute ago, with a minute missing halfway.
        s.push_back({c, 1, now - 3600, now - 1860});
        s.push_back({c, 1, now - 1800, now - 60});
    }
    e.push_back({1, 0x0001, at(3, 9, 0), at(3, 9, 0) + 30, {}});
    e.push_back({1, 0x0002, at(3, 11, 0), at(3, 11, 0) + 30, {}});
    e.push_back({2, 0x5555, at(3, 14, 5), at(3, 14, 6), {}});
    // Yesterday's office hours: motion every 20 minutes, more than one page.
    for (int i = 0; i < 24; ++i) {
        const RecorderSeconds t = at(1, 9, 10) + static_cast<RecorderSeconds>(i) * 1200;
        if (t >= at(1, 12, 0) && t < at(1, 12, 15)) continue;
        e.push_back({1, static_cast<std::uint16_t>(1u << (i % 4)), t, t + 30, {}});
    }
    e.push_back({2, 0x0003, at(1, 17, 2), at(1, 17, 3), {}});
    e.push_back({1, 0x000F, now - 3000, now - 2970, {}});
    e.push_back({7, 0xFFFF, now - 1860, now - 1800, {}});
    e.push_back({1, 0x000F, now - 1200, now - 1170, {}});
    e.push_back({1, 0x000F, now - 600, now - 570, {}});
    std::string error;
    auto schedule = make(std::move(s), std::move(e), error);
    return schedule ? std::move(*schedule) : RecordingSchedule{};
}

std::optional<RecordingSchedule> RecordingSchedule::parse(std::string_view text, std::string& error) {
    std::vector<RecordedStretch> stretches;
    std::vector<RecordedEvent> events;
    std::vector<std::pair<std::uint8_t, ChannelTitle>> titles;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        if (const auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const auto w = words(line);
        if (w.empty()) continue;
        const auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(line_number) + ": " + why;
            return std::nullopt;
        };
        if (w[0] == "rec") {
            if (w.size() < 4 || w.size() > 5) return fail("expected rec CH START END [KIND]");
            const auto channel = parseNumber(w[1], kChannels - 1);
            const auto start = parseRecorderTime(w[2]);
            const auto end = parseRecorderTime(w[3]);
            const auto kind = w.size() == 5 ? parseNumber(w[4], 3) : std::optional<std::uint64_t>(1);
            if (!channel || !start || !end || !kind || *kind == 0 || *end <= *start) {
                return fail("expected a channel 0-15, times with END after START and a kind 1-3");
            }
            stretches.push_back({static_cast<std::uint8_t>(*channel), static_cast<std::uint8_t>(*kind), *start, *end});
        } else if (w[0] == "event") {
            if (w.size() < 4 || w.size() > 5) return fail("expected event KIND MASK TIME [END]");
            const auto kind = parseNumber(w[1], 7);
            const auto mask = parseNumber(w[2], 0xFFFF);
            const auto time = parseRecorderTime(w[3]);
            const auto end = w.size() == 5 ? parseRecorderTime(w[4]) : std::optional<RecorderSeconds>{};
            if (!kind || !isEventKind(static_cast<std::uint32_t>(*kind)) || !mask || !time || (w.size() == 5 && !end)) {
                return fail("expected a kind 1, 2 or 7, a 16-bit mask and times");
            }
            const RecorderSeconds event_end =
                end ? *end : (*time > 0xFFFF'FFFFu - kDefaultEventLength ? *time : *time + kDefaultEventLength);
            events.push_back({static_cast<std::uint8_t>(*kind), static_cast<std::uint16_t>(*mask), *time, event_end, {}});
        } else if (w[0] == "title" || w[0] == "badtitle") {
            const auto channel = w.size() >= 2 ? parseNumber(w[1], kChannels - 1) : std::nullopt;
            const std::string_view title = afterWords(line, 2);
            if (!channel || title.size() > kTitleSize) return fail("expected title CH TEXT with at most 32 bytes");
            titles.emplace_back(static_cast<std::uint8_t>(*channel), ChannelTitle{std::string(title), w[0] == "title"});
        } else {
            return fail("unknown item '" + std::string(w[0]) + "'");
        }
    }
    auto schedule = make(std::move(stretches), std::move(events), error);
    if (!schedule) return std::nullopt;
    for (auto& [channel, title] : titles) schedule->setTitle(channel, std::move(title));
    return schedule;
}

std::optional<RecordingSchedule> RecordingSchedule::load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::string text;
    text.resize(kMaxScheduleFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxScheduleFileBytes) {
        error = path + " is larger than 16 MiB";
        return std::nullopt;
    }
    auto schedule = parse(text, error);
    if (!schedule) error = path + ": " + error;
    return schedule;
}

const std::vector<RecordedStretch>& RecordingSchedule::channelStretches(std::uint8_t channel) const {
    static const std::vector<RecordedStretch> none;
    return channel < kChannels ? by_channel_[channel] : none;
}

ChannelTitle RecordingSchedule::title(std::uint8_t channel) const {
    if (channel < kChannels && titles_[channel]) return *titles_[channel];
    return {"Cam " + std::to_string(channel + 1), channel % 2 == 0};
}

void RecordingSchedule::setTitle(std::uint8_t channel, ChannelTitle title) {
    if (channel < kChannels) titles_[channel] = std::move(title);
}

std::vector<std::uint8_t> RecordingSchedule::monthTable(std::uint16_t channels) const {
    std::map<std::int64_t, std::array<std::uint8_t, kMonths * kDaysPerMonthSlot>> years;
    for (const RecordedStretch& s : stretches_) {
        if (((static_cast<unsigned>(channels) >> s.channel) & 1u) == 0) continue;
        const std::int64_t first = s.start / kSecondsPerDay;
        const std::int64_t last = (static_cast<std::int64_t>(s.end) - 1) / kSecondsPerDay;
        for (std::int64_t d = first; d <= last; ++d) {
            const CalendarDay day = civilFromDays(d);
            auto [it, added] = years.try_emplace(day.year);
            if (added) it->second.fill(0);
            it->second[(day.month - 1) * kDaysPerMonthSlot + (day.day - 1)] = 1;
        }
    }
    std::vector<std::uint8_t> table;
    table.reserve(years.size() * kYearRecordSize);
    for (const auto& [year, days] : years) {
        const std::size_t at = table.size();
        table.resize(at + kYearRecordSize);
        protocol::putBe32(table.data() + at, static_cast<std::uint32_t>(year));
        std::copy(days.begin(), days.end(), table.begin() + static_cast<std::ptrdiff_t>(at + 4));
    }
    return table;
}

std::vector<std::uint8_t> RecordingSchedule::dayTable(CalendarDay day, std::uint16_t channels) const {
    const std::int64_t day_start = daysFromCivil(day.year, day.month, day.day) * kSecondsPerDay;
    const std::int64_t day_end = day_start + kSecondsPerDay;
    // (start, end, kind) -> channels
    std::map<std::tuple<RecorderSeconds, RecorderSeconds, std::uint8_t>, std::uint32_t> records;
    for (const RecordedStretch& s : stretches_) {
        if (((static_cast<unsigned>(channels) >> s.channel) & 1u) == 0) continue;
        if (static_cast<std::int64_t>(s.end) <= day_start || static_cast<std::int64_t>(s.start) >= day_end) continue;
        records[{s.start, s.end, s.kind}] |= 1u << s.channel;
    }
    std::vector<std::uint8_t> table(records.size() * kDayRecordSize, 0);
    std::uint8_t* p = table.data();
    for (const auto& [key, mask] : records) {
        protocol::putBe32(p, mask);
        p[4] = std::get<2>(key);
        protocol::putBe32(p + 16, std::get<0>(key));
        protocol::putBe32(p + 20, std::get<1>(key));
        p += kDayRecordSize;
    }
    return table;
}

std::vector<const RecordedEvent*> RecordingSchedule::eventsOfKind(std::uint32_t kind, std::uint16_t channels) const {
    std::vector<const RecordedEvent*> out;
    for (const RecordedEvent& e : events_) {
        if (e.kind == kind && (e.mask & channels) != 0) out.push_back(&e);
    }
    return out;
}

std::vector<std::uint8_t> RecordingSchedule::eventPage(std::uint32_t kind, std::uint32_t page,
                                                       std::uint16_t channels) const {
    const auto list = eventsOfKind(kind, channels);
    const std::size_t pages = (list.size() + kEventsPerPage - 1) / kEventsPerPage;
    const std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(page) * kEventsPerPage, list.size());
    const std::size_t count = page < pages ? std::min(kEventsPerPage, list.size() - first) : 0;
    std::vector<std::uint8_t> answer(kEventPageHeaderSize + count * kEventRecordSize, 0);
    protocol::putBe32(answer.data(), kind);
    protocol::putBe32(answer.data() + 4, static_cast<std::uint32_t>(list.size()));
    protocol::putBe32(answer.data() + 8, static_cast<std::uint32_t>(pages));
    for (std::size_t i = 0; i < count; ++i) {
        const RecordedEvent& e = *list[first + i];
        std::uint8_t* p = answer.data() + kEventPageHeaderSize + i * kEventRecordSize;
        protocol::putBe32(p, e.mask & channels);
        p[4] = e.kind;
        std::copy(e.token.begin(), e.token.end(), p + 8);
        protocol::putBe32(p + 16, e.time);
        protocol::putBe32(p + 20, e.end);
    }
    return answer;
}

const RecordedEvent* RecordingSchedule::findEvent(const EventToken& token) const {
    for (const RecordedEvent& e : events_) {
        if (e.token == token) return &e;
    }
    return nullptr;
}

bool RecordingSchedule::recordedAtOrAfter(std::uint8_t channel, RecorderSeconds time, std::uint8_t kind_filter) const {
    for (const RecordedStretch& s : channelStretches(channel)) {
        if ((kind_filter == 0 || (s.kind & kind_filter) != 0) && s.end > time) return true;
    }
    return false;
}

// --- ChannelTimeline ---

ChannelTimeline::ChannelTimeline(const std::vector<RecordedStretch>& stretches, unsigned fps)
    : stretches_(stretches), fps_(std::max(fps, 1u)) {}

std::uint32_t ChannelTimeline::frameCount(std::size_t stretch) const {
    const RecordedStretch& s = stretches_[stretch];
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{s.end - s.start} * fps_, 0xFFFF'FFFFu));
}

std::uint64_t ChannelTimeline::frameMicros(std::size_t stretch, std::uint32_t index) const {
    return std::uint64_t{stretches_[stretch].start} * kMicrosPerSecond + std::uint64_t{index} * kMicrosPerSecond / fps_;
}

std::optional<FrameRef> ChannelTimeline::firstAtOrAfter(std::uint64_t micros) const {
    for (std::size_t i = 0; i < stretches_.size(); ++i) {
        const std::uint64_t start = std::uint64_t{stretches_[i].start} * kMicrosPerSecond;
        if (micros <= start) return at(i, 0);
        const std::uint64_t end = std::uint64_t{stretches_[i].end} * kMicrosPerSecond;
        if (micros >= end) continue;
        // The smallest k with k / fps >= offset: ceil(offset * fps / 1e6).
        const std::uint64_t offset = micros - start;
        auto k = static_cast<std::uint32_t>((offset * fps_ + kMicrosPerSecond - 1) / kMicrosPerSecond);
        if (k < frameCount(i)) return at(i, k);
    }
    return std::nullopt;
}

std::optional<FrameRef> ChannelTimeline::lastAtOrBefore(std::uint64_t micros) const {
    for (std::size_t i = stretches_.size(); i-- > 0;) {
        const std::uint64_t start = std::uint64_t{stretches_[i].start} * kMicrosPerSecond;
        if (micros < start) continue;
        const std::uint64_t offset = micros - start;
        const auto k = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(offset * fps_ / kMicrosPerSecond, std::uint64_t{frameCount(i)} - 1));
        return at(i, k);
    }
    return std::nullopt;
}

std::optional<FrameRef> ChannelTimeline::next(const FrameRef& frame) const {
    if (frame.index + 1 < frameCount(frame.stretch)) return at(frame.stretch, frame.index + 1);
    if (frame.stretch + 1 < stretches_.size()) return at(frame.stretch + 1, 0);
    return std::nullopt;
}

std::optional<FrameRef> ChannelTimeline::previous(const FrameRef& frame) const {
    if (frame.index > 0) return at(frame.stretch, frame.index - 1);
    if (frame.stretch > 0) return at(frame.stretch - 1, frameCount(frame.stretch - 1) - 1);
    return std::nullopt;
}

}  // namespace kalix::sim
