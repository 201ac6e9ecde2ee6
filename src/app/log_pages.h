#pragma once
// The log pages of the remote search dialog without their widgets: which
// entries each page lists, newest first, and the five columns of each row
// (number, date and time, name, user, details), the Play and Detail
// buttons and the detail list.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/local_settings.h"
#include "session/remote_log_entry.h"
#include "session/remote_playback.h"

namespace kalix::app {

enum class LogPage : std::uint8_t { All, Power, Record, Operation, Client, Event, Archive, Local };
inline constexpr std::size_t kRemoteLogPages = 7;

// "all", "power" ... "local", as kalix-cli names them.
std::string_view logPageKey(LogPage page);
std::optional<LogPage> logPageFromKey(std::string_view key);
// "Remote Log All" ... "Local Log": the printed document's name.
std::string_view logDocumentName(LogPage page);
// The string number of the page's printed title and of its tab.
std::uint16_t logTitleId(LogPage page);
std::uint16_t logTabId(LogPage page);

// One row of a list: the texts of its columns, and the string numbers of
// the texts taken from the string table (for the name column of a log row,
// the info pages' labels).
struct ListRow {
    std::vector<std::string> cols;
    std::vector<std::optional<std::uint16_t>> ids;
    friend bool operator==(const ListRow&, const ListRow&) = default;
};

// Column widths in pixels.
inline constexpr std::array<int, 5> kRemoteLogColumns{50, 150, 120, 70, 336};
inline constexpr std::array<int, 5> kDetailColumns{50, 150, 280, 70, 336};
inline constexpr std::array<int, 5> kLocalLogColumns{40, 144, 120, 70, 160};

// Category and type of an entry: the lowest set bit (category: of bits
// 0..4), or none.
std::optional<int> lowestBit(std::uint32_t mask, int below = 32);

// "1970-01-01 00:00:00" in the chosen date format, from seconds broken
// down as they are (the recorder's clock, or the local log's local time).
std::string logTimeText(DateFormat format, std::int64_t seconds);

// Bytes of a fixed text field up to its first zero, as UTF-8 (bytes above
// 0x7F are read as Latin-1).
std::string fieldText(std::span<const std::uint8_t> field);

class LogPageModel {
public:
    // `extended`: the recorder reports the extended log (operation types 13
    // and above, the Archive page).
    LogPageModel(LogPage page, std::vector<session::RemoteLogEntry> entries, DateFormat format,
                 bool extended = false);

    LogPage page() const { return page_; }
    const std::vector<ListRow>& rows() const { return rows_; }
    // The entry a list row shows.
    const session::RemoteLogEntry& entryOf(std::size_t row) const { return entries_[row_entry_[row]]; }

    // The Event page's Play: enabled for event entries of type 0, 1 or 2
    // while no local player runs.
    bool playEnabled(std::size_t row, bool local_player_running) const;
    // The request Play sends: the entry's channels at the entry's time.
    std::optional<session::PlayStart> playRequest(std::size_t row, bool local_player_running) const;

    // The Operation page's Detail: operation entries of type 4, 9 (and 13
    // and above with the extended log).
    bool detailEnabled(std::size_t row) const;
    std::vector<ListRow> detailRows(std::size_t row) const;

private:
    bool keeps(const session::RemoteLogEntry& entry) const;
    ListRow rowFor(const session::RemoteLogEntry& entry) const;

    LogPage page_;
    std::vector<session::RemoteLogEntry> entries_;
    DateFormat format_;
    bool extended_;
    std::vector<ListRow> rows_;
    std::vector<std::size_t> row_entry_;
};

// The name of an entry: its text (a string-table name gets a leading
// space, as the literal names have) and the string number when it has one.
struct EntryName {
    std::string text;
    std::optional<std::uint16_t> id;
};
EntryName remoteEntryName(const session::RemoteLogEntry& entry);

}  // namespace kalix::app
