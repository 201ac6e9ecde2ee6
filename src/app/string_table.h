#pragma once
// The program's English string table: every text the operator reads, by
// its string number. The resource bundle is generated from this table, and
// the Qt-free code falls back on it when it needs a text without the bundle.

#include <cstdint>
#include <span>
#include <string_view>

namespace kalix::app {

struct StringEntry {
    std::uint16_t id;
    std::string_view text;
};

// First and last number of the operator texts (5004 is the one older entry
// below the range, the name of a local-settings record in the operation log).
inline constexpr std::uint16_t kFirstStringId = 5051;
inline constexpr std::uint16_t kLastStringId = 6141;

// Tooltips of the main window's controls: kMainTooltipBase + control id - 300
// (controls 300..378 and the sliders 420, 421).
inline constexpr std::uint16_t kMainTooltipBase = 5900;
constexpr std::uint16_t mainTooltipId(int control_id) {
    return static_cast<std::uint16_t>(kMainTooltipBase + control_id - 300);
}

// The whole table, sorted by number, numbers unique.
std::span<const StringEntry> stringTable();

// The text of a number; empty when the table has none.
std::string_view stringText(std::uint16_t id);

}  // namespace kalix::app
