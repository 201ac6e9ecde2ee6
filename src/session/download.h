#pragma once
// Backup download: the backup searches (TRANS_INFO_MONTH, TRANS_INFO_DAY),
// the size of a range ("Calculate": TRANS_ON_REQ, CAPA_CAL_CANCEL), and the
// transfer (TRANS_DATA_REQ) whose units the receive thread reassembles and
// hands, each whole, to a TransferWriter.
//
// Every end of a transfer goes through one path: TRANS_OFF_REQ unless the
// connection is gone (and only once), every unit received before it
// written, the pair closed, then DownloadEnded. The ends are TRANS_ON_DONE,
// TRANS_ON_FAIL, the operator's stop, a failed write (ended by a thread of
// its own, since the writer cannot join itself) and the session's close.
// A unit that arrives after the end was decided is not stored.
//
// Threads: requests and stop() on the owner's thread, handlers on the
// receive thread, the writer and the write-failure stop on their own.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "protocol/message_header.h"
#include "protocol/recorder_time.h"
#include "session/event_sink.h"
#include "session/login_state.h"
#include "session/reassembly_buffer.h"
#include "session/session_core.h"
#include "session/transfer_writer.h"

namespace kalix::session {

inline constexpr std::uint8_t kAllRecordingKinds = 0x3F;

// The range of TRANS_ON_REQ and TRANS_DATA_REQ.
struct DownloadRange {
    std::uint32_t channels = 0;
    std::uint8_t kinds = kAllRecordingKinds;  // 1 << kind for an event backup
    protocol::RecorderTime start = 0;
    protocol::RecorderTime end = 0;
};

// {mask, kinds, 11 zero bytes, start, end}, words big-endian.
std::array<std::uint8_t, 24> rangePayload(const DownloadRange& range);

class Download {
public:
    Download(SessionCore& core, LoginState& login_state);
    ~Download();  // ends a transfer left running (as a close would)
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // The backup calendar: answers come as SearchAnswer marked backup.
    void requestMonth();
    void requestDay(int year, int month1, int day1);
    bool searchPending() const { return search_pending_.load(); }

    // "Calculate": the answer comes as DownloadSize.
    void calculate(const DownloadRange& range);
    // CAPA_CAL_CANCEL.
    void cancelCalculation();
    bool sizePending() const { return size_pending_.load(); }

    // "Backup": starts the writer with the store `make_store` makes, then
    // sends TRANS_DATA_REQ; the progress window opens with the expected
    // size. False when a transfer runs already.
    bool start(const DownloadRange& range, const ArchiveStoreFactory& make_store, std::uint32_t expected_kib = 0);
    // The progress window's "Stop".
    void stop() { end(DownloadEndReason::Cancelled); }
    // The session's close: a cancel, or a loss when the connection is gone.
    void stopForClose();
    bool active() const { return active_.load(); }

    // The two words of a TRANS_ON_NACK with reason 87 (a capacity shortage
    // on the recorder), 0 until one came.
    std::pair<std::uint32_t, std::uint32_t> shortage() const { return {shortage_a_.load(), shortage_b_.load()}; }

    // Handlers, fed by the dispatch table.
    void onInfoAnswer(const protocol::MessageHeader& last, std::span<const std::uint8_t> answer);
    void onInfoRefusal(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onSize(std::span<const std::uint8_t> payload);
    void onSizeRefusal(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onUnit(std::span<const std::uint8_t> unit);
    void onDone() { end(DownloadEndReason::Done); }
    void onFail(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    void end(DownloadEndReason reason);
    void writeFailed();
    void sendStopOnce();

    SessionCore& core_;
    LoginState& login_state_;
    std::atomic<bool> search_pending_{false};
    std::atomic<bool> size_pending_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> off_sent_{false};
    std::atomic<bool> connection_gone_{false};
    std::atomic<std::uint32_t> shortage_a_{0};
    std::atomic<std::uint32_t> shortage_b_{0};

    // -- receive thread only --
    ReassemblyBuffer info_reply_;
    ReassemblyBuffer unit_buffer_;

    // -- guarded by writer_mutex_ --
    std::mutex writer_mutex_;
    std::unique_ptr<TransferWriter> writer_;
    // -- guarded by failure_mutex_ --
    std::mutex failure_mutex_;
    std::jthread failure_stop_;  // ends a transfer whose write failed
    // One end at a time; taken before writer_mutex_.
    std::mutex end_mutex_;
};

}  // namespace kalix::session
