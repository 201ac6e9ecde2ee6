#pragma once
// Month, day and event searches for the remote search dialog. The answers
// come in fragments and are gathered in one reply buffer of at most
// 2,400,000 bytes; at the last fragment the whole records go to the owner
// as a SearchAnswer, and the month and day tables are kept for remote
// playback's day changes. Refusals end the request with an empty answer
// marked refused (and their notice, from the refusal feature).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "protocol/message_header.h"
#include "session/event_sink.h"
#include "session/reassembly_buffer.h"
#include "session/session_core.h"

namespace kalix::session {

inline constexpr std::size_t kSearchReplyLimit = 2'400'000;

class Search {
public:
    explicit Search(SessionCore& core);

    // Each request clears the reply buffer and marks the search pending.
    void requestMonth();
    // month 1-12, day 1-31.
    void requestDay(int year, int month, int day);
    // kind 1, 2 or 7; page 0 for the first page.
    void requestEvents(std::uint32_t kind, std::uint32_t page);

    bool pending() const { return pending_.load(); }
    // The last month (376-byte records) and day (24-byte records) tables.
    std::vector<std::uint8_t> monthCopy() const;
    std::vector<std::uint8_t> dayCopy() const;

    // Handlers, fed by the dispatch table.
    void onAnswer(const protocol::MessageHeader& last, std::span<const std::uint8_t> answer);
    void onRefusal(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    SessionCore& core_;
    std::atomic<bool> pending_{false};
    // -- receive thread only --
    ReassemblyBuffer reply_;
    // -- guarded by copies_mutex_ --
    mutable std::mutex copies_mutex_;
    std::vector<std::uint8_t> month_copy_;
    std::vector<std::uint8_t> day_copy_;
};

}  // namespace kalix::session
