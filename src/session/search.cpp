#include "session/search.h"

#include <algorithm>
#include <array>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

namespace {

// The recorder's reason for a month search without recordings.
constexpr std::int32_t kNothingRecorded = 83;
// EVENT_INFO_ACK_BYPG: three leading words, then the records.
constexpr std::size_t kPageWords = 12;

SearchKind kindOf(std::uint16_t code) {
    switch (static_cast<Code>(code)) {
    case Code::PLAY_INFO_MONTH_ACK:
    case Code::PLAY_INFO_MONTH_NACK: return SearchKind::Month;
    case Code::PLAY_INFO_DAY_ACK:
    case Code::PLAY_INFO_DAY_NACK: return SearchKind::Day;
    case Code::EVENT_INFO_ACK_BYPG:
    case Code::EVENT_INFO_NACK_BYPG: return SearchKind::EventPage;
    default: return SearchKind::Events;
    }
}

}  // namespace

Search::Search(SessionCore& core) : core_(core), reply_(kSearchReplyLimit, ReassemblyBuffer::Overflow::Truncate) {
    DispatchTable& table = core_.handlers();
    for (Code code : {Code::PLAY_INFO_MONTH_ACK, Code::PLAY_INFO_DAY_ACK, Code::EVENT_INFO_ACK, Code::EVENT_INFO_ACK_BYPG})
        table.onUnit(code, reply_, [this](const auto& h, auto p) { onAnswer(h, p); });
    for (Code code : {Code::PLAY_INFO_MONTH_NACK, Code::PLAY_INFO_DAY_NACK, Code::EVENT_INFO_NACK,
                      Code::EVENT_INFO_NACK_BYPG})
        table.on(code, [this](const auto& h, auto p) { onRefusal(h, p); });
}

void Search::requestMonth() {
    pending_ = true;
    core_.send(Code::PLAY_INFO_MONTH_REQ);
}

void Search::requestDay(int year, int month, int day) {
    std::array<std::uint8_t, 8> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(year));
    payload[4] = static_cast<std::uint8_t>(month);
    payload[5] = static_cast<std::uint8_t>(day);
    pending_ = true;
    core_.send(Code::PLAY_INFO_DAY_REQ, payload);
}

void Search::requestEvents(std::uint32_t kind, std::uint32_t page) {
    std::array<std::uint8_t, 8> payload{};
    protocol::putBe32(payload.data(), kind);
    protocol::putBe32(payload.data() + 4, page);
    pending_ = true;
    core_.send(Code::EVENT_INFO_REQ, payload);
}

std::vector<std::uint8_t> Search::monthCopy() const {
    std::lock_guard lock(copies_mutex_);
    return month_copy_;
}

std::vector<std::uint8_t> Search::dayCopy() const {
    std::lock_guard lock(copies_mutex_);
    return day_copy_;
}

void Search::onAnswer(const MessageHeader& last, std::span<const std::uint8_t> answer) {
    SearchAnswer result;
    result.kind = kindOf(last.code());
    if (result.kind == SearchKind::EventPage) {
        // A page shorter than its three words is an empty page; missing
        // words read as 0.
        std::array<std::uint8_t, kPageWords> words{};
        std::copy_n(answer.begin(), std::min(answer.size(), kPageWords), words.begin());
        result.word1 = protocol::be32(words.data() + 4);
        result.word2 = protocol::be32(words.data() + 8);
        answer = answer.subspan(std::min(answer.size(), kPageWords));
    }
    const std::size_t size = SearchAnswer::recordSize(result.kind);
    const std::size_t whole = answer.size() / size * size;  // a partial record at the end is left out
    result.records.assign(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(whole));
    if (!result.records.empty() && (result.kind == SearchKind::Month || result.kind == SearchKind::Day)) {
        std::lock_guard lock(copies_mutex_);
        (result.kind == SearchKind::Month ? month_copy_ : day_copy_) = result.records;
    }
    pending_ = false;
    core_.post(std::move(result));
}

void Search::onRefusal(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const SearchKind kind = kindOf(header.code());
    const std::int32_t reason = protocol::ReplyCode(payload);
    pending_ = false;
    SearchAnswer result;
    result.kind = kind;
    // A month search with nothing recorded is an empty month, not a refusal.
    result.refused = !(kind == SearchKind::Month && reason == kNothingRecorded);
    core_.post(std::move(result));
    if (const auto notice = noticeForReason(header.code(), reason))
        core_.post(Notice::fromLParam(*notice, Owner::RemoteSearch));
}

}  // namespace kalix::session
