#include "media/audio/sound_ring.h"

#include <algorithm>

namespace kalix::media {
namespace {

// 16 blocks of at most 4 MiB: far beyond the largest batch (1,052 blocks of
// 256 bytes) and small enough that a wrong size never exhausts memory.
constexpr std::size_t kMaxBlockBytes = std::size_t{4} << 20;

}  // namespace

bool SoundRing::allocate(std::size_t block_bytes) {
    if (block_bytes == 0 || block_bytes > kMaxBlockBytes) return false;
    ring_.assign(block_bytes * kRingBlocks, 0);
    block_ = block_bytes;
    position_ = 0;
    playing_ = false;
    return true;
}

bool SoundRing::write(std::size_t offset, std::span<const std::uint8_t> data) {
    if (offset > ring_.size() || data.size() > ring_.size() - offset) return false;
    std::copy(data.begin(), data.end(), ring_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

void SoundRing::zero() { std::fill(ring_.begin(), ring_.end(), std::uint8_t{0}); }

void SoundRing::setPosition(std::size_t offset) {
    position_ = std::min(offset, ring_.size());
    if (position_ == ring_.size()) playing_ = false;
}

SoundRing::Consumed SoundRing::consume(std::span<std::uint8_t> out) {
    Consumed result;
    std::size_t done = 0;
    if (playing_) {
        const std::size_t take = std::min(out.size(), ring_.size() - position_);
        std::copy_n(ring_.begin() + static_cast<std::ptrdiff_t>(position_), take, out.begin());
        // A block ends when its last byte has been taken.
        const std::size_t before = position_ / block_;
        position_ += take;
        result.block_ends = position_ / block_ - before;
        done = take;
        if (position_ == ring_.size()) {
            playing_ = false;
            result.stopped = true;
        }
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), std::uint8_t{0});
    return result;
}

}  // namespace kalix::media
