#include "sim/backup_transfer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/stop_wait.h"
#include "protocol/byte_order.h"
#include "sim/fault_injection.h"
#include "sim/hello_reply.h"
#include "sim/live_audio.h"
#include "sim/recorded_video.h"
#include "sim/recording_search.h"

namespace kalix::sim {
namespace {

using protocol::Code;

constexpr std::int32_t kReasonNothingRecorded = 83;
constexpr std::int32_t kReasonFailure = 1;
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
constexpr std::uint64_t kAudioUnitMicros = 8'000;
// Frames further apart than this are a gap: the next frame starts a new
// segment.
constexpr std::uint64_t kGapMicros = 2 * kMicrosPerSecond;
// A coded picture of the simulator's cameras, on average, for the size
// estimate.
constexpr std::uint64_t kEstimatedPictureBytes = 3000;
constexpr std::size_t kTypeWordOffset = 16;
constexpr std::size_t kLengthOffset = 28;

bool has(std::uint32_t mask, std::size_t channel) { return (mask >> channel & 1u) != 0; }

void putWord(std::uint8_t* p, std::uint32_t value, bool low_byte_first) {
    if (low_byte_first) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    } else {
        protocol::putBe32(p, value);
    }
}

// Sends a table of fixed-size records in as many messages as it needs.
void sendTable(ClientLink& link, Code code, std::span<const std::uint8_t> table, std::size_t record) {
    const std::size_t per_message = protocol::kMaxPayload / record * record;
    std::size_t offset = 0;
    do {
        const std::size_t take = std::min(table.size() - offset, per_message);
        const bool last = offset + take == table.size();
        if (!link.sendMessage(static_cast<std::uint16_t>(code), table.subspan(offset, take),
                              last ? protocol::Fragment::Last : protocol::Fragment::More))
            return;
        offset += take;
    } while (offset < table.size());
}

void refuse(ClientLink& link, Code refusal, std::int32_t reason) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
    link.sendMessage(refusal, payload);
}

struct Stream {
    ClientLink& link;
    std::shared_ptr<const RecordingSchedule> schedule;
    BackupRange range;
    std::shared_ptr<std::atomic<bool>> stop;
};

