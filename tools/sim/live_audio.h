#pragma once
// Live audio of the simulated recorder. Every 8 ms (one 48-byte G.726 block
// holds 128 values: 64 stereo frames at 8 kHz) a live audio unit goes out:
//
//     0  64-byte audio header: the audio type word 0x2518F049 (big-endian)
//        at 16, the payload length at 28, the channel mask at 40, zeros
//        elsewhere
//    64  one 48-byte block per channel of the mask, in ascending order
//
// Each channel sounds its own tone, the same on left and right, coded by an
// encoder of its own that keeps its state from block to block. A run of the
// streamer starts every channel over at its first block, so the n-th block
// of a channel in a run is the n-th block of ChannelTone(channel).

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/audio/g726.h"
#include "sim/sim_config.h"

namespace kalix::sim {

inline constexpr std::size_t kAudioHeaderSize = 64;
inline constexpr std::size_t kAudioBlockBytes = 48;
inline constexpr std::size_t kAudioBlockValues = 128;  // 64 stereo frames
inline constexpr std::uint32_t kAudioSampleRate = 8000;
inline constexpr std::chrono::milliseconds kAudioUnitPeriod{8};  // 64 frames at 8 kHz

using AudioBlockBytes = std::array<std::uint8_t, kAudioBlockBytes>;
using AudioBlockValues = std::array<std::int16_t, kAudioBlockValues>;

// The unit for `mask` (bit c = channel c) and its blocks in ascending channel
// order; empty unless there is exactly one block per channel of the mask.
std::vector<std::uint8_t> buildLiveAudioUnit(std::uint16_t mask, std::span<const AudioBlockBytes> blocks);

// One channel's tone: 300 + 100 × channel Hz at an amplitude of 8,000, as
// interleaved stereo values with left = right.
class ChannelTone {
public:
    explicit ChannelTone(std::uint8_t channel);

    static std::uint32_t frequency(std::uint8_t channel);  // Hz
    // The PCM of block `index` before coding: frames 64 × index onward.
    AudioBlockValues values(std::uint64_t index) const;

    // The coded next block of the run.
    AudioBlockBytes nextBlock();
    std::uint64_t nextIndex() const { return next_index_; }
    void restart();

private:
    std::uint8_t channel_;
    media::G726Encoder encoder_;
    std::uint64_t next_index_ = 0;
};

// Paces the live audio units of one client connection on its own thread.
// A streamer that fell behind (a slow client) catches up by at most a few
// units and otherwise goes on from now, never in a long burst.
class LiveAudioStreamer {
public:
    // Sends one whole unit; false when the connection failed.
    using SendUnit = std::function<bool(std::span<const std::uint8_t> unit, std::uint32_t seconds)>;

    explicit LiveAudioStreamer(SendUnit send);
    ~LiveAudioStreamer();  // stops and joins the thread
    LiveAudioStreamer(const LiveAudioStreamer&) = delete;
    LiveAudioStreamer& operator=(const LiveAudioStreamer&) = delete;

    // Streams the channels of `mask` (0 stops). A different mask starts a
    // new run, every channel at its first block; the same mask goes on. When
    // this returns no unit of the old mask is on its way any more.
    void setMask(std::uint16_t mask);

    std::uint16_t mask() const;
    std::uint64_t unitsSent() const;

private:
    using Clock = std::chrono::steady_clock;

    void run(std::stop_token stop);

    const SendUnit send_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    // -- guarded by mutex_ --
    std::uint16_t active_ = 0;
    std::uint64_t generation_ = 0;  // bumped by every new run
    std::uint64_t units_sent_ = 0;
    Clock::time_point due_{};
    std::vector<ChannelTone> tones_;  // one per channel, 0-15

    std::jthread thread_;  // last: joined before the members it uses go
};

}  // namespace kalix::sim
