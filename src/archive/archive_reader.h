#pragma once
// ArchivePair: one closed pair opened read-only and checked before anything
// in it is trusted, and the reads the catalogue and the local player build
// on. Every offset and length that comes from the files is checked against
// the files' sizes and the frame buffer before it is used.
//
// A pair is accepted when: the .idx is 2,097,344 + 8n + 64 bytes; header
// magic and the tarnrec9w signature; summary magic; 1-4096 blocks, each
// record with its magic; both trailers' magic; the .vid has the header
// magic; and with seek entries (n > 0): each block's seek position lies in
// the seek list, its first entry's offset lies in [64, .vid trailer - 192]
// and increases from block to block, and so does the .vid trailer's
// last-frame offset.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archive_format.h"

namespace kalix::archive {

enum class UnitKind { Video, Audio };

// A unit's header as stored, with the fields the readers use (big-endian).
struct UnitHeader {
    UnitKind kind = UnitKind::Video;
    std::uint64_t offset = 0;  // in the .vid
    std::uint32_t type_word = 0;
    std::uint32_t time = 0;           // video: offset 24
    std::uint32_t payload_len = 0;    // offset 28
    std::uint32_t previous_link = 0;  // offset 32
    std::array<std::uint8_t, kVideoHeaderSize> bytes{};  // the first headerSize() bytes are valid

    std::size_t headerSize() const { return kind == UnitKind::Video ? kVideoHeaderSize : kAudioHeaderSize; }
    std::uint64_t payloadOffset() const { return offset + headerSize(); }
    std::uint64_t next() const { return payloadOffset() + payload_len; }
    std::uint8_t channel() const { return bytes[kVideoChannelOffset] & 0x0F; }
    unsigned width() const { return bytes[kVideoWidthOffset] * 16u; }
    unsigned height() const { return bytes[kVideoHeightOffset] * 16u; }
    std::uint8_t decodeOnly() const { return bytes[kVideoDecodeOnlyOffset]; }
    std::uint32_t audioMask() const;  // offset 52
};

enum class UnitDamage {
    None,
    ReadFailed,     // the header could not be read
    PastTrailer,    // the unit runs past the .vid trailer
    TooLong,        // longer than the frame buffer
};
const char* toString(UnitDamage damage);

struct UnitRead {
    std::optional<UnitHeader> unit;
    UnitDamage damage = UnitDamage::None;
};

// Where the previous-frame link of a unit leads.
struct PreviousLink {
    enum class Kind { None, At, Damaged } kind = Kind::None;
    std::uint64_t offset = 0;
};
PreviousLink previousOf(const UnitHeader& unit);
inline constexpr const char* kBackwardLinkText = "previous-frame link not below its frame";

// A seek entry found for a time.
struct SeekHit {
    std::uint64_t index = 0;       // entry number in the seek list
    std::uint64_t idx_offset = 0;  // its offset in the .idx
    SeekEntry entry;
    std::uint32_t time = 0;        // its frame's time stamp (0 when it could not be read)
};

class ArchivePair {
public:
    // Opens and validates; on failure failure() says why.
    bool open(const std::filesystem::path& idx_path);
    const std::string& failure() const { return failure_; }

    const std::filesystem::path& idxPath() const { return idx_path_; }
    const std::filesystem::path& vidPath() const { return vid_path_; }
    const ArchiveHeader& header() const { return header_; }
    const ArchiveSummary& summary() const { return summary_; }
    const ArchiveTrailer& idxTrailer() const { return idx_trailer_; }
    const ArchiveTrailer& vidTrailer() const { return vid_trailer_; }
    const std::vector<IndexBlockRecord>& blocks() const { return blocks_; }
    std::uint64_t seekCount() const { return seek_count_; }
    // Offset of the .vid trailer: units end here.
    std::uint64_t vidTrailerOffset() const { return vid_size_ - kTrailerSize; }

    // Seek entries [first, end) of block i; empty without seek entries.
    struct EntryRange {
        std::uint64_t first = 0;
        std::uint64_t end = 0;
        bool empty() const { return first >= end; }
    };
    EntryRange blockEntries(std::uint32_t block) const;
    // The video offset of the block's first entry, and where the block ends
    // in the .vid (the next block's begin, or the trailer). Blocks of a pair
    // without seek entries have neither.
    std::optional<std::uint64_t> blockBegin(std::uint32_t block) const;
    std::optional<std::uint64_t> blockEnd(std::uint32_t block) const;

    std::optional<SeekEntry> seekEntry(std::uint64_t index);
    std::optional<SeekEntry> seekEntryAt(std::uint64_t idx_offset);

    // The unit at a .vid offset: the type word decides (video magic: 192-byte
    // header, anything else a 64-byte audio header).
    UnitRead readUnit(std::uint64_t offset);
    bool readPayload(const UnitHeader& unit, std::span<std::uint8_t> out);
    std::optional<std::uint32_t> videoTimeAt(std::uint64_t offset);

    // The event area up to the first record with channel mask 0.
    std::vector<ArchiveEventRecord> readEvents();

    // The entry of the first frame at or after t in block i: the catalogue's
    // search (with start ≤ t ≤ end) and the slider's, which starts from the
    // one-entry-per-second estimate. Both end on the block's last entry when
    // no frame is that late. Nothing when the block has no entries.
    std::optional<SeekHit> locateAtOrAfter(std::uint32_t block, std::uint32_t t);
    std::optional<SeekHit> estimateSeek(std::uint32_t block, std::uint32_t t);

private:
    bool refuse(std::string reason);
    std::optional<SeekHit> search(EntryRange range, std::uint32_t t, std::optional<std::uint64_t> first_probe);
    std::optional<SeekHit> hitAt(std::uint64_t index);

    std::filesystem::path idx_path_;
    std::filesystem::path vid_path_;
    ArchiveFile idx_;
    ArchiveFile vid_;
    // The seek searches read one frame header here and there; their own
    // descriptor keeps read-ahead away from them and on for playing.
    ArchiveFile vid_probe_;
    std::uint64_t idx_size_ = 0;
    std::uint64_t vid_size_ = 0;
    std::uint64_t seek_count_ = 0;
    ArchiveHeader header_;
    ArchiveSummary summary_;
    ArchiveTrailer idx_trailer_;
    ArchiveTrailer vid_trailer_;
    std::vector<IndexBlockRecord> blocks_;
    std::vector<std::uint64_t> block_begins_;
    // The whole seek list, read at the first search (a few KiB for a full pair).
    std::vector<SeekEntry> seek_list_;
    bool seek_list_loaded_ = false;
    std::string failure_;
};

}  // namespace kalix::archive
