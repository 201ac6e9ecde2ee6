#pragma once
// Backup download from the recorder's side.
//
// Searches: TRANS_INFO_MONTH_REQ and TRANS_INFO_DAY_REQ are answered with
// the same month and day tables as the playback searches.
//
// Size: TRANS_ON_REQ {mask, kinds, 11 zero bytes, start, end} is answered
// with TRANS_ON_ACK and the range's size in KiB, estimated from the frames
// the range holds (or the size configured); with a calculation delay the
// answer comes late, and CAPA_CAL_CANCEL drops it.
//
// Transfer: TRANS_DATA_REQ streams the range as TRANS_ON_DATA units at full
// speed: first one event-log unit (64-byte header, type word 0x20100611,
// the byte length of the records at 28, then a 32-byte record per event of
// the range on the asked-for channels: time, end, mask, kind, token), then
// the channels' frames merged by time, each channel starting at the key
// frame at or before its first frame in the range, as 192-byte
// VideoFrameHeader units whose segment key (offset 40) counts the gaps of
// the stream; with audio on, an audio unit every 8 ms of recorded time.
// Then TRANS_ON_DONE. TRANS_OFF_REQ stops the stream and is answered with
// TRANS_OFF_ACK. Faults on demand: TRANS_ON_FAIL or a closed connection
// after so many units.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sim/client_link.h"
#include "sim/recording_schedule.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

inline constexpr std::uint32_t kEventLogTypeWord = 0x20100611;
inline constexpr std::size_t kEventLogHeaderSize = 64;
inline constexpr std::size_t kArchiveEventSize = 32;
inline constexpr std::size_t kSegmentKeyOffset = 40;

struct BackupRange {
    std::uint16_t mask = 0;
    RecorderSeconds start = 0;
    RecorderSeconds end = 0;  // inclusive
};

// The event-log unit of a range: every event of the schedule with its time
// in the range on one of the range's channels.
std::vector<std::uint8_t> eventLogUnit(const RecordingSchedule& schedule, const BackupRange& range,
                                       bool low_byte_first);

// The estimated size of the range's units, in KiB.
std::uint32_t estimatedKib(const RecordingSchedule& schedule, const BackupRange& range, const VideoSettings& video);

class BackupTransfer final : public SimFeature {
public:
    BackupTransfer(ClientLink& link, std::shared_ptr<const RecordingSchedule> schedule)
        : link_(link), schedule_(std::move(schedule)) {}

    void registerHandlers(HandlerTable& table) override;
    void onDisconnect() override { stop_streaming_->store(true); }

private:
    void onMonth();
    void onDay(std::span<const std::uint8_t> payload);
    void onSize(std::span<const std::uint8_t> payload);
    void onData(std::span<const std::uint8_t> payload);
    void onStop();
    BackupRange rangeOf(std::span<const std::uint8_t> payload) const;

    ClientLink& link_;
    std::shared_ptr<const RecordingSchedule> schedule_;  // never null
    std::atomic<std::uint64_t> size_generation_{0};
    // Set to stop the running stream; each stream gets a fresh flag.
    std::shared_ptr<std::atomic<bool>> stop_streaming_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace kalix::sim