// One transfer, on a helper thread.
void streamRange(const Stream& s, std::stop_token token) {
    const SimConfig& config = s.link.config();
    const TypeWordOrder order = playbackTypeWordOrder(config.product_number);
    const bool low_first = order == TypeWordOrder::LowByteFirst;
    const std::uint64_t first_micros = std::uint64_t{s.range.start} * kMicrosPerSecond;
    const std::uint64_t end_micros = (std::uint64_t{s.range.end} + 1) * kMicrosPerSecond;
    const std::uint16_t audio_mask = config.audio.enabled ? config.audio.mask.value_or(0xFFFF) : 0;

    std::array<std::optional<ChannelTimeline>, kVideoChannels> timelines;
    std::array<std::optional<RecordedChannel>, kVideoChannels> coders;
    std::array<std::optional<FrameRef>, kVideoChannels> cursor;
    std::vector<ChannelTone> tones;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) tones.emplace_back(c);
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (!has(s.range.mask, c)) continue;
        timelines[c].emplace(s.schedule->channelStretches(c), config.video.frames_per_second[c]);
        coders[c].emplace(c, config.video);
        const auto first = timelines[c]->firstAtOrAfter(first_micros);
        if (first && first->micros < end_micros)
            cursor[c] = timelines[c]->at(first->stretch, coders[c]->keyAtOrBefore(first->index));
    }

    std::uint64_t units = 0;
    // After each unit: the faults on demand. False ends the stream.
    auto sent = [&]() {
        ++units;
        if (config.backup.fail_after && units >= config.backup.fail_after->first) {
            refuse(s.link, Code::TRANS_ON_FAIL, config.backup.fail_after->second);
            s.link.logEvent("backup failed on demand after " + std::to_string(units) + " units");
            return false;
        }
        if (config.backup.close_after && units >= *config.backup.close_after) {
            s.link.logEvent("backup: closing the connection after " + std::to_string(units) + " units");
            s.link.closeOrderly();
            return false;
        }
        return true;
    };
    auto stopped = [&] { return s.stop->load() || token.stop_requested(); };

    const auto events = eventLogUnit(*s.schedule, s.range, low_first);
    if (!s.link.sendUnit(Code::TRANS_ON_DATA, events, 0, Logging::Quiet) || !sent()) return;

    std::uint32_t segment = 1;
    std::optional<std::uint64_t> last_micros;
    std::uint64_t audio_micros = first_micros;
    while (!stopped()) {
        std::optional<std::uint8_t> next;
        for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
            if (cursor[c] && (!next || cursor[c]->micros < cursor[*next]->micros)) next = c;
        }
        if (!next) break;
        const std::uint8_t c = *next;
        const FrameRef frame = *cursor[c];
        auto following = timelines[c]->next(frame);
        cursor[c] = following && following->micros < end_micros ? following : std::nullopt;

        if (last_micros && frame.micros > *last_micros + kGapMicros) ++segment;
        last_micros = frame.micros;
        // Audio of the recorded time up to this frame.
        while (audio_mask != 0 && audio_micros + kAudioUnitMicros <= frame.micros) {
            std::uint16_t mask = 0;
            std::vector<AudioBlockBytes> blocks;
            for (std::uint8_t a = 0; a < kVideoChannels; ++a) {
                if (has(s.range.mask & audio_mask, a) && timelines[a] && timelines[a]->lastAtOrBefore(audio_micros)) {
                    mask = static_cast<std::uint16_t>(mask | 1u << a);
                    blocks.push_back(tones[a].nextBlock());
                }
            }
            audio_micros += kAudioUnitMicros;
            if (mask == 0) continue;
            auto unit = buildLiveAudioUnit(mask, blocks);
            setPlaybackAudioOrder(unit, order);
            if (!s.link.sendUnit(Code::TRANS_ON_DATA, unit, 0, Logging::Quiet) || !sent()) return;
        }
        if (frame.micros > audio_micros + kGapMicros) audio_micros = frame.micros;

        const auto live = coders[c]->liveUnit(frame.index, frame.micros);
        auto unit = playbackVideoUnit(live, static_cast<std::uint32_t>(frame.micros / kMicrosPerSecond),
                                      s.schedule->title(c), order);
        if (unit.empty()) continue;
        protocol::putBe32(unit.data() + kSegmentKeyOffset, segment);
        if (!s.link.sendUnit(Code::TRANS_ON_DATA, unit, 0, Logging::Quiet) || !sent()) return;
    }
    if (stopped()) {
        s.link.logEvent("backup stopped after " + std::to_string(units) + " units");
        return;
    }
    s.link.sendMessage(Code::TRANS_ON_DONE);
    s.link.logEvent("backup done: " + std::to_string(units) + " units");
}

}  // namespace

std::vector<std::uint8_t> eventLogUnit(const RecordingSchedule& schedule, const BackupRange& range,
                                       bool low_byte_first) {
    std::vector<std::uint8_t> unit(kEventLogHeaderSize, 0);
    for (const RecordedEvent& e : schedule.events()) {
        if (e.time < range.start || e.time > range.end || (e.mask & range.mask) == 0) continue;
        std::array<std::uint8_t, kArchiveEventSize> record{};
        putWord(record.data(), e.time, low_byte_first);
        putWord(record.data() + 4, e.end, low_byte_first);
        putWord(record.data() + 8, e.mask, low_byte_first);
        record[12] = e.kind;
        std::copy(e.token.begin(), e.token.end(), record.begin() + 13);
        unit.insert(unit.end(), record.begin(), record.end());
    }
    putWord(unit.data() + kTypeWordOffset, kEventLogTypeWord, low_byte_first);
    putWord(unit.data() + kLengthOffset, static_cast<std::uint32_t>(unit.size() - kEventLogHeaderSize),
            low_byte_first);
    return unit;
}

std::uint32_t estimatedKib(const RecordingSchedule& schedule, const BackupRange& range, const VideoSettings& video) {
    std::uint64_t bytes = 0;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (!has(range.mask, c)) continue;
        for (const RecordedStretch& st : schedule.channelStretches(c)) {
            const std::uint64_t from = std::max<std::uint64_t>(st.start, range.start);
            const std::uint64_t to = std::min<std::uint64_t>(st.end, std::uint64_t{range.end} + 1);
            if (to <= from) continue;
            bytes += (to - from) * video.frames_per_second[c] * (kPlaybackVideoHeaderSize + kEstimatedPictureBytes);
        }
    }
    const std::uint64_t kib = (bytes + 1023) / 1024;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kib, 0xFFFF'FFFFu));
}

