#include "sim/recording_search.h"

#include <algorithm>
#include <array>
#include <string>

#include "protocol/byte_order.h"
#include "sim/fault_injection.h"
#include "sim/hello_reply.h"

namespace kalix::sim {
namespace {

using protocol::Code;

constexpr std::int32_t kReasonNothingRecorded = 83;
constexpr std::int32_t kReasonFailure = 1;

}  // namespace

bool isCalendarDay(std::int64_t year, unsigned month, unsigned day) {
    if (month < 1 || month > 12 || day < 1 || year < 1970 || year > 2106) return false;
    const std::int64_t first = daysFromCivil(year, month, 1);
    const std::int64_t next = month == 12 ? daysFromCivil(year + 1, 1, 1) : daysFromCivil(year, month + 1, 1);
    return day <= next - first;
}

void RecordingSearch::registerHandlers(HandlerTable& table) {
    table.add(Code::PLAY_INFO_MONTH_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onMonth(); });
    table.add(Code::PLAY_INFO_DAY_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> payload) { onDay(payload); });
    table.add(Code::EVENT_INFO_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> payload) { onEvents(payload); });
}

std::uint16_t RecordingSearch::channels() const {
    return static_cast<std::uint16_t>(channelBits(link_.config().channel_num));
}

void RecordingSearch::onMonth() {
    if (refuseOnDemand(link_, Code::PLAY_INFO_MONTH_REQ)) return;
    const auto table = schedule_->monthTable(channels());
    if (table.empty()) {
        refuse(Code::PLAY_INFO_MONTH_NACK, kReasonNothingRecorded);
        return;
    }
    sendRecords(Code::PLAY_INFO_MONTH_ACK, table, 0, kYearRecordSize);
    link_.logEvent("month table: " + std::to_string(table.size() / kYearRecordSize) + " years");
}

void RecordingSearch::onDay(std::span<const std::uint8_t> payload) {
    if (refuseOnDemand(link_, Code::PLAY_INFO_DAY_REQ)) return;
    // The core hands on nothing but 8 bytes: year, month, day, two zeros.
    const std::uint32_t year = protocol::be32(payload.data());
    const unsigned month = payload[4];
    const unsigned day = payload[5];
    if (!isCalendarDay(year, month, day)) {
        link_.event("PLAY_INFO_DAY_REQ for no day: " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                    std::to_string(day));
        refuse(Code::PLAY_INFO_DAY_NACK, kReasonFailure);
        return;
    }
    const auto table = schedule_->dayTable({year, month, day}, channels());
    sendRecords(Code::PLAY_INFO_DAY_ACK, table, 0, kDayRecordSize);
    link_.logEvent("day table " + std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day) +
                   ": " + std::to_string(table.size() / kDayRecordSize) + " stretches");
}

void RecordingSearch::onEvents(std::span<const std::uint8_t> payload) {
    if (refuseOnDemand(link_, Code::EVENT_INFO_REQ)) return;
    const std::uint32_t kind = protocol::be32(payload.data());
    const std::uint32_t page = protocol::be32(payload.data() + 4);
    const auto answer = schedule_->eventPage(kind, page, channels());
    sendRecords(Code::EVENT_INFO_ACK_BYPG, answer, kEventPageHeaderSize, kEventRecordSize);
    link_.logEvent("event page " + std::to_string(page) + " of kind " + std::to_string(kind) + ": " +
                   std::to_string((answer.size() - kEventPageHeaderSize) / kEventRecordSize) + " events");
}

void RecordingSearch::sendRecords(Code code, std::span<const std::uint8_t> answer, std::size_t head,
                                  std::size_t record) {
    const std::size_t fit = (protocol::kMaxPayload - head) / record;
    const std::uint32_t asked = link_.config().recordings.records_per_message;
    const std::size_t per_message = asked == 0 ? fit : std::min<std::size_t>(asked, fit);
    std::size_t offset = 0;
    do {
        const std::size_t take = std::min(answer.size() - offset, (offset == 0 ? head : 0) + per_message * record);
        const bool last = offset + take == answer.size();
        if (!link_.sendMessage(static_cast<std::uint16_t>(code), answer.subspan(offset, take),
                               last ? protocol::Fragment::Last : protocol::Fragment::More)) {
            return;
        }
        offset += take;
    } while (offset < answer.size());
}

void RecordingSearch::refuse(Code refusal, std::int32_t reason) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
    link_.sendMessage(refusal, payload);
}

}  // namespace kalix::sim
