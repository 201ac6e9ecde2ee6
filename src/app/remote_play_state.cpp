#include "app/remote_play_state.h"

#include <utility>

namespace kalix::app {
namespace {

// Only whole records are kept; a torn tail would be read as a record.
std::vector<std::uint8_t> wholeRecords(std::vector<std::uint8_t> bytes, std::size_t record) {
    bytes.resize(bytes.size() - bytes.size() % record);
    return bytes;
}

}  // namespace

void RemotePlayState::begin(RemotePlayInit init, std::optional<std::uint8_t> event_kind) {
    active_ = true;
    origin_ = event_kind ? PlayOrigin::EventList : init.origin;
    start_ = init.start;
    position_ = init.start;
    channel_mask_ = init.channel_mask;
    event_kind_ = event_kind;
    month_copy_ = wholeRecords(std::move(init.month_copy), kMonthRecordBytes);
    // The day table travels with a month table only.
    day_copy_ = month_copy_.empty() ? std::vector<std::uint8_t>{} : wholeRecords(std::move(init.day_copy), kDayRecordBytes);
}

void RemotePlayState::clear() { *this = RemotePlayState{}; }

}  // namespace kalix::app
