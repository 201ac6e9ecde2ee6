#include "archive/archive_reader.h"

#include <algorithm>
#include <cstdio>

#include "protocol/byte_order.h"

namespace kalix::archive {
namespace {

using protocol::be32;

std::string hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

}  // namespace

std::uint32_t UnitHeader::audioMask() const { return be32(bytes.data() + kAudioChannelMaskOffset); }

const char* toString(UnitDamage damage) {
    switch (damage) {
        case UnitDamage::None: return "none";
        case UnitDamage::ReadFailed: return "unit header cannot be read";
        case UnitDamage::PastTrailer: return "unit runs past the .vid trailer";
        case UnitDamage::TooLong: return "unit longer than the frame buffer";
    }
    return "?";
}

PreviousLink previousOf(const UnitHeader& unit) {
    const std::uint64_t link = unit.previous_link;
    if (link < kFirstUnitOffset) return {};
    // The first unit of a .vid carries its own offset: nothing before it.
    if (link == kFirstUnitOffset && unit.offset == kFirstUnitOffset) return {};
    // A link that does not lead back would loop for ever.
    if (link >= unit.offset) return {PreviousLink::Kind::Damaged, link};
    return {PreviousLink::Kind::At, link};
}

bool ArchivePair::refuse(std::string reason) {
    failure_ = std::move(reason);
    idx_.close();
    vid_.close();
    vid_probe_.close();
    return false;
}

bool ArchivePair::open(const std::filesystem::path& idx_path) {
    idx_path_ = idx_path;
    vid_path_ = idx_path;
    vid_path_.replace_extension(".vid");
    blocks_.clear();
    block_begins_.clear();
    seek_list_.clear();
    seek_list_loaded_ = false;
    failure_.clear();

    if (!idx_.open(idx_path, ArchiveFile::Mode::ReadOnly) || !idx_.size(idx_size_))
        return refuse("cannot open the .idx: " + errorText(idx_.errorNumber()));
    if (idx_size_ < closedIndexSize(0) || (idx_size_ - closedIndexSize(0)) % kSeekEntrySize != 0)
        return refuse("index length " + std::to_string(idx_size_) + " is not that of a closed index");
    seek_count_ = (idx_size_ - closedIndexSize(0)) / kSeekEntrySize;

    HeaderBytes head{};
    if (!idx_.readAt(0, head)) return refuse("cannot read the .idx header");
    header_ = decodeHeader(head);
    if (header_.magic != kHeaderMagic) return refuse("bad header magic " + hex(header_.magic));
    if (!hasSignature(header_.signature, kSignatureKind3)) return refuse("signature is not tarnrec9w");

    SummaryBytes sum{};
    if (!idx_.readAt(kSummaryOffset, sum)) return refuse("cannot read the summary");
    summary_ = decodeSummary(sum);
    if (summary_.magic != kSummaryMagic) return refuse("bad summary magic " + hex(summary_.magic));
    if (summary_.block_count < 1 || summary_.block_count > kMaxBlocks)
        return refuse("block count " + std::to_string(summary_.block_count) + " outside 1-4096");

    std::vector<std::uint8_t> table(std::size_t{summary_.block_count} * kBlockRecordSize);
    if (!idx_.readAt(kBlockTableOffset, table)) return refuse("cannot read the block table");
    for (std::uint32_t i = 0; i < summary_.block_count; ++i) {
        const auto record = decodeBlockRecord(
            std::span<const std::uint8_t, kBlockRecordSize>(table.data() + std::size_t{i} * kBlockRecordSize,
                                                            kBlockRecordSize));
        if (record.magic != kBlockMagic) return refuse("block " + std::to_string(i) + ": bad record magic");
        blocks_.push_back(record);
    }

    TrailerBytes tail{};
    if (!idx_.readAt(idx_size_ - kTrailerSize, tail)) return refuse("cannot read the .idx trailer");
    idx_trailer_ = decodeTrailer(tail);
    if (idx_trailer_.magic != kTrailerMagic) return refuse("bad .idx trailer magic " + hex(idx_trailer_.magic));

    if (!vid_.open(vid_path_, ArchiveFile::Mode::ReadOnly) || !vid_.size(vid_size_))
        return refuse("cannot open the .vid: " + errorText(vid_.errorNumber()));
    if (vid_size_ < kHeaderSize + kTrailerSize) return refuse(".vid too short");
    if (!vid_.readAt(0, head)) return refuse("cannot read the .vid header");
    if (decodeHeader(head).magic != kHeaderMagic) return refuse("bad .vid header magic");
    if (!vid_.readAt(vid_size_ - kTrailerSize, tail)) return refuse("cannot read the .vid trailer");
    vid_trailer_ = decodeTrailer(tail);
    if (vid_trailer_.magic != kTrailerMagic) return refuse("bad .vid trailer magic " + hex(vid_trailer_.magic));

    if (!vid_probe_.open(vid_path_, ArchiveFile::Mode::ReadOnly))
        return refuse("cannot open the .vid: " + errorText(vid_probe_.errorNumber()));
    vid_probe_.adviseRandomAccess();

    if (seek_count_ == 0) return true;
    // Every frame a block leads to lies in the units area, in block order.
    const std::uint64_t lowest = kFirstUnitOffset;
    const std::uint64_t highest = vidTrailerOffset() < kVideoHeaderSize ? 0 : vidTrailerOffset() - kVideoHeaderSize;
    const std::uint64_t list_end = kSeekListOffset + seek_count_ * kSeekEntrySize;
    std::uint64_t previous_begin = 0;
    for (std::uint32_t i = 0; i < summary_.block_count; ++i) {
        const std::uint64_t pos = blocks_[i].seek_position;
        if (pos < kSeekListOffset || pos >= list_end || (pos - kSeekListOffset) % kSeekEntrySize != 0)
            return refuse("block " + std::to_string(i) + ": seek position " + hex(pos) + " outside the seek list");
        const auto entry = seekEntryAt(pos);
        if (!entry) return refuse("block " + std::to_string(i) + ": cannot read its seek entry");
        const std::uint64_t begin = entry->video_offset;
        if (begin < lowest || begin > highest)
            return refuse("block " + std::to_string(i) + ": frame offset " + hex(begin) + " outside the .vid");
        if (i > 0 && begin <= previous_begin)
            return refuse("block " + std::to_string(i) + ": frame offset " + hex(begin) + " not after the last block's");
        previous_begin = begin;
        block_begins_.push_back(begin);
    }
    const std::uint64_t last = vid_trailer_.last_video_offset;
    if (last < lowest || last > highest) return refuse(".vid trailer: last frame offset " + hex(last) + " outside the .vid");
    return true;
}

ArchivePair::EntryRange ArchivePair::blockEntries(std::uint32_t block) const {
    if (seek_count_ == 0 || block >= blocks_.size()) return {};
    const std::uint64_t first = (blocks_[block].seek_position - kSeekListOffset) / kSeekEntrySize;
    std::uint64_t end = seek_count_;
    if (block + 1 < blocks_.size()) {
        const std::uint64_t next = (blocks_[block + 1].seek_position - kSeekListOffset) / kSeekEntrySize;
        // Out-of-order positions leave the block its first entry only.
        end = next > first ? next : first + 1;
    }
    return {first, end};
}

std::optional<std::uint64_t> ArchivePair::blockBegin(std::uint32_t block) const {
    if (block >= block_begins_.size()) return std::nullopt;
    return block_begins_[block];
}

std::optional<std::uint64_t> ArchivePair::blockEnd(std::uint32_t block) const {
    if (block >= block_begins_.size()) return std::nullopt;
    if (block + 1 < block_begins_.size()) return block_begins_[block + 1];
    return vidTrailerOffset();
}

std::optional<SeekEntry> ArchivePair::seekEntry(std::uint64_t index) {
    if (index >= seek_count_) return std::nullopt;
    // Searches probe the list again and again: it is read once, whole, when it is small enough.
    constexpr std::uint64_t kCachedEntries = 1u << 20;
    if (!seek_list_loaded_ && seek_count_ <= kCachedEntries) {
        seek_list_loaded_ = true;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(seek_count_ * kSeekEntrySize));
        if (idx_.readAt(kSeekListOffset, bytes)) {
            seek_list_.reserve(static_cast<std::size_t>(seek_count_));
            for (std::size_t i = 0; i < seek_count_; ++i)
                seek_list_.push_back(decodeSeekEntry(
                    std::span<const std::uint8_t, kSeekEntrySize>(bytes.data() + i * kSeekEntrySize, kSeekEntrySize)));
        }
    }
    if (index < seek_list_.size()) return seek_list_[static_cast<std::size_t>(index)];
    return seekEntryAt(kSeekListOffset + index * kSeekEntrySize);
}

