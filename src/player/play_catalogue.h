#pragma once
// The segments the local player plays, from the archive pairs of a folder
// (or of one .idx): one per block, in catalogue order, the block that holds
// the start time positioned on its first frame at or after that time.

#include <filesystem>
#include <string>
#include <vector>

#include "player/play_segment.h"

namespace kalix::archive {
struct LocalCatalogue;
}

namespace kalix::player {

struct SkippedPair {
    std::string path;
    std::string reason;
};

struct PlayCatalogue {
    Catalogue segments;
    std::vector<SkippedPair> skipped;
};

// One segment of the local catalogue, as the player takes it.
PlayerSegment toPlayerSegment(const archive::LocalCatalogue& catalogue, std::size_t i);

// PATH is the archive folder or one .idx (that pair alone).
PlayCatalogue buildPlayCatalogue(const std::filesystem::path& path, protocol::RecorderTime t);

}  // namespace kalix::player
