#include "session/recorder_logs.h"

#include <algorithm>

#include "protocol/byte_order.h"
#include "protocol/trace.h"
#include "protocol/transport.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

std::vector<RemoteLogEntry> parseLogEntries(std::span<const std::uint8_t> answer) {
    std::vector<RemoteLogEntry> entries;
    if (answer.size() < kRemoteLogEntrySize) return entries;
    const std::size_t size = protocol::be32(answer.data() + 4);
    if (size < kRemoteLogEntrySize) return entries;
    const std::size_t count = std::min(answer.size() / size, kRemoteLogCapacity);
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = answer.data() + i * size;
        RemoteLogEntry e;
        e.number = protocol::be32(p);
        e.size = protocol::be32(p + 4);
        e.category = protocol::be32(p + 8);
        e.type = protocol::be32(p + 12);
        e.time = static_cast<std::int32_t>(protocol::be32(p + 16));
        e.parameter = protocol::be32(p + 20);
        std::copy_n(p + 24, e.text.size(), e.text.begin());
        std::copy_n(p + 24 + e.text.size(), e.user.size(), e.user.begin());
        entries.push_back(e);
    }
    return entries;
}

RecorderLogs::RecorderLogs(SessionCore& core) : core_(core), reply_(kInfoReplyLimit, ReassemblyBuffer::Overflow::Truncate) {
    DispatchTable& table = core_.handlers();
    table.onUnit(Code::LOG_INFO_ACK, reply_, [this](const auto&, auto p) { onLog(p); });
    table.onUnit(Code::STATUS_INFO_ACK, reply_, [this](const auto&, auto p) { onStatus(p); });
    // Nothing asks for the system information: the page shows what the
    // login answer told. An answer is taken whole and announced.
    table.onUnit(Code::SYSTEM_INFO_ACK, reply_,
                 [this](const auto&, auto) { core_.post(WindowPost{WindowMessage::SystemInfoReady, Owner::RemoteSearch}); });
    for (Code code : {Code::LOG_INFO_NACK, Code::SYSTEM_INFO_NACK, Code::STATUS_INFO_NACK})
        table.on(code, [this](const auto& h, auto p) { onRefusal(h, p); });
}

void RecorderLogs::requestLog() {
    if (log_asked_.exchange(true)) return;
    core_.send(Code::LOG_INFO_REQ);
}

void RecorderLogs::requestStatus() {
    {
        std::lock_guard lock(copies_mutex_);
        status_copy_.clear();
    }
    status_asked_ = true;
    core_.send(Code::STATUS_INFO_REQ);
}

std::vector<RemoteLogEntry> RecorderLogs::logCopy() const {
    std::lock_guard lock(copies_mutex_);
    return log_copy_;
}

std::vector<std::uint8_t> RecorderLogs::statusCopy() const {
    std::lock_guard lock(copies_mutex_);
    return status_copy_;
}

void RecorderLogs::onLog(std::span<const std::uint8_t> answer) {
    if (!log_asked_.exchange(false)) {
        protocol::trace("Recv...LOG_INFO_ACK nobody asked for, dropped\n");
        return;
    }
    LogAnswer result;
    result.entries = parseLogEntries(answer);
    result.cut = answer.size() >= kRemoteLogEntrySize && !result.entries.empty() &&
                 answer.size() / result.entries.front().size > kRemoteLogCapacity;
    {
        std::lock_guard lock(copies_mutex_);
        log_copy_ = result.entries;
    }
    core_.post(std::move(result));
    core_.post(WindowPost{WindowMessage::LogEntriesReady, Owner::RemoteSearch});
}

void RecorderLogs::onStatus(std::span<const std::uint8_t> answer) {
    if (!status_asked_.exchange(false)) {
        protocol::trace("Recv...STATUS_INFO_ACK nobody asked for, dropped\n");
        return;
    }
    StatusAnswer result;
    result.bytes.assign(answer.begin(), answer.end());
    {
        std::lock_guard lock(copies_mutex_);
        status_copy_ = result.bytes;
    }
    core_.post(std::move(result));
    core_.post(WindowPost{WindowMessage::StatusInfoReady, Owner::RemoteSearch});
}

void RecorderLogs::onRefusal(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const auto code = static_cast<Code>(header.code());
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (code == Code::LOG_INFO_NACK && log_asked_.exchange(false)) {
        LogAnswer refused;
        refused.refused = true;
        core_.post(std::move(refused));
    } else if (code == Code::STATUS_INFO_NACK && status_asked_.exchange(false)) {
        StatusAnswer refused;
        refused.refused = true;
        core_.post(std::move(refused));
    }
    if (const auto notice = noticeForReason(header.code(), reason))
        core_.post(Notice::fromLParam(*notice, Owner::RemoteSearch));
}

}  // namespace kalix::session