std::optional<SeekEntry> ArchivePair::seekEntryAt(std::uint64_t idx_offset) {
    if (idx_offset < kSeekListOffset || idx_offset + kSeekEntrySize > kSeekListOffset + seek_count_ * kSeekEntrySize)
        return std::nullopt;
    SeekEntryBytes b{};
    if (!idx_.readAt(idx_offset, b)) return std::nullopt;
    return decodeSeekEntry(b);
}

UnitRead ArchivePair::readUnit(std::uint64_t offset) {
    UnitRead r;
    const std::uint64_t end = vidTrailerOffset();
    if (offset < kFirstUnitOffset) {
        r.damage = UnitDamage::ReadFailed;
        return r;
    }
    if (offset + kAudioHeaderSize > end) {
        r.damage = UnitDamage::PastTrailer;
        return r;
    }
    UnitHeader u;
    u.offset = offset;
    if (!vid_.readAt(offset, std::span(u.bytes.data(), kAudioHeaderSize))) {
        r.damage = UnitDamage::ReadFailed;
        return r;
    }
    u.type_word = be32(u.bytes.data() + kUnitTypeOffset);
    u.kind = u.type_word == kVideoUnitMagic ? UnitKind::Video : UnitKind::Audio;
    if (u.kind == UnitKind::Video) {
        if (offset + kVideoHeaderSize > end) {
            r.damage = UnitDamage::PastTrailer;
            return r;
        }
        if (!vid_.readAt(offset + kAudioHeaderSize,
                         std::span(u.bytes.data() + kAudioHeaderSize, kVideoHeaderSize - kAudioHeaderSize))) {
            r.damage = UnitDamage::ReadFailed;
            return r;
        }
    }
    u.time = be32(u.bytes.data() + kUnitTimeOffset);
    u.payload_len = be32(u.bytes.data() + kUnitPayloadLenOffset);
    u.previous_link = be32(u.bytes.data() + kUnitPreviousLinkOffset);
    if (u.headerSize() + std::uint64_t{u.payload_len} > kMaxUnitBytes) {
        r.damage = UnitDamage::TooLong;
        return r;
    }
    if (u.next() > end) {
        r.damage = UnitDamage::PastTrailer;
        return r;
    }
    r.unit = u;
    return r;
}

