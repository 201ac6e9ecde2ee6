#include "session/transfer_writer.h"

#include <algorithm>

#include "protocol/byte_order.h"
#include "protocol/trace.h"

namespace kalix::session {
namespace {

constexpr std::size_t kTypeWordOffset = 16;
constexpr std::size_t kPayloadLengthOffset = 28;
constexpr std::int32_t kBigEndianRecorder = 3;
constexpr std::size_t kMaxQueuedBytes = 64u << 20;

std::uint32_t recorderWord(const std::uint8_t* p, std::int32_t recorder_kind) {
    return recorder_kind == kBigEndianRecorder ? protocol::be32(p) : protocol::le32(p);
}

}  // namespace

TransferUnitKind classifyTransferUnit(std::span<const std::uint8_t> unit, std::int32_t recorder_kind) {
    if (unit.size() < kTypeWordOffset + 4) return TransferUnitKind::Unknown;
    switch (recorderWord(unit.data() + kTypeWordOffset, recorder_kind)) {
    case kVideoUnitMagic: return TransferUnitKind::Video;
    case kAudioUnitMagic: return TransferUnitKind::Audio;
    case kEventLogMagic: return TransferUnitKind::EventLog;
    default: return TransferUnitKind::Unknown;
    }
}

bool frameUnitIsWhole(std::span<const std::uint8_t> unit, std::size_t header_size) {
    if (unit.size() < header_size) return false;
    const std::uint64_t declared = protocol::be32(unit.data() + kPayloadLengthOffset);
    return unit.size() == header_size + declared;
}

std::span<const std::uint8_t> eventLogRecords(std::span<const std::uint8_t> unit, std::int32_t recorder_kind) {
    if (unit.size() < kEventLogHeader) return {};
    const std::uint64_t declared = recorderWord(unit.data() + kPayloadLengthOffset, recorder_kind);
    const std::uint64_t present = unit.size() - kEventLogHeader;
    const std::uint64_t whole = std::min(declared, present) / kArchiveEventSize * kArchiveEventSize;
    return unit.subspan(kEventLogHeader, static_cast<std::size_t>(whole));
}

TransferWriter::TransferWriter(std::unique_ptr<ArchiveStore> store, EventSink& sink, std::int32_t recorder_kind,
                               std::function<void()> write_failed)
    : store_(std::move(store)), sink_(sink), recorder_kind_(recorder_kind), write_failed_(std::move(write_failed)),
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
    bool ok = true;
    switch (classifyTransferUnit(unit, recorder_kind_)) {
    case TransferUnitKind::Video:
        if (frameUnitIsWhole(unit, kTransferVideoHeader)) ok = store_->addVideo(unit);
        else protocol::trace("Video unit of %zu bytes out of step: not stored\n", unit.size());
        break;
    case TransferUnitKind::Audio:
        if (frameUnitIsWhole(unit, kTransferAudioHeader)) ok = store_->addAudio(unit);
        else protocol::trace("Audio unit of %zu bytes out of step: not stored\n", unit.size());
        break;
    case TransferUnitKind::EventLog: {
        protocol::trace("HEAD_TYPE_EVTLOG...\n");
        const auto records = eventLogRecords(unit, recorder_kind_);
        if (!records.empty()) ok = store_->addEvents(records);
        break;
    }
    case TransferUnitKind::Unknown: protocol::trace("Unknown Type...\n"); break;
    }
    if (!ok) fail();
}

void TransferWriter::fail() {
    if (failed_.exchange(true)) return;
    error_ = store_ ? store_->error() : std::string("no archive writer");
    if (error_.empty()) error_ = "write failed";
    if (write_failed_) write_failed_();
}

}  // namespace kalix::session
