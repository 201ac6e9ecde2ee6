#include "archive/archive_writer.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "protocol/byte_order.h"

namespace kalix::archive {
namespace {

using protocol::be32;
using protocol::le32;

// Names tried after the current time before giving up on a folder.
constexpr std::uint32_t kNameAttempts = 65536;

std::string hexName(std::uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", key);
    return text;
}

}  // namespace

std::filesystem::path downloadFolder(const std::filesystem::path& storage_location) {
    return storage_location / "Download";
}

ArchiveWriter::ArchiveWriter(WriterOptions options)
    : options_(std::move(options)), signature_(signatureForKind(options_.recorder_kind)) {
    if (options_.split_bytes == 0) options_.split_bytes = kDefaultSplitBytes;
}

ArchiveWriter::~ArchiveWriter() {
    if (isOpen()) close();
}

std::uint32_t ArchiveWriter::now() const {
    if (options_.clock) return options_.clock();
    return static_cast<std::uint32_t>(std::time(nullptr));
}

// Split times link a full pair to the next one; two splits in one second
// would give two links the same value and the chains could not be told apart.
std::uint32_t ArchiveWriter::nextSplitTime() {
    std::uint32_t t = now();
    if (t == 0) t = 1;
    if (last_split_ != 0 && t <= last_split_) t = last_split_ + 1;
    last_split_ = t;
    return t;
}

std::uint32_t ArchiveWriter::recorderU32(const std::uint8_t* p) const {
    return options_.recorder_kind == 5 ? le32(p) : be32(p);
}

void ArchiveWriter::putLink(std::uint8_t* p, std::uint32_t link) const {
    if (options_.recorder_kind == 5)
        protocol::putLe32(p, link);
    else
        protocol::putBe32(p, link);
}

UnitResult ArchiveWriter::fail(const ArchiveFile& file) {
    if (!error_) error_ = WriteError{file.path(), file.errorNumber(), errorText(file.errorNumber())};
    return UnitResult::Failed;
}

// Takes back a unit that was not written whole: the files are cut back to
// where they were and the totals restored, so the pair holds only complete
// units when it is closed.
UnitResult ArchiveWriter::undo(const PairState& before, const ArchiveFile& file) {
    fail(file);
    state_ = before;
    if (saved_blocks_.size() > state_.block_count) saved_blocks_.resize(state_.block_count);
    vid_.truncate(state_.vid_pos);
    idx_.truncate(std::max<std::uint64_t>(state_.seek_pos, kNewIndexSize));
    return UnitResult::Failed;
}

bool ArchiveWriter::open() {
    if (isOpen()) return true;
    if (error_) return false;
    return makeFileOpen(0);
}

bool ArchiveWriter::makeFileOpen(std::uint32_t split_in) {
    std::error_code ec;
    std::filesystem::create_directories(options_.folder, ec);
    if (ec) {
        error_ = WriteError{options_.folder, ec.value(), errorText(ec.value())};
        return false;
    }
    // Never replace a pair: a name whose .idx or .vid exists is passed over
    // for the next higher one.
    std::uint32_t key = now();
    bool created = false;
    for (std::uint32_t attempt = 0; attempt < kNameAttempts && !created; ++attempt, ++key) {
        const auto base = options_.folder / hexName(key);
        auto idx_path = base;
        idx_path += ".idx";
        auto vid_path = base;
        vid_path += ".vid";
        if (std::filesystem::exists(vid_path, ec)) continue;
        if (!idx_.open(idx_path, ArchiveFile::Mode::CreateNew)) {
            if (idx_.errorNumber() == EEXIST) continue;
            fail(idx_);
            return false;
        }
        if (!vid_.open(vid_path, ArchiveFile::Mode::CreateNew)) {
            const int e = vid_.errorNumber();
            idx_.close();
            std::filesystem::remove(idx_path, ec);
            if (e == EEXIST) continue;
            error_ = WriteError{vid_path, e, errorText(e)};
            return false;
        }
        created = true;
    }
    if (!created) {
        error_ = WriteError{options_.folder, EEXIST, errorText(EEXIST)};
        return false;
    }

    state_ = PairState{};
    saved_blocks_.clear();
    split_in_ = split_in;
    ArchiveHeader header;
    header.signature = signature_;
    header.split_time = split_in;
    const auto bytes = encodeHeader(header);
    if (!idx_.writeAt(0, bytes) || !idx_.writeZeros(kHeaderSize, kNewIndexSize - kHeaderSize)) {
        fail(idx_);
        return true;  // open, but nothing more is stored; close() still completes it
    }
    if (!vid_.writeAt(0, bytes)) fail(vid_);
    return true;
}

bool ArchiveWriter::saveIdxBlockFile() {
    const Block& b = state_.block;
    IndexBlockRecord r;
    r.signature = signature_;
    r.start_time = b.start_time;
    r.end_time = b.end_time;
    r.seek_position = b.seek_position;
    r.video_mask = b.video_mask;
    r.audio_mask = b.audio_mask;
    r.last_header_bytes = b.last_header_bytes;
    for (std::size_t c = 0; c < 16; ++c) r.video_bytes[c] = static_cast<std::uint32_t>(b.video_bytes[c]);
    r.audio_bytes = b.audio_bytes;
    r.flag_bytes = b.flag_bytes;
    if (state_.block_count >= kMaxBlocks) return true;  // never beyond the table
    const bool ok = idx_.writeAt(blockRecordOffset(state_.block_count), encodeBlockRecord(r));
    saved_blocks_.push_back(r);
    ++state_.block_count;
    return ok;
}

bool ArchiveWriter::split() {
    const std::uint32_t s = nextSplitTime();
    if (!makeFileClose(s)) return false;
    return makeFileOpen(s) && !error_;
}

UnitResult ArchiveWriter::appendUnit(std::span<const std::uint8_t> unit) {
    if (unit.size() < kUnitTypeOffset + 4) {
        ++dropped_.bad_length;
        return UnitResult::Dropped;
    }
    switch (recorderU32(unit.data() + kUnitTypeOffset)) {
        case kVideoUnitMagic: return appendVideo(unit);
        case kAudioUnitMagic: return appendAudio(unit);
        case kEventLogUnitMagic: return keepEvents(unit);
        default: ++dropped_.unknown_kind; return UnitResult::Dropped;
    }
}

UnitResult ArchiveWriter::appendVideo(std::span<const std::uint8_t> unit) {
    if (error_) return UnitResult::Failed;
    if (unit.size() > kMaxUnitBytes) {
        ++dropped_.too_long;
        return UnitResult::Dropped;
    }
    if (unit.size() < kVideoHeaderSize ||
        unit.size() != kVideoHeaderSize + std::uint64_t{be32(unit.data() + kUnitPayloadLenOffset)}) {
        ++dropped_.bad_length;
        return UnitResult::Dropped;
    }
    if (!isOpen() && !open()) return UnitResult::Failed;

    const std::uint32_t key = be32(unit.data() + kVideoSegmentKeyOffset);
    const std::uint32_t time = be32(unit.data() + kUnitTimeOffset);
    const std::size_t channel = unit[kVideoChannelOffset] & 0x0F;

    bool force_seek = false;
    if (state_.block.open && state_.block.key != key) {
        // The block table has 4096 slots: the pair is closed early instead of
        // writing past it, and the frame opens the next pair.
        if (state_.block_count + 1 >= kMaxBlocks) {
            if (!split()) return UnitResult::Failed;
        } else {
            const PairState before = state_;
            if (!saveIdxBlockFile()) return undo(before, idx_);
            state_.block = Block{};
            force_seek = true;
        }
    }
    const PairState before = state_;
    if (!state_.block.open) {
        state_.block.open = true;
        state_.block.key = key;
        state_.block.start_time = time;
        if (!state_.first_frame_time) state_.first_frame_time = time;
        state_.block.seek_position = static_cast<std::uint32_t>(state_.seek_pos);
        force_seek = true;
    }
    state_.block.video_mask |= 1u << channel;
    state_.block.video_bytes[channel] += unit.size();

    const std::uint64_t p = state_.vid_pos;
    std::array<std::uint8_t, kVideoHeaderSize> header;
    std::copy(unit.begin(), unit.begin() + kVideoHeaderSize, header.begin());
    putLink(header.data() + kUnitPreviousLinkOffset, state_.previous_link);
    state_.block.flag_bytes[channel] |= header[kVideoFlagByteOffset];
    if (!vid_.writeAt(p, header) || !vid_.writeAt(p + kVideoHeaderSize, unit.subspan(kVideoHeaderSize)))
        return undo(before, vid_);
    state_.vid_pos = p + unit.size();
    state_.previous_link = static_cast<std::uint32_t>(p);
    state_.last_video_offset = static_cast<std::uint32_t>(p);
    state_.last_video_time = time;
    state_.block.end_time = time;
    std::copy(unit.begin() + kVideoCopiedBytesOffset, unit.begin() + kVideoCopiedBytesOffset + 4,
              state_.block.last_header_bytes.begin());

    if (force_seek || state_.last_seek_time != time) {
        const SeekEntry entry{static_cast<std::uint32_t>(p), state_.latest_audio};
        if (!idx_.writeAt(state_.seek_pos, encodeSeekEntry(entry))) return undo(before, idx_);
        state_.seek_pos += kSeekEntrySize;
        state_.last_seek_time = time;
    }
    ++state_.video_units;

    if (p > options_.split_bytes && !split()) return UnitResult::Failed;
    return UnitResult::Stored;
}

UnitResult ArchiveWriter::appendAudio(std::span<const std::uint8_t> unit) {
    if (error_) return UnitResult::Failed;
    if (unit.size() > kMaxUnitBytes) {
        ++dropped_.too_long;
        return UnitResult::Dropped;
    }
    if (unit.size() < kAudioHeaderSize ||
        unit.size() != kAudioHeaderSize + std::uint64_t{be32(unit.data() + kUnitPayloadLenOffset)}) {
        ++dropped_.bad_length;
        return UnitResult::Dropped;
    }
    if (!isOpen() && !open()) return UnitResult::Failed;

    const PairState before = state_;
    const std::uint64_t a = state_.vid_pos;
    std::array<std::uint8_t, kAudioHeaderSize> header;
    std::copy(unit.begin(), unit.begin() + kAudioHeaderSize, header.begin());
    putLink(header.data() + kUnitPreviousLinkOffset, state_.previous_link);
    if (!vid_.writeAt(a, header) || !vid_.writeAt(a + kAudioHeaderSize, unit.subspan(kAudioHeaderSize)))
        return undo(before, vid_);
    state_.vid_pos = a + unit.size();
    state_.latest_audio = static_cast<std::uint32_t>(a);

    const std::uint32_t mask = be32(unit.data() + kAudioChannelMaskOffset) & 0xFFFF;
    const int k = std::popcount(mask);
    if (k > 0) {
        for (std::size_t c = 0; c < 16; ++c) {
            if ((mask & (1u << c)) == 0) continue;
            state_.block.audio_mask |= 1u << c;
            state_.block.audio_bytes[c] = static_cast<std::uint32_t>(unit.size() / static_cast<std::size_t>(k));
        }
    }
    ++state_.audio_units;
    return UnitResult::Stored;
}

UnitResult ArchiveWriter::keepEvents(std::span<const std::uint8_t> unit) {
    if (error_) return UnitResult::Failed;
    if (unit.size() < kEventLogHeaderSize) {
        ++dropped_.bad_length;
        return UnitResult::Dropped;
    }
    // The declared length never reaches past the unit.
    const std::uint64_t declared = recorderU32(unit.data() + kUnitPayloadLenOffset);
    const std::uint64_t present = unit.size() - kEventLogHeaderSize;
    const std::size_t count = static_cast<std::size_t>(std::min(declared, present) / kEventRecordSize);
    for (std::size_t i = 0; i < count; ++i) {
        if (events_.size() >= kMaxEvents) {
            dropped_.events_over_limit += count - i;
            break;
        }
        auto& record = events_.emplace_back();
        const auto* from = unit.data() + kEventLogHeaderSize + i * kEventRecordSize;
        std::copy(from, from + kEventRecordSize, record.begin());
    }
    return UnitResult::EventsKept;
}

bool ArchiveWriter::makeFileClose(std::uint32_t split_out) {
    bool ok = !error_;
    // 1. The open block, also when no frame came (a record of zeros).
    if (state_.block.open || state_.block_count == 0) {
        if (!saveIdxBlockFile()) {
            fail(idx_);
            ok = false;
        }
    }

    // 2. The kept events this pair's frames cover: first frame ≤ t < last frame.
    std::uint32_t written_events = 0;
    std::vector<std::array<std::uint8_t, kEventRecordSize>> remaining;
    if (state_.first_frame_time && state_.last_video_time) {
        std::vector<std::uint8_t> area;
        for (const auto& record : events_) {
            const std::uint32_t t = recorderU32(record.data());
            if (t >= *state_.first_frame_time && t < *state_.last_video_time && written_events < kMaxEvents) {
                area.insert(area.end(), record.begin(), record.end());
                ++written_events;
            } else if (t >= *state_.last_video_time) {
                remaining.push_back(record);  // for the pairs that follow a split
            }
        }
        if (!area.empty() && !idx_.writeAt(kEventAreaOffset, area)) {
            fail(idx_);
            ok = false;
            written_events = 0;
        }
    } else {
        remaining = events_;
    }
    events_ = std::move(remaining);

    // 3. The .vid trailer.
    ArchiveTrailer vid_trailer;
    vid_trailer.signature = signature_;
    vid_trailer.last_video_offset = state_.last_video_offset;
    if (!vid_.writeAt(state_.vid_pos, encodeTrailer(vid_trailer))) {
        fail(vid_);
        ok = false;
    }

    // 4. The summary. The first time follows the recorder's signed comparison.
    ArchiveSummary summary;
    summary.signature = signature_;
    summary.block_count = state_.block_count;
    for (const auto& r : saved_blocks_) {
        if (summary.first_time == 0 ||
            static_cast<std::int32_t>(summary.first_time) > static_cast<std::int32_t>(r.start_time))
            summary.first_time = r.start_time;
        summary.last_time = std::max(summary.last_time, r.end_time);
    }
    if (!idx_.writeAt(kSummaryOffset, encodeSummary(summary))) {
        fail(idx_);
        ok = false;
    }

    // 5. The .idx trailer after the seek list.
    ArchiveTrailer idx_trailer;
    idx_trailer.signature = signature_;
    idx_trailer.split_time = split_out;
    if (!idx_.writeAt(state_.seek_pos, encodeTrailer(idx_trailer))) {
        fail(idx_);
        ok = false;
    }

    PairStats stats;
    stats.idx_path = idx_.path();
    stats.vid_path = vid_.path();
    stats.split_in = split_in_;
    stats.split_out = split_out;
    stats.blocks = state_.block_count;
    stats.video_units = state_.video_units;
    stats.audio_units = state_.audio_units;
    stats.events = written_events;
    idx_.close();
    vid_.close();
    state_ = PairState{};
    saved_blocks_.clear();
    closed_.push_back(stats);
    if (options_.on_pair_closed) options_.on_pair_closed(stats);
    return ok;
}

std::optional<PairStats> ArchiveWriter::close() {
    if (!isOpen()) return std::nullopt;
    makeFileClose(0);
    return closed_.back();
}

}  // namespace kalix::archive
