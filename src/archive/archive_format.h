#pragma once
// The archive pair on disk: an index file (.idx) and a media file (.vid)
// with the same name.
//
//   .idx   0        ArchiveHeader (64)
//          64       ArchiveSummary (128, zero until the pair is closed)
//          192      block table: 4096 IndexBlockRecord slots of 256 bytes
//          0x1000C0 event area: 32768 ArchiveEventRecord slots of 32 bytes;
//                   the first record with channel mask 0 ends the list
//          0x2000C0 seek list: n SeekEntry of 8 bytes
//          +8n      ArchiveTrailer (64, written at close)
//
//   .vid   0        ArchiveHeader (same bytes as the .idx header)
//          64       units back to back: a video unit is its 192-byte frame
//                   header and payload, an audio unit its 64-byte header and
//                   payload
//          end-64   ArchiveTrailer
//
// Every field of our own records is a big-endian u32. Frame headers and
// event records keep the recorder's bytes; only the previous-frame link at
// offset 32 of a stored frame header is ours (big-endian for a kind-3
// recorder, low byte first for kind 5).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kalix::archive {

inline constexpr std::uint32_t kHeaderMagic = 0x20070516;
inline constexpr std::uint32_t kSummaryMagic = 0xCAFECAFE;
inline constexpr std::uint32_t kBlockMagic = 0xBC987302;
inline constexpr std::uint32_t kTrailerMagic = 0x19720505;

inline constexpr std::uint32_t kVideoUnitMagic = 0x20061123;
inline constexpr std::uint32_t kAudioUnitMagic = 0x2518F049;
inline constexpr std::uint32_t kEventLogUnitMagic = 0x20100611;

inline constexpr std::size_t kSignatureSize = 16;
inline constexpr std::size_t kSignatureCompared = 9;
inline constexpr std::string_view kSignatureKind3 = "tarnrec9w";
inline constexpr std::string_view kSignatureKind5 = "KITErec01";

inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kSummarySize = 128;
inline constexpr std::size_t kBlockRecordSize = 256;
inline constexpr std::size_t kEventRecordSize = 32;
inline constexpr std::size_t kSeekEntrySize = 8;
inline constexpr std::size_t kTrailerSize = 64;

inline constexpr std::uint32_t kMaxBlocks = 4096;
inline constexpr std::uint32_t kMaxEvents = 32768;

inline constexpr std::uint64_t kSummaryOffset = 64;
inline constexpr std::uint64_t kBlockTableOffset = 192;
inline constexpr std::uint64_t kEventAreaOffset = 0x1000C0;  // 1,048,768
inline constexpr std::uint64_t kSeekListOffset = 0x2000C0;   // 2,097,344
inline constexpr std::uint64_t kNewIndexSize = kSeekListOffset;
inline constexpr std::uint64_t kFirstUnitOffset = 64;

inline constexpr std::size_t kVideoHeaderSize = 192;
inline constexpr std::size_t kAudioHeaderSize = 64;
inline constexpr std::size_t kEventLogHeaderSize = 64;
// The largest unit the client ever holds: its reassembly and frame buffers.
inline constexpr std::size_t kMaxUnitBytes = 1'244'160;
// A pair is split after the video unit that starts beyond this offset.
inline constexpr std::uint64_t kDefaultSplitBytes = 681'574'400;  // 650 MiB

// Offsets inside stored frame headers.
inline constexpr std::size_t kUnitTypeOffset = 16;
inline constexpr std::size_t kUnitTimeOffset = 24;
inline constexpr std::size_t kUnitPayloadLenOffset = 28;
inline constexpr std::size_t kUnitPreviousLinkOffset = 32;
inline constexpr std::size_t kVideoSegmentKeyOffset = 40;
inline constexpr std::size_t kVideoCopiedBytesOffset = 48;  // 48-51 go to the block record
inline constexpr std::size_t kVideoFlagByteOffset = 50;
inline constexpr std::size_t kVideoDecodeOnlyOffset = 52;
inline constexpr std::size_t kVideoHeightOffset = 132;
inline constexpr std::size_t kVideoWidthOffset = 133;
inline constexpr std::size_t kVideoChannelOffset = 164;
inline constexpr std::size_t kAudioChannelMaskOffset = 52;

