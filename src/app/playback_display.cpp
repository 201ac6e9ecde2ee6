#include "app/playback_display.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/string_uses.h"

namespace kalix::app {
namespace {

protocol::DateTimeFields brokenDown(protocol::RecorderTime value) {
    protocol::DateTimeFields fields;  // 1970-01-01 00:00:00 when refused
    protocol::fromRecorderTime(value, fields);
    return fields;
}

std::uint8_t glyphOf(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c == ':') return kGlyphColon;
    if (c == '-') return kGlyphDash;
    return kGlyphBlank;
}

template <std::size_t N>
void fill(std::array<std::uint8_t, N>& glyphs, const char* text) {
    for (std::size_t i = 0; i < N && text[i] != '\0'; ++i) glyphs[i] = glyphOf(text[i]);
}

int originRow(PlayOrigin origin) {
    switch (origin) {
        case PlayOrigin::TimeSearch: return 0;
        case PlayOrigin::Timeline: return 1;
        case PlayOrigin::EventList: return 2;
    }
    return 0;
}

// The play mode's row in the status strip's texts; -1 for none.
int modeRow(session::PlayMode mode) {
    switch (mode) {
        case session::PlayMode::StepBackward: return 0;
        case session::PlayMode::Reverse: return 1;
        case session::PlayMode::Forward: return 2;
        case session::PlayMode::Pause: return 3;
        case session::PlayMode::StepForward: return 4;
        case session::PlayMode::None: break;
    }
    return -1;
}

}  // namespace

TimeDisplayGlyphs timeDisplayGlyphs(protocol::RecorderTime value, HourSystem hours) {
    const protocol::DateTimeFields t = brokenDown(value);
    TimeDisplayGlyphs out;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    fill(out.time, text);
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month + 1, t.day + 1);
    fill(out.date, text);
    if (hours == HourSystem::TwentyFourHour) return out;

    out.indicator = t.hour < 12 ? kGlyphAm : kGlyphPm;
    int shown = t.hour % 12;
    if (shown == 0) shown = 12;
    out.time[0] = shown >= 10 ? std::uint8_t{1} : kGlyphBlank;
    out.time[1] = static_cast<std::uint8_t>(shown % 10);
    return out;
}

std::string statusStripText(const PlaybackStatus& status, DateFormat format,
                            const std::function<std::string(std::uint16_t)>& strings) {
    const auto text = [&](std::uint16_t first, int row) {
        return strings ? strings(static_cast<std::uint16_t>(first + row)) : std::string();
    };
    std::vector<std::string> parts;
    parts.push_back(text(stringNumber("status strip: origins"), originRow(status.origin)));
    if (const int row = modeRow(status.mode); row >= 0)
        parts.push_back(text(stringNumber("status strip: play modes"), row));
    if (status.speed != 0) {
        char speed[16];
        std::snprintf(speed, sizeof speed, "%sx%d", status.speed < 0 ? "-" : "", std::abs(status.speed));
        parts.emplace_back(speed);
    }
    const protocol::DateTimeFields t = brokenDown(status.position);
    char clock[16];
    std::snprintf(clock, sizeof clock, " %02d:%02d:%02d", t.hour, t.minute, t.second);
    parts.push_back(formatDate(format, t.year, t.month + 1, t.day + 1) + clock);

    // A text missing from the bundle leaves no gap.
    std::string line;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!line.empty()) line += "  ";
        line += part;
    }
    return line;
}

}  // namespace kalix::app
