#include "session/transfer_writer.h"

#include "protocol/trace.h"

namespace kalix::session {
namespace {

constexpr std::size_t kMaxQueuedBytes = 64u << 20;

}  // namespace

TransferWriter::TransferWriter(std::unique_ptr<ArchiveStore> store, EventSink& sink, std::function<void()> write_failed)
    : store_(std::move(store)), sink_(sink), write_failed_(std::move(write_failed)),
      thread_([this](std::stop_token stop) { run(stop); }) {}

TransferWriter::~TransferWriter() { finish(); }

void TransferWriter::push(std::span<const std::uint8_t> unit) {
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return finishing_ || queued_bytes_ < kMaxQueuedBytes; });
        if (finishing_) return;
        queue_.emplace_back(unit.begin(), unit.end());
        queued_bytes_ += unit.size();
    }
    wake_.notify_one();
}

std::size_t TransferWriter::queued() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

TransferWriter::Result TransferWriter::finish() {
    if (result_) return *result_;
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    room_.notify_all();
    if (thread_.joinable()) thread_.join();
    Result result;
    result.bytes = bytes_;
    if (failed_) result.error = error_;
    result_ = result;
    return result;
}

void TransferWriter::run(std::stop_token stop) {
    if (!store_ || !store_->open()) fail();
    for (;;) {
        std::vector<std::uint8_t> unit;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [this] { return !queue_.empty() || finishing_; });
            if (queue_.empty()) break;  // finishing, and everything queued is written
            unit = std::move(queue_.front());
            queue_.pop_front();
            queued_bytes_ -= unit.size();
        }
        room_.notify_one();
        store(unit);
    }
    if (store_) store_->close();
    protocol::trace("Transfer end...\n");
}

void TransferWriter::store(std::span<const std::uint8_t> unit) {
    bytes_ += unit.size();
    const std::uint64_t kib = bytes_ >> 10;
    if (!any_posted_ || kib != kib_posted_) {
        any_posted_ = true;
        kib_posted_ = kib;
        sink_.post(WindowPost{WindowMessage::ProgressPosition, Owner::MainWindow, static_cast<std::uint32_t>(kib)});
    }
    if (failed_) return;
    const bool ok = store_->add(unit);
    if (!ok) fail();
}

void TransferWriter::fail() {
    if (failed_.exchange(true)) return;
    error_ = store_ ? store_->error() : std::string("no archive writer");
    if (error_.empty()) error_ = "write failed";
    if (write_failed_) write_failed_();
}

}  // namespace kalix::session
