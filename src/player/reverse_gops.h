#pragma once
// Every picture in backward play. Pictures of a group are coded against
// the key frame before them, so going backwards the player cannot show a
// predicted picture until it has reached its group's key frame. ReverseGops
// remembers the predicted pictures met on the way back, per channel; at
// the key frame it gives the whole group in stream order for the decoder to
// decode and hold, and then the held pictures in the order to show them:
// latest first, across all channels.
//
// A held picture is shown only once no channel still waits for a key frame
// with a later picture in its group, so channels stay in step. A channel
// whose group grows beyond the limit loses its latest pictures (they could
// not be held) rather than stall the others. Player thread only.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "player/vid_reader.h"

namespace kalix::player {

// The pictures of one group a decoder holds at once, at most.
inline constexpr std::size_t kReverseGroupLimit = 60;

// A picture to decode and hold, or to show: `id` names the held picture.
struct HeldPicture {
    std::uint64_t id = 0;
    Unit unit;
};

class ReverseGops {
public:
    explicit ReverseGops(std::size_t group_limit = kReverseGroupLimit) : limit_(group_limit) {}

    // A video picture met going backwards. For a key frame: its group in
    // stream order (the key frame first) to decode and hold; otherwise
    // nothing, the picture waits for its key frame.
    std::vector<HeldPicture> meet(const Unit& picture);
    // The next held picture that may be shown now, taken out.
    std::optional<HeldPicture> nextShow();
    // Reading has ended in this direction (or moves to another file): the
    // pictures still without a key frame are given up and every held one
    // may be shown.
    void flush();
    void clear();

    bool idle() const { return shows_.empty() && waiting() == 0; }
    std::size_t waiting() const;  // pictures waiting for their key frame
    std::size_t held() const { return shows_.size(); }

private:
    std::size_t limit_;
    std::uint64_t next_id_ = 0;
    // Per channel, the pictures met since its last key frame, latest first.
    std::map<int, std::deque<HeldPicture>> waiting_;
    // Held pictures by id: the lowest id is the latest in the stream.
    std::map<std::uint64_t, Unit> shows_;
};

}  // namespace kalix::player