using Signature = std::array<std::uint8_t, kSignatureSize>;

// The recorder kinds whose data the archive stores; another kind writes an
// all-zero signature.
Signature signatureForKind(int recorder_kind);
bool hasSignature(std::span<const std::uint8_t> bytes, std::string_view signature);

struct ArchiveHeader {
    Signature signature{};
    std::uint32_t magic = kHeaderMagic;
    std::uint32_t split_time = 0;  // non-zero: opened because the previous pair was full
};

struct ArchiveSummary {
    Signature signature{};
    std::uint32_t magic = kSummaryMagic;
    std::uint32_t first_time = 0;
    std::uint32_t last_time = 0;
    std::uint32_t block_count = 0;
};

struct IndexBlockRecord {
    Signature signature{};
    std::uint32_t magic = kBlockMagic;
    std::uint32_t start_time = 0;
    std::uint32_t end_time = 0;
    std::uint32_t seek_position = 0;  // .idx offset of the block's first seek entry
    std::uint32_t video_mask = 0;
    std::uint32_t audio_mask = 0;
    std::array<std::uint8_t, 4> last_header_bytes{};  // bytes 48-51 of the last video header
    std::array<std::uint32_t, 16> video_bytes{};
    std::array<std::uint32_t, 16> audio_bytes{};
    std::array<std::uint8_t, 16> flag_bytes{};
};

struct SeekEntry {
    std::uint32_t video_offset = 0;
    std::uint32_t audio_offset = 0;  // latest audio unit before that frame, 0 when none
};

struct ArchiveTrailer {
    Signature signature{};
    std::uint32_t magic = kTrailerMagic;
    std::uint32_t split_time = 0;         // .idx: the split value when the pair was full
    std::uint32_t last_video_offset = 0;  // .vid: the last video header written
};

// Read as stored: the time, the second time and the mask big-endian.
struct ArchiveEventRecord {
    std::array<std::uint8_t, kEventRecordSize> bytes{};

    std::uint32_t time() const;
    std::uint32_t time2() const;
    std::uint32_t channelMask() const;
    std::uint8_t kind() const { return bytes[12]; }
};

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;
using SummaryBytes = std::array<std::uint8_t, kSummarySize>;
using BlockRecordBytes = std::array<std::uint8_t, kBlockRecordSize>;
using TrailerBytes = std::array<std::uint8_t, kTrailerSize>;
using SeekEntryBytes = std::array<std::uint8_t, kSeekEntrySize>;

HeaderBytes encodeHeader(const ArchiveHeader& header);
ArchiveHeader decodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes);
SummaryBytes encodeSummary(const ArchiveSummary& summary);
ArchiveSummary decodeSummary(std::span<const std::uint8_t, kSummarySize> bytes);
BlockRecordBytes encodeBlockRecord(const IndexBlockRecord& record);
IndexBlockRecord decodeBlockRecord(std::span<const std::uint8_t, kBlockRecordSize> bytes);
TrailerBytes encodeTrailer(const ArchiveTrailer& trailer);
ArchiveTrailer decodeTrailer(std::span<const std::uint8_t, kTrailerSize> bytes);
SeekEntryBytes encodeSeekEntry(const SeekEntry& entry);
SeekEntry decodeSeekEntry(std::span<const std::uint8_t, kSeekEntrySize> bytes);

// The .idx length for n seek entries once the pair is closed.
constexpr std::uint64_t closedIndexSize(std::uint64_t seek_entries) {
    return kSeekListOffset + kSeekEntrySize * seek_entries + kTrailerSize;
}

constexpr std::uint64_t blockRecordOffset(std::uint32_t block) {
    return kBlockTableOffset + std::uint64_t{block} * kBlockRecordSize;
}

// Picture sizes the channel decoders accept.
bool acceptedPictureSize(unsigned width, unsigned height);

}  // namespace kalix::archive
