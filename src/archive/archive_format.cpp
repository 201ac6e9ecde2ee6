#include "archive/archive_format.h"

#include <algorithm>

#include "protocol/byte_order.h"

namespace kalix::archive {
namespace {

using protocol::be32;
using protocol::putBe32;

void putSignature(std::uint8_t* p, const Signature& s) { std::copy(s.begin(), s.end(), p); }

Signature takeSignature(const std::uint8_t* p) {
    Signature s{};
    std::copy(p, p + kSignatureSize, s.begin());
    return s;
}

}  // namespace

Signature signatureForKind(int recorder_kind) {
    Signature s{};
    std::string_view text;
    if (recorder_kind == 3) text = kSignatureKind3;
    if (recorder_kind == 5) text = kSignatureKind5;
    std::copy(text.begin(), text.end(), s.begin());
    return s;
}

bool hasSignature(std::span<const std::uint8_t> bytes, std::string_view signature) {
    const std::size_t n = std::min(signature.size(), kSignatureCompared);
    if (bytes.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != static_cast<std::uint8_t>(signature[i])) return false;
    return true;
}

std::uint32_t ArchiveEventRecord::time() const { return be32(bytes.data()); }
std::uint32_t ArchiveEventRecord::time2() const { return be32(bytes.data() + 4); }
std::uint32_t ArchiveEventRecord::channelMask() const { return be32(bytes.data() + 8); }

HeaderBytes encodeHeader(const ArchiveHeader& header) {
    HeaderBytes b{};
    putSignature(b.data(), header.signature);
    putBe32(b.data() + 16, header.magic);
    putBe32(b.data() + 32, header.split_time);
    return b;
}

ArchiveHeader decodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes) {
    ArchiveHeader h;
    h.signature = takeSignature(bytes.data());
    h.magic = be32(bytes.data() + 16);
    h.split_time = be32(bytes.data() + 32);
    return h;
}

SummaryBytes encodeSummary(const ArchiveSummary& summary) {
    SummaryBytes b{};
    putSignature(b.data(), summary.signature);
    putBe32(b.data() + 16, summary.magic);
    putBe32(b.data() + 24, summary.first_time);
    putBe32(b.data() + 28, summary.last_time);
    putBe32(b.data() + 32, summary.block_count);
    return b;
}

ArchiveSummary decodeSummary(std::span<const std::uint8_t, kSummarySize> bytes) {
    ArchiveSummary s;
    s.signature = takeSignature(bytes.data());
    s.magic = be32(bytes.data() + 16);
    s.first_time = be32(bytes.data() + 24);
    s.last_time = be32(bytes.data() + 28);
    s.block_count = be32(bytes.data() + 32);
    return s;
}

BlockRecordBytes encodeBlockRecord(const IndexBlockRecord& r) {
    BlockRecordBytes b{};
    putSignature(b.data(), r.signature);
    putBe32(b.data() + 16, r.magic);
    putBe32(b.data() + 24, r.start_time);
    putBe32(b.data() + 28, r.end_time);
    putBe32(b.data() + 32, r.seek_position);
    putBe32(b.data() + 36, r.video_mask);
    putBe32(b.data() + 40, r.audio_mask);
    putBe32(b.data() + 44, r.video_mask);
    std::copy(r.last_header_bytes.begin(), r.last_header_bytes.end(), b.begin() + 48);
    for (std::size_t c = 0; c < 16; ++c) {
        putBe32(b.data() + 80 + 4 * c, r.video_bytes[c]);
        putBe32(b.data() + 144 + 4 * c, r.audio_bytes[c]);
        b[208 + c] = r.flag_bytes[c];
    }
    return b;
}

IndexBlockRecord decodeBlockRecord(std::span<const std::uint8_t, kBlockRecordSize> bytes) {
    IndexBlockRecord r;
    const std::uint8_t* p = bytes.data();
    r.signature = takeSignature(p);
    r.magic = be32(p + 16);
    r.start_time = be32(p + 24);
    r.end_time = be32(p + 28);
    r.seek_position = be32(p + 32);
    r.video_mask = be32(p + 36);
    r.audio_mask = be32(p + 40);
    std::copy(p + 48, p + 52, r.last_header_bytes.begin());
    for (std::size_t c = 0; c < 16; ++c) {
        r.video_bytes[c] = be32(p + 80 + 4 * c);
        r.audio_bytes[c] = be32(p + 144 + 4 * c);
        r.flag_bytes[c] = p[208 + c];
    }
    return r;
}

TrailerBytes encodeTrailer(const ArchiveTrailer& t) {
    TrailerBytes b{};
    putSignature(b.data(), t.signature);
    putBe32(b.data() + 16, t.magic);
    putBe32(b.data() + 32, t.split_time);
    putBe32(b.data() + 36, t.last_video_offset);
    return b;
}

ArchiveTrailer decodeTrailer(std::span<const std::uint8_t, kTrailerSize> bytes) {
    ArchiveTrailer t;
    t.signature = takeSignature(bytes.data());
    t.magic = be32(bytes.data() + 16);
    t.split_time = be32(bytes.data() + 32);
    t.last_video_offset = be32(bytes.data() + 36);
    return t;
}

SeekEntryBytes encodeSeekEntry(const SeekEntry& e) {
    SeekEntryBytes b{};
    putBe32(b.data(), e.video_offset);
    putBe32(b.data() + 4, e.audio_offset);
    return b;
}

SeekEntry decodeSeekEntry(std::span<const std::uint8_t, kSeekEntrySize> bytes) {
    return {be32(bytes.data()), be32(bytes.data() + 4)};
}

bool acceptedPictureSize(unsigned width, unsigned height) {
    if (width == 352 || width == 360) return height == 240 || height == 288;
    if (width == 704 || width == 720) return height == 240 || height == 288 || height == 480 || height == 576;
    return false;
}

}  // namespace kalix::archive
