#pragma once
// One entry of the recorder's log, as LOG_INFO_ACK carries it: 200 bytes,
// six big-endian words, a 128-byte text and a 48-byte user field.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kalix::session {

inline constexpr std::size_t kRemoteLogEntrySize = 200;
// The log pages' entry table.
inline constexpr std::size_t kRemoteLogCapacity = 2500;

struct RemoteLogEntry {
    std::uint32_t number = 0;
    std::uint32_t size = 0;
    std::uint32_t category = 0;  // bit 0 power, 1 record, 2 operation, 3 client, 4 event
    std::uint32_t type = 0;      // the lowest set bit is the type within the category
    std::int32_t time = 0;       // seconds since 1970 on the recorder's clock
    std::uint32_t parameter = 0; // event entries: channel mask; camera types: camera number
    std::array<std::uint8_t, 128> text{};
    std::array<std::uint8_t, 48> user{};
    friend bool operator==(const RemoteLogEntry&, const RemoteLogEntry&) = default;
};

// The entries of one log answer, at most kRemoteLogCapacity, in the order
// sent (see RecorderLogs for the rules on sizes).
std::vector<RemoteLogEntry> parseLogEntries(std::span<const std::uint8_t> answer);

// A whole log answer, or its refusal (its notice comes separately).
struct LogAnswer {
    std::vector<RemoteLogEntry> entries;
    bool refused = false;
    bool cut = false;  // more entries came than the table holds
    friend bool operator==(const LogAnswer&, const LogAnswer&) = default;
};

// A whole STATUS_INFO_ACK, or its refusal.
struct StatusAnswer {
    std::vector<std::uint8_t> bytes;
    bool refused = false;
    friend bool operator==(const StatusAnswer&, const StatusAnswer&) = default;
};

}  // namespace kalix::session
