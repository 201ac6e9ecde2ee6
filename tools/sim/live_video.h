#pragma once
// Live video of the simulated recorder. Each streamed channel runs its camera
// picture through the H.264 writer and wraps every coded picture in a live
// video unit:
//
//     0  64-byte frame header: the video type word 0x20061123 (big-endian) at
//        16, zeros elsewhere
//    64  zeros up to 260
//   260  EncVideoHeader (little-endian): coded length (20 bits), frame kind,
//        height / 16, width / 16, seconds, microseconds, channel
//   324  the coded picture: one slice, no parameter sets
//
// A run of a channel starts at frame 0 with a key frame, so the n-th picture
// the client decodes of a run is ChannelPicture(channel, size).picture(n)
// as long as it loses none.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

#include "sim/channel_picture.h"
#include "sim/clip_rewriter.h"
#include "sim/h264_writer.h"
#include "sim/sim_config.h"

namespace kalix::sim {

inline constexpr std::size_t kLiveUnitHeaderOffset = 260;
inline constexpr std::size_t kLiveUnitDataOffset = 324;
inline constexpr std::uint32_t kMaxCodedLength = 0xFFFFF;  // 20 bits in the frame header

struct FrameTime {
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;

    static FrameTime now();
};

// The unit around one coded picture; empty when its length does not fit the
// header's 20 bits or the size is not the picture's.
std::vector<std::uint8_t> buildLiveVideoUnit(const EncodedPicture& picture, std::uint8_t channel, PictureSize size,
                                             FrameTime time);
std::vector<std::uint8_t> buildLiveVideoUnit(std::span<const std::uint8_t> coded, SliceKind kind, std::uint8_t channel,
                                             PictureSize size, FrameTime time);

// One channel's camera, encoder and place in its run; or, given a clip, the
// clip's pictures in a loop. A run starts at the clip's first picture, its
// first IDR picture.
class ChannelVideo {
public:
    ChannelVideo(std::uint8_t channel, PictureSize size, std::uint32_t key_interval,
                 std::shared_ptr<const std::vector<ClipPicture>> clip = nullptr);

    void restart() { next_index_ = 0; }
    std::uint32_t nextIndex() const { return next_index_; }
    // The unit of the next frame of the run (empty only if it cannot be coded).
    std::vector<std::uint8_t> nextUnit(FrameTime time);

private:
    std::uint8_t channel_;
    PictureSize size_;
    std::uint32_t key_interval_;
    ChannelPicture camera_;
    H264Writer writer_;
    YuvPicture previous_;
    YuvPicture current_;
    std::uint32_t next_index_ = 0;
    std::shared_ptr<const std::vector<ClipPicture>> clip_;
};

// Paces the live units of one client connection on its own thread. Every
// channel keeps its own frame period; a channel that fell behind (a slow
// client) goes on from now instead of sending a burst.
class LiveVideoStreamer {
public:
    // Sends one whole unit (fragmenting it); false when the connection failed.
    using SendUnit = std::function<bool(std::span<const std::uint8_t> unit, std::uint32_t seconds)>;

    LiveVideoStreamer(const VideoSettings& settings, SendUnit send);
    ~LiveVideoStreamer();  // stops and joins the thread
    LiveVideoStreamer(const LiveVideoStreamer&) = delete;
    LiveVideoStreamer& operator=(const LiveVideoStreamer&) = delete;

    // Starts a new run of the channels in `mask` (bit i = channel i; 0 stops
    // streaming). `announce` runs first, while no unit is on its way, so no
    // unit of the old run goes out after whatever it sends.
    void restart(std::uint16_t mask, const std::function<void()>& announce);

    std::uint64_t unitsSent() const;

private:
    using Clock = std::chrono::steady_clock;

    void run(std::stop_token stop);

    const VideoSettings settings_;
    const SendUnit send_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    // -- guarded by mutex_ --
    std::uint16_t active_ = 0;
    std::uint64_t generation_ = 0;  // bumped by every restart
    std::uint64_t units_sent_ = 0;
    std::array<std::optional<ChannelVideo>, kVideoChannels> channels_;
    std::array<Clock::time_point, kVideoChannels> due_{};

    std::jthread thread_;  // last: joined before the members it uses go
};

}  // namespace kalix::sim
