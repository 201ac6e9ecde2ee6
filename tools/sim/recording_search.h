#pragma once
// The recorder's searches over its recordings: PLAY_INFO_MONTH_REQ is
// answered with one 376-byte record per year that holds recordings
// (PLAY_INFO_MONTH_NACK with reason 83 when nothing is recorded at all),
// PLAY_INFO_DAY_REQ with the 24-byte records of the stretches that touch the
// day, and EVENT_INFO_REQ with a page of events in EVENT_INFO_ACK_BYPG:
// word 0 the kind asked for, word 1 the number of events of that kind,
// word 2 the number of pages (20 events a page), then the page's records.
// Long answers go in several messages, cut between records, the last one
// marked as the last fragment. Only the recorder's channels are reported.

#include <cstdint>
#include <memory>
#include <span>

#include "sim/client_link.h"
#include "sim/recording_schedule.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// A day that PLAY_INFO_DAY_REQ can name: month 1-12 and a day that exists.
bool isCalendarDay(std::int64_t year, unsigned month, unsigned day);

class RecordingSearch final : public SimFeature {
public:
    RecordingSearch(ClientLink& link, std::shared_ptr<const RecordingSchedule> schedule)
        : link_(link), schedule_(std::move(schedule)) {}

    void registerHandlers(HandlerTable& table) override;

private:
    void onMonth();
    void onDay(std::span<const std::uint8_t> payload);
    void onEvents(std::span<const std::uint8_t> payload);
    // Sends `answer` (a header of `head` bytes, then records of `record`
    // bytes) in as many messages as the configuration and the message size
    // allow.
    void sendRecords(protocol::Code code, std::span<const std::uint8_t> answer, std::size_t head, std::size_t record);
    void refuse(protocol::Code refusal, std::int32_t reason);
    std::uint16_t channels() const;

    ClientLink& link_;
    std::shared_ptr<const RecordingSchedule> schedule_;  // never null
};

}  // namespace kalix::sim
