#pragma once
// The recorder's log and its status information, for the log and
// information pages of the remote search dialog.
//
// LOG_INFO_ACK and STATUS_INFO_ACK come in fragments and are gathered in a
// reply buffer of at most 2,400,000 bytes (a longer answer is cut there and
// the rest of its fragments dropped, so the stream stays in step). Only an
// answer to our own request is taken; one nobody asked for is dropped.
//
// A log answer is a run of entries of one size, named by the second word of
// the first entry. A size below 200 bytes (0 included) cannot hold an entry
// and gives no entries; a larger size is a stride of which the first 200
// bytes are read; a partial entry at the end is left out; the entry table
// holds at most 2,500 entries and further entries are not taken.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "protocol/message_header.h"
#include "session/event_sink.h"
#include "session/reassembly_buffer.h"
#include "session/session_core.h"

namespace kalix::session {

inline constexpr std::size_t kInfoReplyLimit = 2'400'000;

class RecorderLogs {
public:
    explicit RecorderLogs(SessionCore& core);

    // LOG_INFO_REQ: empties the reply buffer first; the answer comes as a
    // LogAnswer. Ignored while a log request is pending.
    void requestLog();
    // STATUS_INFO_REQ: the answer comes as a StatusAnswer.
    void requestStatus();

    bool logPending() const { return log_asked_.load(); }
    bool statusPending() const { return status_asked_.load(); }
    // The session's copy of the last log and status answers (empty: none).
    std::vector<RemoteLogEntry> logCopy() const;
    std::vector<std::uint8_t> statusCopy() const;

    // Handlers, fed by the dispatch table.
    void onLog(std::span<const std::uint8_t> answer);
    void onStatus(std::span<const std::uint8_t> answer);
    void onRefusal(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    SessionCore& core_;
    std::atomic<bool> log_asked_{false};
    std::atomic<bool> status_asked_{false};
    // -- receive thread only --
    ReassemblyBuffer reply_;
    // -- guarded by copies_mutex_ --
    mutable std::mutex copies_mutex_;
    std::vector<RemoteLogEntry> log_copy_;
    std::vector<std::uint8_t> status_copy_;
};

}  // namespace kalix::session
