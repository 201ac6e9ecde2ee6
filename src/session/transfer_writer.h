#pragma once
// The writer side of a download: a queue of whole units filled by the
// session's receive thread and emptied by the writer's own thread, which
// stores them in archive pairs. The receive thread only copies and appends;
// every file operation happens here.
//
// Every unit received is counted (the progress) and handed to the store,
// which judges it. After the first failed write nothing more is handed on:
// the pair is closed over the units already stored, so it stays readable.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "session/event_sink.h"

namespace kalix::session {

// One download's archive pairs, used by the writer thread alone. The store
// opens its first pair in open(), opens further pairs itself when a pair is
// full, and reports every pair it closes. A false result means the write
// failed; error() then holds the system's text.
class ArchiveStore {
public:
    virtual ~ArchiveStore() = default;
    virtual bool open() = 0;
    // One whole unit as the recorder sent it: stored, kept (event records)
    // or dropped when it is malformed; false only when a write failed.
    virtual bool add(std::span<const std::uint8_t> unit) = 0;
    // Closes the open pair (blocks, events, summary, both trailers), also
    // after a failed write. Nothing when no pair is open.
    virtual void close() = 0;
    virtual std::string error() const = 0;
};

// Makes the store of one download; `closed` is called (on the writer
// thread) for every pair the store closes.
using ArchiveStoreFactory = std::function<std::unique_ptr<ArchiveStore>(
    std::int32_t recorder_kind, std::function<void(const ArchivePairClosed&)> closed)>;

class TransferWriter {
public:
    struct Result {
        std::uint64_t bytes = 0;           // bytes of all units received
        std::optional<std::string> error;  // the first failed write
    };

    // Starts the writer thread, which opens the first pair. `write_failed`
    // is called once, on the writer thread, at the first failed write.
    TransferWriter(std::unique_ptr<ArchiveStore> store, EventSink& sink, std::function<void()> write_failed);
    ~TransferWriter();  // finish() when the owner has not
    TransferWriter(const TransferWriter&) = delete;
    TransferWriter& operator=(const TransferWriter&) = delete;

    // Queues a copy of one whole unit (receive thread). While the writer
    // is far behind, waits for room: the recorder is then held back by TCP
    // instead of filling our memory.
    void push(std::span<const std::uint8_t> unit);
    // Stores every unit queued so far, closes the pair and ends the thread.
    Result finish();

    bool failed() const { return failed_.load(); }
    std::size_t queued() const;

private:
    void run(std::stop_token stop);
    void store(std::span<const std::uint8_t> unit);
    void fail();

    std::unique_ptr<ArchiveStore> store_;
    EventSink& sink_;
    std::function<void()> write_failed_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;   // a unit queued, or the finish
    std::condition_variable room_;       // the writer took a unit
    // -- guarded by mutex_ --
    std::deque<std::vector<std::uint8_t>> queue_;
    std::size_t queued_bytes_ = 0;
    bool finishing_ = false;

    // -- writer thread only --
    std::uint64_t bytes_ = 0;
    std::uint64_t kib_posted_ = 0;
    bool any_posted_ = false;
    std::string error_;

    std::atomic<bool> failed_{false};
    std::optional<Result> result_;  // owner's thread, after the join
    std::jthread thread_;           // last: joined before the members it uses go
};

}  // namespace kalix::session
