#include "session/download.h"

#include <algorithm>

#include "protocol/byte_order.h"
#include "protocol/trace.h"
#include "protocol/transport.h"
#include "session/reason_notices.h"
#include "session/search.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

namespace {

constexpr std::int32_t kNothingRecorded = 83;
constexpr std::int32_t kRecorderShortage = 87;
constexpr std::size_t kShortagePayload = 12;

}  // namespace

std::array<std::uint8_t, 24> rangePayload(const DownloadRange& range) {
    std::array<std::uint8_t, 24> payload{};
    protocol::putBe32(payload.data(), range.channels);
    payload[4] = range.kinds;
    protocol::putBe32(payload.data() + 16, range.start);
    protocol::putBe32(payload.data() + 20, range.end);
    return payload;
}

Download::Download(SessionCore& core, LoginState& login_state)
    : core_(core), login_state_(login_state), info_reply_(kSearchReplyLimit, ReassemblyBuffer::Overflow::Truncate),
      unit_buffer_(kReassemblyCapacity, ReassemblyBuffer::Overflow::Discard) {
    DispatchTable& table = core_.handlers();
    for (Code code : {Code::TRANS_INFO_MONTH_ACK, Code::TRANS_INFO_DAY_ACK})
        table.onUnit(code, info_reply_, [this](const auto& h, auto p) { onInfoAnswer(h, p); });
    for (Code code : {Code::TRANS_INFO_MONTH_NACK, Code::TRANS_INFO_DAY_NACK})
        table.on(code, [this](const auto& h, auto p) { onInfoRefusal(h, p); });
    table.on(Code::TRANS_ON_ACK, [this](const auto&, auto p) { onSize(p); });
    table.on(Code::TRANS_ON_NACK, [this](const auto& h, auto p) { onSizeRefusal(h, p); });
    table.onUnit(Code::TRANS_ON_DATA, unit_buffer_, [this](const auto&, auto p) { onUnit(p); });
    table.on(Code::TRANS_ON_DONE, [this](const auto&, auto) { onDone(); });
    table.on(Code::TRANS_ON_FAIL, [this](const auto& h, auto p) { onFail(h, p); });
}

Download::~Download() {
    stopForClose();
}

void Download::requestMonth() {
    search_pending_ = true;
    core_.send(Code::TRANS_INFO_MONTH_REQ);
}

void Download::requestDay(int year, int month1, int day1) {
    std::array<std::uint8_t, 8> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(year));
    payload[4] = static_cast<std::uint8_t>(month1);
    payload[5] = static_cast<std::uint8_t>(day1);
    search_pending_ = true;
    protocol::trace("Send... TRANS_INFO_DAY_REQ... %d %d %d\n", year, month1, day1);
    core_.send(Code::TRANS_INFO_DAY_REQ, payload);
}

void Download::calculate(const DownloadRange& range) {
    size_pending_ = true;
    protocol::trace("Send... TRANS_ON_REQ...\n");
    core_.send(Code::TRANS_ON_REQ, rangePayload(range));
}

void Download::cancelCalculation() {
    size_pending_ = false;
    core_.send(Code::CAPA_CAL_CANCEL);
}

bool Download::start(const DownloadRange& range, const ArchiveStoreFactory& make_store, std::uint32_t expected_kib) {
    // Held until TRANS_DATA_REQ is out: a writer that fails at once ends
    // the transfer (and sends TRANS_OFF_REQ) only after it.
    std::lock_guard end_lock(end_mutex_);
    {
        std::lock_guard lock(writer_mutex_);
        if (writer_) return false;
        off_sent_ = false;
        connection_gone_ = false;
        const std::int32_t kind = login_state_.recorder_kind.load();
        auto store = make_store ? make_store(kind, [this](const ArchivePairClosed& pair) { core_.post(pair); })
                                : nullptr;
        writer_ = std::make_unique<TransferWriter>(std::move(store), core_.sink(), [this] { writeFailed(); });
        active_ = true;
    }
    core_.post(WindowPost{WindowMessage::ProgressOpen, Owner::MainWindow, expected_kib});
    protocol::trace("Send... TRANS_DATA_REQ...\n");
    core_.send(Code::TRANS_DATA_REQ, rangePayload(range));
    return true;
}