bool ArchivePair::readPayload(const UnitHeader& unit, std::span<std::uint8_t> out) {
    if (out.size() < unit.payload_len || unit.next() > vidTrailerOffset()) return false;
    return vid_.readAt(unit.payloadOffset(), out.first(unit.payload_len));
}

std::optional<std::uint32_t> ArchivePair::videoTimeAt(std::uint64_t offset) {
    if (offset < kFirstUnitOffset || offset + kVideoHeaderSize > vidTrailerOffset()) return std::nullopt;
    std::array<std::uint8_t, kUnitTimeOffset + 4> b{};
    if (!vid_probe_.readAt(offset, b)) return std::nullopt;
    return be32(b.data() + kUnitTimeOffset);
}

std::vector<ArchiveEventRecord> ArchivePair::readEvents() {
    // Read in pieces: most areas end after a few records.
    constexpr std::size_t kPerRead = 128;
    std::vector<ArchiveEventRecord> events;
    std::array<std::uint8_t, kPerRead * kEventRecordSize> piece{};
    for (std::size_t first = 0; first < kMaxEvents; first += kPerRead) {
        if (!idx_.readAt(kEventAreaOffset + first * kEventRecordSize, piece)) return events;
        for (std::size_t i = 0; i < kPerRead; ++i) {
            ArchiveEventRecord r;
            std::copy_n(piece.data() + i * kEventRecordSize, kEventRecordSize, r.bytes.begin());
            if (r.channelMask() == 0) return events;
            events.push_back(r);
        }
    }
    return events;
}

