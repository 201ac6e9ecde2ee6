#pragma once
// What the main window shows of a remote playback besides the pictures:
// the time display (the auxiliary window, drawn from digit pictures of the
// skin) and the status strip's line.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/client_profile.h"
#include "app/local_settings.h"
#include "app/remote_play_state.h"
#include "protocol/recorder_time.h"
#include "session/remote_playback.h"

namespace kalix::app {

// Glyph numbers of the time display: 0-9 the digits, then these.
inline constexpr std::uint8_t kGlyphAm = 10, kGlyphPm = 11, kGlyphColon = 12, kGlyphBlank = 13, kGlyphDash = 14;
inline constexpr int kTimeGlyphs = 15;

struct TimeDisplayGlyphs {
    std::array<std::uint8_t, 8> time{};   // "HH:MM:SS"
    std::array<std::uint8_t, 10> date{};  // "YYYY-MM-DD", always year first
    std::uint8_t indicator = kGlyphBlank; // AM / PM on the 12-hour clock
    friend bool operator==(const TimeDisplayGlyphs&, const TimeDisplayGlyphs&) = default;
};

// The value taken as a UTC calendar time; a count that is negative as a
// signed 32-bit number shows as 1970-01-01 00:00:00. On the 12-hour clock
// hour 0 reads 12 AM, 12 reads 12 PM, and single-digit hours leave the tens
// place blank.
TimeDisplayGlyphs timeDisplayGlyphs(protocol::RecorderTime value, HourSystem hours);

// A remote playback as the status strip reads it.
struct PlaybackStatus {
    PlayOrigin origin = PlayOrigin::TimeSearch;
    session::PlayMode mode = session::PlayMode::None;
    int speed = 0;  // -6 ... 6; 0 before the first frame and while paused
    protocol::RecorderTime position = 0;
    friend bool operator==(const PlaybackStatus&, const PlaybackStatus&) = default;
};

// "Timeline  Play  x2  2011-01-01 12:00:00": origin, mode, speed (left out
// at 0, reverse speeds with a minus) and position, the date in the date
// format of the settings. Texts from `strings` (string table numbers).
std::string statusStripText(const PlaybackStatus& status, DateFormat format,
                            const std::function<std::string(std::uint16_t)>& strings);

}  // namespace kalix::app
