#pragma once
// The day timeline: for one day, a bar per channel for every stretch the
// recorder holds, over a visible window [S, E] of the day (seconds) drawn
// 288 pixels wide at k seconds per pixel. The operator zooms in by dragging
// a rubber band, zooms out with the right button, scrolls with the wheel,
// and places the time cursor by clicking or with the arrow keys; Play
// starts remote playback at the cursor.
//
// Pixels are the dialog's: the bar area starts at kTimelineLeft, kTimelineTop
// and is 288 wide (289 x 289 with its right and bottom edge); channel ch
// owns the row y = ch * 18 + 76 to ch * 18 + 84. A bar covers the pixels
// [x1, x2).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/recording_calendar.h"
#include "protocol/recorder_time.h"

namespace kalix::app {

inline constexpr std::size_t kDayRecordSize = 24;
inline constexpr int kTimelineLeft = 109;
inline constexpr int kTimelineTop = 70;
inline constexpr int kTimelineWidth = 288;
inline constexpr int kTimelineArea = 289;  // the square repainted on a change
inline constexpr int kTimelineRowTop = 76, kTimelineRowStep = 18, kTimelineRowHeight = 8;
inline constexpr int kTimelineLabelX = 109, kTimelineLabelStep = 72, kTimelineLabelY = 54;
inline constexpr int kTimelineLabelWidth = 55, kTimelineLabelHeight = 14;
inline constexpr int kTimelineDialogX = 197, kTimelineDialogY = 83;
inline constexpr int kTimelineDialogWidth = 403, kTimelineDialogHeight = 417;
inline constexpr int kFullDayScale = 300;

// One stretch of the day table.
struct DayRecord {
    std::uint32_t mask = 0;      // bit i: channel i
    std::uint8_t kind_bits = 0;  // bits 0 and 1: the two kinds of recording
    protocol::RecorderTime start = 0;
    protocol::RecorderTime end = 0;
};

// Whole 24-byte records; a partial record at the end is ignored.
std::vector<DayRecord> parseDayRecords(std::span<const std::uint8_t> records);

struct TimelineBar {
    int channel = 0;
    int kind = 0;  // 0 or 1, the picture it is drawn with
    int x1 = 0, x2 = 0;
    friend bool operator==(const TimelineBar&, const TimelineBar&) = default;
};

// The rubber band: from the anchor to the pointer, the area's full height.
struct RubberBand {
    int from_x = 0, to_x = 0;
    friend bool operator==(const RubberBand&, const RubberBand&) = default;
};

// What an input changed, so the widget repaints only then.
enum class TimelineChange : std::uint8_t { None, Cursor, Band, Window };

class DayTimeline {
public:
    // The full day visible, the cursor at `cursor_second` (0-86400).
    DayTimeline(CalendarDate date, std::vector<DayRecord> records, std::uint32_t permitted_mask,
                int cursor_second = 0);

    // Bars of every stretch on every channel that the record names and the
    // user may see, clipped to the day and to the window, touching stretches
    // joined.
    std::vector<TimelineBar> bars() const;
    // The cursor line's pixel, when it lies inside the area.
    std::optional<int> cursorX() const;
    // The four labels at 72-pixel steps.
    std::array<std::string, 4> labels() const;
    // "hh : mm : ss".
    std::string cursorText() const;

    // Mouse, in dialog pixels.
    TimelineChange leftDown(int x, int y);
    TimelineChange pointerMoved(int x, bool left_held);
    TimelineChange leftUp(int x);
    TimelineChange rightUp();
    TimelineChange wheel(int delta);
    // Arrow keys: the cursor k seconds earlier or later.
    TimelineChange stepCursor(int direction);

    // The moment Play starts at; none when the day cannot be expressed as
    // a recorder time.
    std::optional<protocol::RecorderTime> startTime() const { return recorderTimeOf(date_, cursor_); }
    // The visible window as recorder times, its end kept within the day:
    // the stretch a backup takes from the timeline (zoomed in by the
    // rubber band, the whole day at first).
    struct Span {
        protocol::RecorderTime start = 0;
        protocol::RecorderTime end = 0;
    };
    std::optional<Span> windowSpan() const;

    CalendarDate date() const { return date_; }
    int windowStart() const { return start_; }
    int windowEnd() const { return end_; }
    int scale() const { return scale_; }
    int cursor() const { return cursor_; }
    std::optional<int> anchor() const { return anchor_; }
    std::optional<RubberBand> band() const { return band_; }
    bool capturing() const { return anchor_.has_value(); }
    std::size_t recordCount() const { return records_.size(); }

    static constexpr int right() { return kTimelineLeft + kTimelineWidth; }
    static constexpr int bottom() { return kTimelineTop + kTimelineArea - 1; }
    static constexpr int rowTop(int channel) { return kTimelineRowTop + channel * kTimelineRowStep; }

private:
    int clampToArea(int x) const;

    CalendarDate date_;
    std::vector<DayRecord> records_;
    std::uint32_t permitted_;
    std::int64_t day_start_ = 0;  // seconds since 1970 of the day's midnight
    int start_ = 0;
    int end_ = kSecondsPerDay;
    int scale_ = kFullDayScale;
    int cursor_ = 0;
    std::optional<int> anchor_;
    std::optional<RubberBand> band_;
};

}  // namespace kalix::app