void BackupTransfer::registerHandlers(HandlerTable& table) {
    table.add(Code::TRANS_INFO_MONTH_REQ, LoginRule::Needed, [this](const auto&, auto) { onMonth(); });
    table.add(Code::TRANS_INFO_DAY_REQ, LoginRule::Needed, [this](const auto&, auto p) { onDay(p); });
    table.add(Code::TRANS_ON_REQ, LoginRule::Needed, [this](const auto&, auto p) { onSize(p); });
    table.add(Code::CAPA_CAL_CANCEL, LoginRule::Needed, [this](const auto&, auto) {
        ++size_generation_;
        link_.logEvent("capacity calculation cancelled");
    });
    table.add(Code::TRANS_DATA_REQ, LoginRule::Needed, [this](const auto&, auto p) { onData(p); });
    table.add(Code::TRANS_OFF_REQ, LoginRule::Needed, [this](const auto&, auto) { onStop(); });
}

BackupRange BackupTransfer::rangeOf(std::span<const std::uint8_t> payload) const {
    BackupRange range;
    range.mask = static_cast<std::uint16_t>(protocol::be32(payload.data()) & channelBits(link_.config().channel_num));
    range.start = protocol::be32(payload.data() + 16);
    range.end = protocol::be32(payload.data() + 20);
    return range;
}

void BackupTransfer::onMonth() {
    if (refuseOnDemand(link_, Code::TRANS_INFO_MONTH_REQ)) return;
    const auto table = schedule_->monthTable(static_cast<std::uint16_t>(channelBits(link_.config().channel_num)));
    if (table.empty()) {
        refuse(link_, Code::TRANS_INFO_MONTH_NACK, kReasonNothingRecorded);
        return;
    }
    sendTable(link_, Code::TRANS_INFO_MONTH_ACK, table, kYearRecordSize);
}

void BackupTransfer::onDay(std::span<const std::uint8_t> payload) {
    if (refuseOnDemand(link_, Code::TRANS_INFO_DAY_REQ)) return;
    const std::uint32_t year = protocol::be32(payload.data());
    const unsigned month = payload[4];
    const unsigned day = payload[5];
    if (!isCalendarDay(year, month, day)) {
        refuse(link_, Code::TRANS_INFO_DAY_NACK, kReasonFailure);
        return;
    }
    const auto table =
        schedule_->dayTable({year, month, day}, static_cast<std::uint16_t>(channelBits(link_.config().channel_num)));
    sendTable(link_, Code::TRANS_INFO_DAY_ACK, table, kDayRecordSize);
}

void BackupTransfer::onSize(std::span<const std::uint8_t> payload) {
    if (refuseOnDemand(link_, Code::TRANS_ON_REQ)) return;
    const BackupRange range = rangeOf(payload);
    const SimConfig& config = link_.config();
    const std::uint32_t kib = config.backup.size_kib.value_or(estimatedKib(*schedule_, range, config.video));
    link_.logEvent("backup size of " + std::to_string(range.start) + "-" + std::to_string(range.end) + " on " +
                   hexMask(range.mask) + ": " + std::to_string(kib) + " KiB");
    std::array<std::uint8_t, 4> answer{};
    protocol::putBe32(answer.data(), kib);
    if (config.backup.size_delay.count() == 0) {
        link_.sendMessage(Code::TRANS_ON_ACK, answer);
        return;
    }
    const std::uint64_t generation = ++size_generation_;
    link_.spawn([this, generation, answer, delay = config.backup.size_delay](std::stop_token stop) {
        if (!base::waitFor(stop, delay) || size_generation_.load() != generation) return;
        link_.sendMessage(Code::TRANS_ON_ACK, answer);
    });
}

void BackupTransfer::onData(std::span<const std::uint8_t> payload) {
    if (refuseOnDemand(link_, Code::TRANS_DATA_REQ)) return;
    stop_streaming_->store(true);
    stop_streaming_ = std::make_shared<std::atomic<bool>>(false);
    const BackupRange range = rangeOf(payload);
    link_.logEvent("backup of " + std::to_string(range.start) + "-" + std::to_string(range.end) + " on " +
                   hexMask(range.mask));
    Stream stream{link_, schedule_, range, stop_streaming_};
    link_.spawn([stream](std::stop_token token) { streamRange(stream, token); });
}

void BackupTransfer::onStop() {
    stop_streaming_->store(true);
    link_.sendMessage(Code::TRANS_OFF_ACK);
}

}  // namespace kalix::sim
