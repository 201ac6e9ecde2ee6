#include "sim/recorded_video.h"

#include <algorithm>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"

namespace kalix::sim {
namespace {

constexpr std::uint32_t kVideoTypeWord = 0x20061123;
constexpr std::size_t kTypeWordOffset = 16;
constexpr std::size_t kTimeOffset = 24;
constexpr std::size_t kLengthOffset = 28;
constexpr std::size_t kTitleCrcOffset = 92;
constexpr std::size_t kTitleOffset = 96;
constexpr std::size_t kEncHeaderOffset = 128;
constexpr std::size_t kEncHeaderSize = 64;
constexpr std::uint8_t kLowByteFirstProduct = 12;

void putTypeWord(std::uint8_t* p, std::uint32_t word, TypeWordOrder order) {
    if (order == TypeWordOrder::BigEndian) {
        protocol::putBe32(p, word);
    } else {
        protocol::putLe32(p, word);
    }
}

}  // namespace

TypeWordOrder playbackTypeWordOrder(std::uint8_t product_number) {
    return product_number == kLowByteFirstProduct ? TypeWordOrder::LowByteFirst : TypeWordOrder::BigEndian;
}

std::vector<std::uint8_t> playbackVideoUnit(std::span<const std::uint8_t> live_unit, std::uint32_t seconds,
                                            const ChannelTitle& title, TypeWordOrder order) {
    if (live_unit.size() < kLiveUnitDataOffset) return {};
    const std::size_t coded = live_unit.size() - kLiveUnitDataOffset;
    std::vector<std::uint8_t> unit(kPlaybackVideoHeaderSize + coded, 0);
    putTypeWord(unit.data() + kTypeWordOffset, kVideoTypeWord, order);
    protocol::putBe32(unit.data() + kTimeOffset, seconds);
    protocol::putBe32(unit.data() + kLengthOffset, static_cast<std::uint32_t>(coded));
    const std::size_t title_bytes = std::min(title.text.size(), kTitleSize);
    std::copy_n(title.text.begin(), title_bytes, unit.begin() + kTitleOffset);
    const std::uint32_t crc = protocol::crc32(std::span(unit).subspan(kTitleOffset, kTitleSize));
    protocol::putBe32(unit.data() + kTitleCrcOffset, title.valid_crc ? crc : crc + 1);
    std::copy_n(live_unit.begin() + kLiveUnitHeaderOffset, kEncHeaderSize, unit.begin() + kEncHeaderOffset);
    std::copy(live_unit.begin() + kLiveUnitDataOffset, live_unit.end(), unit.begin() + kPlaybackVideoHeaderSize);
    return unit;
}

void setPlaybackAudioOrder(std::vector<std::uint8_t>& unit, TypeWordOrder order) {
    if (unit.size() < kTypeWordOffset + 4) return;
    const std::uint32_t word = protocol::be32(unit.data() + kTypeWordOffset);
    putTypeWord(unit.data() + kTypeWordOffset, word, order);
}

RecordedChannel::RecordedChannel(std::uint8_t channel, const VideoSettings& settings)
    : channel_(channel), size_(settings.sizes[channel % kVideoChannels]),
      key_interval_(std::max<std::uint32_t>(settings.key_interval, 1)), clip_(settings.clip) {
    if (clip_ && clip_->empty()) clip_.reset();
    if (clip_) {
        size_ = {static_cast<std::uint16_t>(clip_->front().width), static_cast<std::uint16_t>(clip_->front().height)};
        for (std::uint32_t i = 0; i < clip_->size(); ++i) {
            if ((*clip_)[i].key) clip_keys_.push_back(i);
        }
        // A clip starts with a key picture; should one not, its first
        // picture still starts every stretch.
        if (clip_keys_.empty() || clip_keys_.front() != 0) clip_keys_.insert(clip_keys_.begin(), 0);
    } else {
        camera_.emplace(channel, size_.width, size_.height);
    }
}

bool RecordedChannel::isKey(std::uint32_t index) const {
    if (!clip_) return index % key_interval_ == 0;
    const auto n = static_cast<std::uint32_t>(clip_->size());
    return std::binary_search(clip_keys_.begin(), clip_keys_.end(), index % n);
}

std::uint32_t RecordedChannel::keyAtOrBefore(std::uint32_t index) const {
    if (!clip_) return index - index % key_interval_;
    const auto n = static_cast<std::uint32_t>(clip_->size());
    const std::uint32_t base = index - index % n;
    const auto it = std::upper_bound(clip_keys_.begin(), clip_keys_.end(), index % n);
    return base + *std::prev(it);  // clip_keys_ starts with 0
}

std::vector<std::uint8_t> RecordedChannel::liveUnit(std::uint32_t index, std::uint64_t micros) {
    const FrameTime time{static_cast<std::uint32_t>(micros / 1'000'000), static_cast<std::uint32_t>(micros % 1'000'000)};
    const bool key = isKey(index);
    const bool follows = previous_index_ && *previous_index_ + 1 == index;
    if (clip_) {
        if (!key && !follows) return {};
        previous_index_ = index;
        const ClipPicture& picture = (*clip_)[index % clip_->size()];
        return buildLiveVideoUnit(picture.bytes, key ? SliceKind::Key : SliceKind::Predicted, channel_, size_, time);
    }
    if (!key && !follows) return {};
    camera_->render(index, current_);
    const auto coded = key ? writer_.keyFrame(current_) : writer_.predictedFrame(previous_, current_);
    std::swap(previous_, current_);
    previous_index_ = index;
    if (!coded) return {};
    return buildLiveVideoUnit(*coded, channel_, size_, time);
}

}  // namespace kalix::sim
