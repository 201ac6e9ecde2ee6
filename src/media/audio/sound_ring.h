#pragma once
// The memory and play cursor of a sound output's ring, without any device:
// the backends feed their device from consume(), and tests drive it as a
// simulated clock (one call per stretch of time played).
//
// Not thread-safe: the owning output serialises every call.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/audio/sound_output.h"

namespace kalix::media {

class SoundRing {
public:
    // False when the block size is 0 or the ring would be unreasonably large.
    bool allocate(std::size_t block_bytes);
    bool allocated() const { return !ring_.empty(); }

    std::size_t blockBytes() const { return block_; }
    std::size_t size() const { return ring_.size(); }

    bool write(std::size_t offset, std::span<const std::uint8_t> data);
    void zero();
    std::span<const std::uint8_t> bytes() const { return ring_; }

    // Out-of-range positions are clamped to the ring's end (played out).
    void setPosition(std::size_t offset);
    void play() { playing_ = allocated() && position_ < ring_.size(); }
    void stop() { playing_ = false; }
    bool playing() const { return playing_; }
    std::size_t position() const { return position_; }

    struct Consumed {
        std::size_t block_ends = 0;  // block ends passed, in order before `stopped`
        bool stopped = false;        // the ring played out during this call
    };

    // Fills `out` with the next bytes to play: ring bytes while playing,
    // silence once stopped or played out.
    Consumed consume(std::span<std::uint8_t> out);

private:
    std::vector<std::uint8_t> ring_;
    std::size_t block_ = 0;
    std::size_t position_ = 0;
    bool playing_ = false;
};

}  // namespace kalix::media