void Download::stopForClose() {
    if (!core_.receiving()) connection_gone_ = true;
    end(connection_gone_ ? DownloadEndReason::Lost : DownloadEndReason::Cancelled);
    std::jthread failure_stop;
    {
        std::lock_guard lock(failure_mutex_);
        failure_stop = std::move(failure_stop_);
    }
    // failure_stop joins here: it found nothing left to end.
}

void Download::sendStopOnce() {
    if (connection_gone_ || off_sent_.exchange(true)) return;
    protocol::trace("Send...TRANS_OFF_REQ...\n");
    core_.send(Code::TRANS_OFF_REQ);
}

void Download::end(DownloadEndReason reason) {
    std::lock_guard end_lock(end_mutex_);
    std::unique_ptr<TransferWriter> writer;
    {
        std::lock_guard lock(writer_mutex_);
        writer = std::move(writer_);
    }
    if (!writer) return;
    sendStopOnce();
    // Every unit queued before this point is written, then the pair closed.
    const TransferWriter::Result result = writer->finish();
    writer.reset();
    active_ = false;
    DownloadEnded ended{reason, result.bytes, {}};
    if (result.error) {
        ended.reason = DownloadEndReason::WriteError;
        ended.error = *result.error;
    }
    core_.post(WindowPost{WindowMessage::ProgressClose, Owner::MainWindow, 0});
    core_.post(std::move(ended));
}

void Download::writeFailed() {
    // On the writer thread, which cannot join itself: a thread of our own
    // stops the recorder, collects the writer and ends the transfer.
    std::lock_guard lock(failure_mutex_);
    failure_stop_ = std::jthread([this] { end(DownloadEndReason::WriteError); });
}

void Download::onInfoAnswer(const MessageHeader& last, std::span<const std::uint8_t> answer) {
    SearchAnswer result;
    result.backup = true;
    result.kind = last.code() == static_cast<std::uint16_t>(Code::TRANS_INFO_MONTH_ACK) ? SearchKind::Month
                                                                                      : SearchKind::Day;
    const std::size_t size = SearchAnswer::recordSize(result.kind);
    const std::size_t whole = answer.size() / size * size;
    result.records.assign(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(whole));
    search_pending_ = false;
    core_.post(std::move(result));
}

void Download::onInfoRefusal(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const bool month = header.code() == static_cast<std::uint16_t>(Code::TRANS_INFO_MONTH_NACK);
    const std::int32_t reason = protocol::ReplyCode(payload);
    search_pending_ = false;
    SearchAnswer result;
    result.backup = true;
    result.kind = month ? SearchKind::Month : SearchKind::Day;
    // A month with nothing recorded is an empty month, not a refusal.
    result.refused = !(month && reason == kNothingRecorded);
    core_.post(std::move(result));
    if (const auto notice = noticeForReason(header.code(), reason))
        core_.post(Notice::fromLParam(*notice, Owner::RemoteSearch));
}

void Download::onSize(std::span<const std::uint8_t> payload) {
    size_pending_ = false;
    core_.post(DownloadSize{protocol::be32(payload.data()), false});
}

void Download::onSizeRefusal(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (reason == kRecorderShortage && payload.size() == kShortagePayload) {
        shortage_a_ = protocol::be32(payload.data() + 4);
        shortage_b_ = protocol::be32(payload.data() + 8);
    }
    size_pending_ = false;
    if (const auto notice = noticeForReason(header.code(), reason)) core_.post(Notice::fromLParam(*notice));
    core_.post(DownloadSize{0, true});
}

void Download::onUnit(std::span<const std::uint8_t> unit) {
    std::lock_guard lock(writer_mutex_);
    if (writer_) writer_->push(unit);
}

void Download::onFail(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    end(DownloadEndReason::Failed);
    if (const auto notice = noticeForReason(header.code(), reason)) core_.post(Notice::fromLParam(*notice));
}

}  // namespace kalix::session
