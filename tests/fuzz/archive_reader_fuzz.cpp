// Builds an archive pair from arbitrary bytes and runs every reader over it:
// validation, the catalogue of its folder (with a time to locate), the event
// area, units forwards to the trailer and backwards along the links, the
// seek searches. The .idx is mostly zeros, so the input fills only its
// interesting parts:
//
//   u16 block-table bytes B, u16 event-area bytes E, u16 seek-list bytes S,
//   u32 time to look for, then 192 bytes of header and summary, B, E and S
//   bytes, a 64-byte .idx trailer, and the rest is the .vid.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/archive_reader.h"
#include "archive/local_catalogue.h"
#include "protocol/byte_order.h"

namespace {

using namespace kalix::archive;

void checkAt(bool condition, const char* what, int line) {
    if (condition) return;
    std::fprintf(stderr, "archive_reader_fuzz.cpp:%d: %s\n", line, what);
    std::abort();
}
#define check(condition) checkAt((condition), #condition, __LINE__)

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::span<const std::uint8_t> take(std::size_t n) {
        n = std::min(n, size_ - at_);
        const std::span<const std::uint8_t> out(data_ + at_, n);
        at_ += n;
        return out;
    }
    std::uint32_t u16() {
        const auto b = take(2);
        return b.size() == 2 ? kalix::protocol::be16(b.data()) : 0;
    }
    std::uint32_t u32() {
        const auto b = take(4);
        return b.size() == 4 ? kalix::protocol::be32(b.data()) : 0;
    }
    std::span<const std::uint8_t> rest() { return take(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void writeAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) check(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                              static_cast<ssize_t>(bytes.size()));
}

const std::filesystem::path& folder() {
    static const std::filesystem::path dir = [] {
        std::string pattern = "/dev/shm/kalix-archive-fuzz-XXXXXX";
        if (!std::filesystem::is_directory("/dev/shm")) pattern = "/tmp/kalix-archive-fuzz-XXXXXX";
        return std::filesystem::path(::mkdtemp(pattern.data()));
    }();
    return dir;
}

void exercise(ArchivePair& pair, std::uint32_t t) {
    check(pair.summary().block_count >= 1 && pair.summary().block_count <= kMaxBlocks);
    (void)pair.readEvents();
    static std::vector<std::uint8_t> buffer(kMaxUnitBytes);
    // Forwards from every block's first frame to the trailer.
    for (std::uint32_t b = 0; b < pair.blocks().size() && b < 8; ++b) {
        const auto begin = pair.blockBegin(b);
        if (!begin) break;
        check(*begin >= kFirstUnitOffset && *begin < pair.vidTrailerOffset());
        std::uint64_t at = *begin;
        while (at < pair.vidTrailerOffset()) {
            const auto r = pair.readUnit(at);
            if (!r.unit) break;
            check(r.unit->next() <= pair.vidTrailerOffset() && r.unit->next() > at);
            check(r.unit->headerSize() + r.unit->payload_len <= kMaxUnitBytes);
            check(pair.readPayload(*r.unit, buffer));
            at = r.unit->next();
        }
        for (const bool estimate : {false, true}) {
            const auto hit = estimate ? pair.estimateSeek(b, t) : pair.locateAtOrAfter(b, t);
            if (!hit) continue;
            const auto range = pair.blockEntries(b);
            check(hit->index >= range.first && hit->index < range.end);
        }
    }
    // Backwards along the links from the last frame.
    std::uint64_t at = pair.vidTrailer().last_video_offset;
    for (;;) {
        const auto r = pair.readUnit(at);
        if (!r.unit) break;
        const auto link = previousOf(*r.unit);
        if (link.kind != PreviousLink::Kind::At) break;
        check(link.offset < at);
        at = link.offset;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::size_t block_bytes = in.u16() % (kMaxBlocks * kBlockRecordSize);
    const std::size_t event_bytes = in.u16();
    const std::size_t seek_bytes = in.u16();
    const std::uint32_t t = in.u32();
    const auto head = in.take(kHeaderSize + kSummarySize);
    const auto blocks = in.take(block_bytes);
    const auto events = in.take(event_bytes);
    const auto seeks = in.take(seek_bytes);
    const auto trailer = in.take(kTrailerSize);
    const auto vid = in.rest();

    const auto idx_path = folder() / "65000000.idx";
    const auto vid_path = folder() / "65000000.vid";
    {
        const int fd = ::open(idx_path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        check(fd >= 0);
        // Zeros cost nothing: the file is sized first and only the input's parts written.
        check(::ftruncate(fd, static_cast<off_t>(kSeekListOffset + seeks.size() + trailer.size())) == 0);
        writeAt(fd, 0, head);
        writeAt(fd, kBlockTableOffset, blocks);
        writeAt(fd, kEventAreaOffset, events);
        writeAt(fd, kSeekListOffset, seeks);
        writeAt(fd, kSeekListOffset + seeks.size(), trailer);
        ::close(fd);
        const int vfd = ::open(vid_path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        check(vfd >= 0);
        writeAt(vfd, 0, vid);
        ::close(vfd);
    }

    ArchivePair pair;
    if (pair.open(idx_path)) exercise(pair, t);
    const auto cat = buildLocalCatalogue(folder(), {.time = t});
    for (const auto& s : cat.segments) {
        check(s.block_begin < s.block_end);
        // Only the first entry of a block is checked at opening; a later one may lead
        // anywhere, and the player reports that when it reads there.
        check(s.holds_request || s.start_offset == s.block_begin);
    }
    (void)cat.startSegment(t);
    return 0;
}
