#include "sim/live_video.h"

#include <algorithm>

#include "protocol/byte_order.h"

namespace kalix::sim {
namespace {

constexpr std::uint32_t kVideoTypeWord = 0x20061123;
constexpr std::size_t kTypeWordOffset = 16;
constexpr std::uint8_t kKindKey = 0;
constexpr std::uint8_t kKindPredicted = 1;

}  // namespace

FrameTime FrameTime::now() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(since_epoch - seconds);
    return {static_cast<std::uint32_t>(seconds.count()), static_cast<std::uint32_t>(micro.count())};
}

std::vector<std::uint8_t> buildLiveVideoUnit(const EncodedPicture& picture, std::uint8_t channel, PictureSize size,
                                             FrameTime time) {
    return buildLiveVideoUnit(picture.bytes, picture.kind, channel, size, time);
}

std::vector<std::uint8_t> buildLiveVideoUnit(std::span<const std::uint8_t> bytes, SliceKind slice_kind,
                                             std::uint8_t channel, PictureSize size, FrameTime time) {
    const std::size_t coded = bytes.size();
    if (coded > kMaxCodedLength || !isCodableSize(size.width, size.height)) return {};
    std::vector<std::uint8_t> unit(kLiveUnitDataOffset + coded, 0);
    protocol::putBe32(unit.data() + kTypeWordOffset, kVideoTypeWord);

    std::uint8_t* enc = unit.data() + kLiveUnitHeaderOffset;
    const std::uint8_t kind = slice_kind == SliceKind::Key ? kKindKey : kKindPredicted;
    enc[0] = static_cast<std::uint8_t>(coded);
    enc[1] = static_cast<std::uint8_t>(coded >> 8);
    enc[2] = static_cast<std::uint8_t>(((coded >> 16) & 0x0F) | (static_cast<std::size_t>(kind) << 6));
    enc[4] = static_cast<std::uint8_t>(size.height / 16);
    enc[5] = static_cast<std::uint8_t>(size.width / 16);
    protocol::putLe32(enc + 20, time.seconds);
    protocol::putLe32(enc + 24, time.microseconds);
    enc[36] = static_cast<std::uint8_t>(channel & 0x0F);

    std::copy(bytes.begin(), bytes.end(), unit.begin() + kLiveUnitDataOffset);
    return unit;
}

ChannelVideo::ChannelVideo(std::uint8_t channel, PictureSize size, std::uint32_t key_interval,
                           std::shared_ptr<const std::vector<ClipPicture>> clip)
    : channel_(channel), size_(size), key_interval_(std::max<std::uint32_t>(key_interval, 1)),
      camera_(channel, clip ? 0 : size.width, clip ? 0 : size.height), clip_(std::move(clip)) {
    if (clip_ && clip_->empty()) clip_.reset();
    if (clip_) {
        size_ = {static_cast<std::uint16_t>(clip_->front().width), static_cast<std::uint16_t>(clip_->front().height)};
    }
}

std::vector<std::uint8_t> ChannelVideo::nextUnit(FrameTime time) {
    if (clip_) {
        const ClipPicture& picture = (*clip_)[next_index_ % clip_->size()];
        next_index_ = static_cast<std::uint32_t>((next_index_ + 1) % clip_->size());
        return buildLiveVideoUnit(picture.bytes, picture.key ? SliceKind::Key : SliceKind::Predicted, channel_, size_,
                                  time);
    }
    camera_.render(next_index_, current_);
    const bool key = next_index_ % key_interval_ == 0;
    const auto coded = key ? writer_.keyFrame(current_) : writer_.predictedFrame(previous_, current_);
    std::swap(previous_, current_);
    ++next_index_;
    if (!coded) return {};
    return buildLiveVideoUnit(*coded, channel_, size_, time);
}

LiveVideoStreamer::LiveVideoStreamer(const VideoSettings& settings, SendUnit send)
    : settings_(settings), send_(std::move(send)),
      thread_([this](std::stop_token stop) { run(stop); }) {}

LiveVideoStreamer::~LiveVideoStreamer() = default;

void LiveVideoStreamer::restart(std::uint16_t mask, const std::function<void()>& announce) {
    {
        std::lock_guard lock(mutex_);
        announce();
        active_ = mask;
        ++generation_;
        const auto now = Clock::now();
        for (std::size_t c = 0; c < kVideoChannels; ++c) {
            if ((static_cast<unsigned>(mask) >> c & 1u) == 0) continue;
            if (!channels_[c]) {
                channels_[c].emplace(static_cast<std::uint8_t>(c), settings_.sizes[c], settings_.key_interval,
                                     settings_.clip);
            }
            channels_[c]->restart();
            due_[c] = now;
        }
    }
    wake_.notify_all();
}

std::uint64_t LiveVideoStreamer::unitsSent() const {
    std::lock_guard lock(mutex_);
    return units_sent_;
}

void LiveVideoStreamer::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (active_ == 0) {
            wake_.wait(lock, stop, [&] { return active_ != 0; });
            continue;
        }
        auto next = Clock::time_point::max();
        for (std::size_t c = 0; c < kVideoChannels; ++c)
            if ((static_cast<unsigned>(active_) >> c & 1u) != 0) next = std::min(next, due_[c]);
        if (Clock::now() < next) {
            const std::uint64_t generation = generation_;
            wake_.wait_until(lock, stop, next, [&] { return generation_ != generation; });
            continue;
        }

        // The lock stays held while the units go out: a restart waits for
        // them rather than letting an old run's unit follow its announcement.
        const auto now = Clock::now();
        for (std::size_t c = 0; c < kVideoChannels && !stop.stop_requested(); ++c) {
            if ((static_cast<unsigned>(active_) >> c & 1u) == 0 || due_[c] > now) continue;
            const FrameTime time = FrameTime::now();
            const std::vector<std::uint8_t> unit = channels_[c]->nextUnit(time);
            if (!unit.empty()) {
                if (!send_(unit, time.seconds)) {
                    active_ = 0;  // the connection is gone
                    break;
                }
                ++units_sent_;
            }
            const auto period = std::chrono::duration_cast<Clock::duration>(
                std::chrono::microseconds(1'000'000 / std::clamp<unsigned>(settings_.frames_per_second[c], 1, kMaxFramesPerSecond)));
            due_[c] += period;
            if (due_[c] < now) due_[c] = now + period;
        }
    }
}

}  // namespace kalix::sim
