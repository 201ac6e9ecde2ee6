#pragma once
// The queues between the receive side and the media consumers: one frame
// queue per channel decoder and one audio block queue for the audio player.
//
// A decoder that falls behind sheds load itself (kBacklogThreshold).
// Whoever stops a consumer first waits for its queue to drain to
// kDrainLimit entries.

#include <cstddef>

#include "base/wake_queue.h"
#include "media/frame_formats.h"

namespace kalix::media {

// A live or playback stop waits until a queue holds at most this many entries.
inline constexpr std::size_t kDrainLimit = 2;
// A decoder that takes an item while more than this many were queued skips
// predicted frames until the next key frame.
inline constexpr std::size_t kBacklogThreshold = 98;

constexpr bool isBacklogged(std::size_t queued_before_take) {
    return queued_before_take > kBacklogThreshold;
}

// One per channel decoder.
using FrameQueue = base::WakeQueue<FrameItem>;
// The audio player's queue is AudioBlockQueue (audio_block_queue.h).

}  // namespace kalix::media