std::optional<SeekHit> ArchivePair::hitAt(std::uint64_t index) {
    const auto entry = seekEntry(index);
    if (!entry) return std::nullopt;
    SeekHit hit;
    hit.index = index;
    hit.idx_offset = kSeekListOffset + index * kSeekEntrySize;
    hit.entry = *entry;
    hit.time = videoTimeAt(entry->video_offset).value_or(0);
    return hit;
}

// The first entry in the range whose frame is at or after t. Times grow
// along a block's entries at about one entry a second, so each probe's time
// tells how many entries away the answer lies; a few probes at most, each
// one frame header read. Probes narrow [lo, hi] like a bisection, and after
// a few guesses that do not land the search bisects, so it always ends. An
// entry whose frame cannot be read counts as late: the search never passes it.
std::optional<SeekHit> ArchivePair::search(EntryRange range, std::uint32_t t,
                                           std::optional<std::uint64_t> first_probe) {
    if (range.empty()) return std::nullopt;
    constexpr int kGuesses = 6;
    std::uint64_t lo = range.first;
    std::uint64_t hi = range.end;  // the answer lies in [lo, hi]; hi = range.end: none is late
    std::int64_t guess = static_cast<std::int64_t>(first_probe.value_or(lo + (hi - lo) / 2));
    for (int probes = 0; lo < hi; ++probes) {
        const std::uint64_t p = probes < kGuesses
                                    ? static_cast<std::uint64_t>(std::clamp<std::int64_t>(
                                          guess, static_cast<std::int64_t>(lo), static_cast<std::int64_t>(hi - 1)))
                                    : lo + (hi - lo) / 2;
        const auto entry = seekEntry(p);
        const auto time = entry ? videoTimeAt(entry->video_offset) : std::nullopt;
        const bool late = !time || *time >= t;
        if (late)
            hi = p;
        else
            lo = p + 1;
        if (!time) {
            guess = static_cast<std::int64_t>(lo + (hi - lo) / 2);
            continue;
        }
        guess = static_cast<std::int64_t>(p) + (static_cast<std::int64_t>(t) - static_cast<std::int64_t>(*time));
        // A late entry with the very time sought: the answer is it or the one before.
        if (late && guess >= static_cast<std::int64_t>(p)) guess = static_cast<std::int64_t>(p) - 1;
    }
    return hitAt(std::min(lo, range.end - 1));
}

std::optional<SeekHit> ArchivePair::locateAtOrAfter(std::uint32_t block, std::uint32_t t) {
    return estimateSeek(block, t);
}

std::optional<SeekHit> ArchivePair::estimateSeek(std::uint32_t block, std::uint32_t t) {
    const auto range = blockEntries(block);
    if (range.empty()) return std::nullopt;
    const std::uint32_t start = blocks_[block].start_time;
    const std::uint64_t seconds = t > start ? t - start : 0;
    return search(range, t, range.first + seconds);
}

}  // namespace kalix::archive
