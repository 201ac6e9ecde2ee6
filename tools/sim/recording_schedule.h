#pragma once
// What the simulated recorder holds on its disk: per channel, stretches of
// recorded time [start, end) with a kind (bits 0 and 1 of the day record's
// kind byte), and a list of events (kind 1, 2 or 7, channel mask, time, an
// 8-byte token only the recorder interprets, a second time word: the event's
// end). Times are RecorderTime: seconds since 1970 on the recorder's wall
// clock, split into days as UTC.
//
// The search answers come from here (the month table, a day's stretches, a
// page of events), and so does the order of the frames a playback sends:
// a channel recorded at f frames per second has frame k of a stretch at
// start + k / f seconds, for every k with that time before the stretch's end.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix::sim {

using RecorderSeconds = std::uint32_t;

inline constexpr std::size_t kYearRecordSize = 376;
inline constexpr std::size_t kDayRecordSize = 24;
inline constexpr std::size_t kEventRecordSize = 24;
inline constexpr std::size_t kEventPageHeaderSize = 12;
inline constexpr std::size_t kEventsPerPage = 20;
inline constexpr std::size_t kTitleSize = 32;

struct RecordedStretch {
    std::uint8_t channel = 0;  // 0-15
    std::uint8_t kind = 1;     // bits 0 and 1
    RecorderSeconds start = 0;
    RecorderSeconds end = 0;  // after start

    friend bool operator==(const RecordedStretch&, const RecordedStretch&) = default;
};

using EventToken = std::array<std::uint8_t, 8>;

struct RecordedEvent {
    std::uint8_t kind = 1;  // 1, 2 or 7
    std::uint16_t mask = 0;
    RecorderSeconds time = 0;
    RecorderSeconds end = 0;  // the second time word
    EventToken token{};       // set by the schedule: unique per event
};

// A camera title as the frame header carries it: 32 bytes, and whether the
// CRC in front of it matches (a client shows "CH<n>" when it does not).
struct ChannelTitle {
    std::string text;
    bool valid_crc = true;
};

// A calendar day: year, month 1-12, day 1-31.
struct CalendarDay {
    std::int64_t year = 1970;
    unsigned month = 1;
    unsigned day = 1;
};

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);
CalendarDay civilFromDays(std::int64_t days);
// "2024-05-01T10:00:00" (or a space instead of T), or plain seconds.
std::optional<RecorderSeconds> parseRecorderTime(std::string_view text);

// Where a frame of a channel lies: stretch `stretch` of that channel's list,
// frame `index` of the stretch, at `micros` microseconds since 1970.
struct FrameRef {
    std::size_t stretch = 0;
    std::uint32_t index = 0;
    std::uint64_t micros = 0;

    friend bool operator==(const FrameRef&, const FrameRef&) = default;
};

class RecordingSchedule {
public:
    RecordingSchedule() = default;
    // Sorts the stretches and events and gives every event its token. Nothing
    // when stretches of one channel overlap or one is empty, or an event kind
    // is not 1, 2 or 7; `error` says which.
    static std::optional<RecordingSchedule> make(std::vector<RecordedStretch> stretches,
                                                 std::vector<RecordedEvent> events, std::string& error);

    // The schedule the demo and a plain kalix-sim play: the three days before
    // `now` and the last hour before it, with gaps and events on the way;
    // the same for the same `now`.
    static RecordingSchedule demo(RecorderSeconds now);

    // A schedule file: one item per line, '#' starts a comment.
    //   rec CH START END [KIND]        channel 0-15, kind 1-3 (default 1)
    //   event KIND MASK TIME [END]     kind 1, 2 or 7; END defaults to TIME + 30
    //   title CH TEXT...               the channel's title (valid CRC)
    //   badtitle CH TEXT...            a title whose CRC does not match
    // Times are seconds or YYYY-MM-DDTHH:MM:SS.
    static std::optional<RecordingSchedule> parse(std::string_view text, std::string& error);
    static std::optional<RecordingSchedule> load(const std::string& path, std::string& error);

    bool empty() const { return stretches_.empty(); }
    const std::vector<RecordedStretch>& stretches() const { return stretches_; }
    const std::vector<RecordedEvent>& events() const { return events_; }  // by time
    // The stretches of one channel, by start.
    const std::vector<RecordedStretch>& channelStretches(std::uint8_t channel) const;

    // "Cam 1" … "Cam 16", the CRC valid on even channels (Cam 1, Cam 3 …)
    // unless the schedule file says otherwise.
    ChannelTitle title(std::uint8_t channel) const;
    void setTitle(std::uint8_t channel, ChannelTitle title);

    // One 376-byte record per year with recordings on the channels of
    // `channels`, by year: year (u32 BE), then 12 × 31 day bytes, 1 = recorded.
    std::vector<std::uint8_t> monthTable(std::uint16_t channels) const;
    // The 24-byte records of the stretches that touch the day (not cut to
    // it), stretches with the same times and kind in one record whose mask
    // names their channels: mask (u32 BE), kind, 11 zero bytes, start, end.
    std::vector<std::uint8_t> dayTable(CalendarDay day, std::uint16_t channels) const;
    // The events of `kind` on the channels of `channels`, by time.
    std::vector<const RecordedEvent*> eventsOfKind(std::uint32_t kind, std::uint16_t channels) const;
    // The page's answer: kind, number of events, number of pages, then the
    // page's 24-byte records (mask, kind, 3 zero, token, time, end).
    std::vector<std::uint8_t> eventPage(std::uint32_t kind, std::uint32_t page, std::uint16_t channels) const;
    const RecordedEvent* findEvent(const EventToken& token) const;

    // Whether a stretch of a channel in `mask` of a kind in `kind_filter` (0:
    // any) covers `time`, or lies after it.
    bool recordedAtOrAfter(std::uint8_t channel, RecorderSeconds time, std::uint8_t kind_filter) const;

private:
    void index();

    std::vector<RecordedStretch> stretches_;  // by channel, then start
    std::array<std::vector<RecordedStretch>, 16> by_channel_;
    std::vector<RecordedEvent> events_;
    std::array<std::optional<ChannelTitle>, 16> titles_;
};

// The frames of one channel's recordings at `fps` frames per second.
class ChannelTimeline {
public:
    ChannelTimeline(const std::vector<RecordedStretch>& stretches, unsigned fps);

    std::uint32_t frameCount(std::size_t stretch) const;
    std::uint64_t frameMicros(std::size_t stretch, std::uint32_t index) const;
    const std::vector<RecordedStretch>& stretches() const { return stretches_; }

    // The first frame at or after `micros`, or nothing at the end.
    std::optional<FrameRef> firstAtOrAfter(std::uint64_t micros) const;
    // The last frame at or before `micros`, or nothing before the start.
    std::optional<FrameRef> lastAtOrBefore(std::uint64_t micros) const;
    std::optional<FrameRef> next(const FrameRef& frame) const;
    std::optional<FrameRef> previous(const FrameRef& frame) const;
    FrameRef at(std::size_t stretch, std::uint32_t index) const { return {stretch, index, frameMicros(stretch, index)}; }

private:
    std::vector<RecordedStretch> stretches_;
    unsigned fps_;
};

}  // namespace kalix::sim
