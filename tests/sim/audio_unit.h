#pragma once
// A live audio unit as the client reads it, through the client's own header
// parser.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "media/frame_formats.h"
#include "sim/live_audio.h"

namespace kalix::sim::simtest {

// An audio unit as the client reads it.
struct AudioUnit {
    std::uint32_t mask = 0;
    std::vector<AudioBlockBytes> blocks;
};

inline std::optional<AudioUnit> parseAudio(std::span<const std::uint8_t> unit) {
    const auto header = media::parseAudioFrameHeader(unit);
    if (!header || header->type_word != media::kTypeAudio) return std::nullopt;
    AudioUnit parsed{header->channel_mask, {}};
    const auto count = static_cast<std::size_t>(std::popcount(header->channel_mask));
    if (unit.size() != media::kAudioFrameHeaderSize + count * media::kAudioBlockSize) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        AudioBlockBytes block{};
        std::copy_n(unit.begin() + static_cast<std::ptrdiff_t>(media::kAudioFrameHeaderSize + i * media::kAudioBlockSize),
                    block.size(), block.begin());
        parsed.blocks.push_back(block);
    }
    return parsed;
}

}  // namespace kalix::sim::simtest
