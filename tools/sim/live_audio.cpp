#include "sim/live_audio.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "protocol/byte_order.h"
#include "sim/live_video.h"

namespace kalix::sim {
namespace {

constexpr std::uint32_t kAudioTypeWord = 0x2518F049;
constexpr std::size_t kTypeWordOffset = 16;
constexpr std::size_t kPayloadLengthOffset = 28;
constexpr std::size_t kMaskOffset = 40;
constexpr std::size_t kFramesPerBlock = kAudioBlockValues / 2;
constexpr double kToneAmplitude = 8000.0;
// A streamer this far behind its schedule gives up the lost units.
constexpr int kMaxCatchUpUnits = 3;

std::vector<ChannelTone> allChannelTones() {
    std::vector<ChannelTone> tones;
    tones.reserve(kVideoChannels);
    for (std::size_t c = 0; c < kVideoChannels; ++c) tones.emplace_back(static_cast<std::uint8_t>(c));
    return tones;
}

}  // namespace

std::vector<std::uint8_t> buildLiveAudioUnit(std::uint16_t mask, std::span<const AudioBlockBytes> blocks) {
    if (mask == 0 || blocks.size() != static_cast<std::size_t>(std::popcount(mask))) return {};
    std::vector<std::uint8_t> unit(kAudioHeaderSize + blocks.size() * kAudioBlockBytes, 0);
    protocol::putBe32(unit.data() + kTypeWordOffset, kAudioTypeWord);
    protocol::putBe32(unit.data() + kPayloadLengthOffset, static_cast<std::uint32_t>(blocks.size() * kAudioBlockBytes));
    protocol::putBe32(unit.data() + kMaskOffset, mask);
    auto out = unit.begin() + static_cast<std::ptrdiff_t>(kAudioHeaderSize);
    for (const AudioBlockBytes& block : blocks) out = std::copy(block.begin(), block.end(), out);
    return unit;
}

ChannelTone::ChannelTone(std::uint8_t channel) : channel_(channel) {}

std::uint32_t ChannelTone::frequency(std::uint8_t channel) { return 300 + 100 * std::uint32_t{channel}; }

AudioBlockValues ChannelTone::values(std::uint64_t index) const {
    // The phase in whole steps of 1/8000 of a turn: exact however long the
    // run, as the frequency is a whole number of hertz.
    const std::uint64_t step = frequency(channel_);
    AudioBlockValues values{};
    for (std::size_t i = 0; i < kFramesPerBlock; ++i) {
        const std::uint64_t frame = index * kFramesPerBlock + i;
        const auto phase = static_cast<double>(frame % kAudioSampleRate * step % kAudioSampleRate);
        const double turn = 2.0 * std::numbers::pi * phase / kAudioSampleRate;
        const auto value = static_cast<std::int16_t>(std::lround(kToneAmplitude * std::sin(turn)));
        values[2 * i] = value;
        values[2 * i + 1] = value;
    }
    return values;
}

AudioBlockBytes ChannelTone::nextBlock() {
    const AudioBlockValues pcm = values(next_index_++);
    AudioBlockBytes block{};
    // 128 values always code to exactly 48 bytes.
    [[maybe_unused]] const auto result = encoder_.encode(pcm, block);
    return block;
}

void ChannelTone::restart() {
    encoder_.reset();
    next_index_ = 0;
}

LiveAudioStreamer::LiveAudioStreamer(SendUnit send)
    : send_(std::move(send)), tones_(allChannelTones()), thread_([this](std::stop_token stop) { run(stop); }) {}

LiveAudioStreamer::~LiveAudioStreamer() = default;

void LiveAudioStreamer::setMask(std::uint16_t mask) {
    {
        std::lock_guard lock(mutex_);
        if (mask == active_) return;
        active_ = mask;
        ++generation_;
        for (ChannelTone& tone : tones_) tone.restart();
        due_ = Clock::now();
    }
    wake_.notify_all();
}

std::uint16_t LiveAudioStreamer::mask() const {
    std::lock_guard lock(mutex_);
    return active_;
}

std::uint64_t LiveAudioStreamer::unitsSent() const {
    std::lock_guard lock(mutex_);
    return units_sent_;
}

void LiveAudioStreamer::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (active_ == 0) {
            wake_.wait(lock, stop, [&] { return active_ != 0; });
            continue;
        }
        if (Clock::now() < due_) {
            const std::uint64_t generation = generation_;
            wake_.wait_until(lock, stop, due_, [&] { return generation_ != generation; });
            continue;
        }

        // The lock stays held while the unit goes out: setMask waits for it,
        // so nothing of an old mask follows its return.
        std::vector<AudioBlockBytes> blocks;
        for (std::size_t c = 0; c < kVideoChannels; ++c) {
            if ((static_cast<unsigned>(active_) >> c & 1u) != 0) blocks.push_back(tones_[c].nextBlock());
        }
        const std::vector<std::uint8_t> unit = buildLiveAudioUnit(active_, blocks);
        if (!send_(unit, FrameTime::now().seconds)) {
            active_ = 0;  // the connection is gone
            continue;
        }
        ++units_sent_;
        due_ += kAudioUnitPeriod;
        const auto now = Clock::now();
        if (now - due_ > kMaxCatchUpUnits * kAudioUnitPeriod) due_ = now;
    }
}

}  // namespace kalix::sim
