#pragma once
// Reading the units of a .vid and the seek entries of its .idx for the
// local player: forwards from a position, backwards along the previous-
// frame links, and the slider's walk through the seek list.
//
// Every length comes from the file and is checked against the .vid
// trailer before anything is read: a unit that runs past it, or a link
// that does not point below its own frame, is damage, reported with the
// offset where it was met.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "media/frame_formats.h"
#include "protocol/unique_fd.h"

namespace kalix::player {

inline constexpr std::uint32_t kFirstUnitOffset = 64;
inline constexpr std::uint32_t kTrailerSize = 64;
inline constexpr std::uint32_t kSeekEntrySize = 8;
inline constexpr std::size_t kFrameBufferBytes = 1'244'160;

// Picture sizes the decoders take.
bool acceptedPictureSize(std::uint16_t width, std::uint16_t height);

enum class UnitKind : std::uint8_t { Video, Audio };

struct Unit {
    UnitKind kind = UnitKind::Video;
    std::uint32_t offset = 0;  // of the header in the .vid
    std::uint32_t payload_len = 0;
    media::VideoFrameHeader video;  // with kind Video
    media::AudioFrameHeader audio;  // with kind Audio

    std::uint32_t headerSize() const;
    std::uint32_t end() const { return offset + headerSize() + payload_len; }
    std::uint32_t previousLink() const { return kind == UnitKind::Video ? video.previous_link : audio.previous_link; }
};

struct SeekEntry {
    std::uint32_t video_offset = 0;
    std::uint32_t audio_offset = 0;
};

// An open archive pair, read-only.
class PairReader {
public:
    bool open(const std::string& vid_path);
    void close();
    bool isOpen() const { return vid_.valid(); }
    const std::string& path() const { return path_; }

    // The .vid trailer's offset (file length − 64) and its last-frame offset.
    std::uint32_t trailerOffset() const { return trailer_offset_; }
    std::optional<std::uint32_t> lastFrameOffset() const;

    // The unit whose header starts at `offset`; a damage text when the
    // header or its payload would run past the trailer.
    struct ReadResult {
        std::optional<Unit> unit;
        std::string damage;  // empty when unit is set
    };
    ReadResult readUnit(std::uint32_t offset) const;
    // The payload of a unit, into `buffer` (at most kFrameBufferBytes).
    bool readPayload(const Unit& unit, std::vector<std::uint8_t>& buffer) const;

    std::uint32_t indexSize() const { return index_size_; }
    std::optional<SeekEntry> seekEntry(std::uint32_t idx_offset) const;

private:
    bool readAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) const;

    std::string path_;
    protocol::UniqueFd vid_;
    protocol::UniqueFd idx_;
    std::uint32_t trailer_offset_ = 0;
    std::uint32_t index_size_ = 0;
};

}  // namespace kalix::player
