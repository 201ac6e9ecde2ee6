// The position slider's seek: from the current frame to the frame at the
// target time, through the seek list of the .idx rather than the .vid.

#include <algorithm>

#include "player/local_player.h"

namespace kalix::player {

LocalPlayer::Step LocalPlayer::movedSliderPos() {
    const protocol::RecorderTime target = seek_target_.load();
    if (seek_state_.load() == 3) {
        const protocol::RecorderTime now = have_current_ ? current_.video.frame_time : 0;
        seek_direction_ = now < target ? 1 : now > target ? 2 : 0;
        seek_state_ = 4;
    }

    // The video frame at the current position, past any audio units.
    bool have_frame = false;
    while (pos_ < reader_.trailerOffset() && pos_ < catalogue_[segment_].block_end) {
        const Step step = readAt(pos_);
        if (step == Step::Damage) return step;
        if (current_.kind == UnitKind::Audio) continue;
        if (step == Step::Skip) return step;
        have_frame = true;
        break;
    }
    restart_timing_ = true;
    if (have_frame && current_.video.frame_time == target) return Step::Unit;

    const std::size_t before = segment_;
    if (seek_direction_ != 2)
        while (catalogue_[segment_].end < target && segment_ + 1 < catalogue_.size()) ++segment_;
    if (seek_direction_ != 1)
        while (catalogue_[segment_].start > target && segment_ > 0) --segment_;
    if (segment_ != before) return Step::Reopen;

    // The seek list holds about one entry per second of the block; start
    // from the estimate, go down while the entries are later than the
    // target, then up to the first entry at or after it.
    const PlayerSegment& seg = catalogue_[segment_];
    const std::uint32_t first = seg.seek_position;
    if (reader_.indexSize() < kTrailerSize + kSeekEntrySize || first > reader_.indexSize() - kTrailerSize - kSeekEntrySize)
        return Step::Skip;
    const std::uint32_t last =
        first + (reader_.indexSize() - kTrailerSize - kSeekEntrySize - first) / kSeekEntrySize * kSeekEntrySize;
    std::uint64_t estimate = first;
    if (target > seg.start) estimate += std::uint64_t{target - seg.start} * kSeekEntrySize;
    std::uint32_t p = static_cast<std::uint32_t>(std::min<std::uint64_t>(estimate, last));

    struct Probe {
        bool ok = false;
        std::uint32_t offset = 0;
        protocol::RecorderTime time = 0;
        bool beyond = false;
    };
    const auto probe = [&](std::uint32_t at) {
        Probe r;
        const auto entry = reader_.seekEntry(at);
        if (!entry) return r;
        if (entry->video_offset >= seg.block_end) {
            r.beyond = true;
            return r;
        }
        const auto read = reader_.readUnit(entry->video_offset);
        if (!read.unit || read.unit->kind != UnitKind::Video || read.unit->video.frame_time < 1 ||
            !acceptedPictureSize(read.unit->video.enc.width(), read.unit->video.enc.height()))
            return r;
        r.ok = true;
        r.offset = entry->video_offset;
        r.time = read.unit->video.frame_time;
        return r;
    };

    Probe here = probe(p);
    while (!here.ok && p > first) {  // past the block's entries, or a bad entry: one back
        p -= kSeekEntrySize;
        here = probe(p);
    }
    if (!here.ok) return Step::Skip;
    while (here.time > target && p > first) {
        const Probe lower = probe(p - kSeekEntrySize);
        if (!lower.ok) break;
        p -= kSeekEntrySize;
        here = lower;
    }
    while (here.time < target && p < last) {
        const Probe upper = probe(p + kSeekEntrySize);
        if (upper.beyond && segment_ + 1 < catalogue_.size()) {
            ++segment_;
            return Step::Reopen;
        }
        if (!upper.ok) break;
        p += kSeekEntrySize;
        here = upper;
    }
    return readAt(here.offset);
}

}  // namespace kalix::player
