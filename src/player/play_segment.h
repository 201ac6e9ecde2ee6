#pragma once
// What the local player plays: one segment per block of an archive pair,
// in catalogue order. Built by the local catalogue; the player only reads
// it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/recorder_time.h"

namespace kalix::player {

struct PlayerSegment {
    bool has_audio = false;      // the block's video and audio masks share a channel
    int block_index = 0;
    std::string media_path;      // the .vid
    protocol::RecorderTime start = 0;
    protocol::RecorderTime play_from = 0;
    protocol::RecorderTime end = 0;
    std::uint32_t start_offset = 0;   // first frame to play in the .vid
    std::uint32_t video_mask = 0;
    std::uint32_t audio_mask = 0;     // video ∩ audio
    std::uint32_t block_begin = 0;    // first frame of the block
    std::uint32_t block_end = 0;      // next block's begin, or the .vid trailer
    std::uint32_t seek_position = 0;  // .idx offset of the block's first seek entry
    bool join_previous = false;
    bool join_next = false;
};

using Catalogue = std::vector<PlayerSegment>;

// The segment playback at t starts in: the first that holds t (start ≤ t ≤
// end) or starts after it. A block's last second still counts as recorded.
std::optional<std::size_t> startSegment(const Catalogue& catalogue, protocol::RecorderTime t);

}  // namespace kalix::player
