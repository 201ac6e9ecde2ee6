#pragma once
// The branding file ClientCD.bin: four text lines that name the program,
// its storage folder word, and the date format and draw mode used when the
// settings hold none. Lines end at a carriage return only; line feeds are
// dropped wherever they stand, so a file written with bare line feeds is
// one long first line.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalix::app {

inline constexpr std::size_t kProfileLineCapacity = 259;
inline constexpr const char* kProfileFileName = "ClientCD.bin";

enum class DateFormat : std::uint8_t { YearMonthDay = 0, MonthDayYear = 1, DayMonthYear = 2 };
enum class DrawMode : std::uint8_t { Yuv = 0, Rgb = 1 };

struct ClientProfile {
    std::string title = "Kalix";           // line 1: window title
    std::string folder_word = "Kalix";     // line 2: default storage folder word
    std::string date_format = "YYYY-MM-DD";  // line 3
    std::string draw_mode = "YUV";           // line 4

    // Line 3 compared without regard to case; anything unknown is year first.
    DateFormat defaultDateFormat() const;
    // Line 4 likewise; anything but "RGB" is the YUV path.
    DrawMode defaultDrawMode() const;

    friend bool operator==(const ClientProfile&, const ClientProfile&) = default;
};

// Reads the four lines from the file's bytes. A line that is empty keeps
// its default; a longer one than kProfileLineCapacity is cut there (the
// rest of that line is skipped, not carried into the next).
ClientProfile parseClientProfile(std::span<const std::uint8_t> bytes);

// The first of `candidates` that can be read, parsed; the defaults when
// none can.
ClientProfile loadClientProfile(const std::vector<std::filesystem::path>& candidates);

}  // namespace kalix::app
