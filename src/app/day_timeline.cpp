#include "app/day_timeline.h"

#include <algorithm>
#include <cstdio>

#include "protocol/byte_order.h"

namespace kalix::app {

namespace {

constexpr int kChannels = 16;
constexpr int kLastSecond = kSecondsPerDay - 1;  // 23:59:59
// Windows narrower than these snap to 288 or 576 seconds (one or two
// seconds per pixel).
constexpr int kOneSecondWindow = kTimelineWidth;
constexpr int kTwoSecondWindow = 2 * kTimelineWidth;
constexpr int kOneSecondLimit = 432;

}  // namespace

std::vector<DayRecord> parseDayRecords(std::span<const std::uint8_t> records) {
    std::vector<DayRecord> out;
    for (std::size_t at = 0; at + kDayRecordSize <= records.size(); at += kDayRecordSize) {
        const std::uint8_t* r = records.data() + at;
        out.push_back({protocol::be32(r), r[4], protocol::be32(r + 16), protocol::be32(r + 20)});
    }
    return out;
}

DayTimeline::DayTimeline(CalendarDate date, std::vector<DayRecord> records, std::uint32_t permitted_mask,
                         int cursor_second)
    : date_(date),
      records_(std::move(records)),
      permitted_(permitted_mask),
      day_start_(daysSinceEpoch(date) * kSecondsPerDay),
      cursor_(std::clamp(cursor_second, 0, kSecondsPerDay)) {}

std::vector<TimelineBar> DayTimeline::bars() const {
    std::vector<TimelineBar> out;
    std::array<int, kChannels> previous_end{};
    previous_end.fill(-1);
    for (const DayRecord& record : records_) {
        const std::int64_t from = static_cast<std::int64_t>(record.start) - day_start_;
        const std::int64_t to = static_cast<std::int64_t>(record.end) - day_start_;
        // Stretches reaching into the days around are cut at midnight; one
        // that lies wholly on another day, or ends before it starts, has
        // nothing to show here.
        if (to < from || to < 0 || from > kLastSecond) continue;
        const int t1 = static_cast<int>(std::max<std::int64_t>(from, 0));
        const int t2 = static_cast<int>(std::min<std::int64_t>(to, kLastSecond));
        if (t2 < start_ || t1 > end_) continue;
        int kind = -1;
        if ((record.kind_bits & 0x02) != 0)
            kind = 1;
        else if ((record.kind_bits & 0x01) != 0)
            kind = 0;
        if (kind < 0) continue;
        for (int ch = 0; ch < kChannels; ++ch) {
            if ((record.mask & permitted_ & (1u << ch)) == 0) continue;
            int x1 = t1 < start_ ? kTimelineLeft : kTimelineLeft + (t1 - start_) / scale_;
            x1 = std::max(x1, kTimelineLeft);
            int x2 = t2 > end_ ? right() : kTimelineLeft + (t2 - start_) / scale_;
            x2 = std::min(x2, right());
            if (x1 > x2) continue;  // starts past the pixels the window shows
            if (x1 == x2) x2 = x1 + 1;
            int& previous = previous_end[static_cast<std::size_t>(ch)];
            if (x1 > 0 && previous >= 0 && x1 == previous + 1) --x1;
            previous = x2;
            out.push_back({ch, kind, x1, x2});
        }
    }
    return out;
}

std::optional<int> DayTimeline::cursorX() const {
    if (cursor_ < start_ || cursor_ > end_) return std::nullopt;
    const int x = kTimelineLeft + (cursor_ - start_) / scale_;
    if (x > right()) return std::nullopt;
    return x;
}

std::array<std::string, 4> DayTimeline::labels() const {
    std::array<std::string, 4> out;
    for (int i = 0; i < 4; ++i) {
        const int t = start_ + i * kTimelineLabelStep * scale_;
        const int h = t / 3600, m = t % 3600 / 60, s = t % 60;
        char text[48];
        if (s != 0)
            std::snprintf(text, sizeof text, "%d:%d:%d", h, m, s);
        else if (m != 0)
            std::snprintf(text, sizeof text, "%d:%d", h, m);
        else
            std::snprintf(text, sizeof text, "%d", h);
        out[static_cast<std::size_t>(i)] = text;
    }
    return out;
}

std::string DayTimeline::cursorText() const {
    char text[48];
    std::snprintf(text, sizeof text, "%02d : %02d : %02d", cursor_ / 3600, cursor_ % 3600 / 60, cursor_ % 60);
    return text;
}

int DayTimeline::clampToArea(int x) const { return std::clamp(x, kTimelineLeft, right()); }

TimelineChange DayTimeline::leftDown(int x, int y) {
    band_.reset();
    if (x < kTimelineLeft || x > right() || y < kTimelineTop || y > bottom()) {
        anchor_.reset();
        return TimelineChange::None;
    }
    anchor_ = std::min(x, right() - 1);
    return TimelineChange::None;
}

TimelineChange DayTimeline::pointerMoved(int x, bool left_held) {
    if (!left_held || !anchor_) return TimelineChange::None;
    band_ = RubberBand{*anchor_, clampToArea(x)};
    return TimelineChange::Band;
}

TimelineChange DayTimeline::leftUp(int x) {
    if (!anchor_) return TimelineChange::None;
    const int anchor = *anchor_;
    const int d = clampToArea(x);
    const bool had_band = band_.has_value();
    anchor_.reset();
    band_.reset();
    if (d == anchor) {
        cursor_ = std::min(start_ + (d - kTimelineLeft) * scale_, kSecondsPerDay);
        return TimelineChange::Cursor;
    }
    // One second per pixel is as close as the timeline goes.
    if (!had_band || end_ - start_ <= kOneSecondWindow) return had_band ? TimelineChange::Band : TimelineChange::None;
    const bool rightwards = d > anchor;
    const int a = std::min(anchor, d), b = std::max(anchor, d);
    int s = start_ + scale_ * (a - kTimelineLeft);
    int e = start_ + scale_ * (b - kTimelineLeft);
    const int span = e - s;
    auto snap = [&](int width) {
        if (rightwards) {
            e = s + width;
            if (e > kSecondsPerDay) e = kSecondsPerDay, s = kSecondsPerDay - width;
        } else {
            s = e - width;
            if (s < 0) s = 0, e = width;
        }
    };
    if (span >= kTwoSecondWindow) {
        scale_ = span / kTimelineWidth;
    } else if (span < kOneSecondLimit) {
        snap(kOneSecondWindow);
        scale_ = 1;
    } else {
        snap(kTwoSecondWindow);
        scale_ = 2;
    }
    start_ = s;
    end_ = e;
    return TimelineChange::Window;
}

TimelineChange DayTimeline::rightUp() {
    if (start_ == 0 && end_ == kSecondsPerDay) return TimelineChange::None;
    const int old_start = start_;
    const int half = (end_ - start_) / 2;
    int e = end_ + half;
    int s = start_ - half;
    if (s < 0) {
        e = std::min(e - s, kSecondsPerDay);
        s = 0;
    }
    if (e > kSecondsPerDay) {
        s = std::max(s - (e - kSecondsPerDay), 0);
        e = kSecondsPerDay;
    }
    if (e - s < kTwoSecondWindow) {
        s = old_start;
        e = old_start + kOneSecondWindow;
        scale_ = 1;
    } else {
        scale_ = (e - s) / kTimelineWidth;
    }
    start_ = s;
    end_ = e;
    band_.reset();
    return TimelineChange::Window;
}

TimelineChange DayTimeline::wheel(int delta) {
    const int width = end_ - start_;
    if (delta > 0) {
        if (end_ + scale_ > kSecondsPerDay) {
            end_ = kSecondsPerDay;
            start_ = kSecondsPerDay - width;
        } else {
            start_ += scale_;
            end_ += scale_;
            band_.reset();
        }
    } else {
        if (start_ - scale_ < 0) {
            start_ = 0;
            end_ = width;
        } else {
            start_ -= scale_;
            end_ -= scale_;
            band_.reset();
        }
    }
    return TimelineChange::Window;
}

TimelineChange DayTimeline::stepCursor(int direction) {
    cursor_ = std::clamp(cursor_ + (direction < 0 ? -scale_ : scale_), 0, kSecondsPerDay);
    return TimelineChange::Cursor;
}

std::optional<DayTimeline::Span> DayTimeline::windowSpan() const {
    const auto from = recorderTimeOf(date_, start_);
    const auto to = recorderTimeOf(date_, std::min(end_, kSecondsPerDay - 1));
    if (!from || !to) return std::nullopt;
    return Span{*from, *to};
}

}  // namespace kalix::app
