#include "archive/local_catalogue.h"

#include "archive/archive_writer.h"
#include "archive_test_support.h"

namespace kalix::archive {
namespace {

using namespace testing;

constexpr std::uint32_t kT = 1'700'000'000;

struct Frame {
    std::uint32_t time;
    std::uint32_t key = 1;
    std::uint8_t channel = 0;
};

// One download: its frames, events and (optionally) a small split size.
std::vector<PairStats> download(const std::filesystem::path& folder, std::uint32_t name,
                                const std::vector<Frame>& frames, const std::vector<EventSpec>& events = {},
                                std::uint64_t split_bytes = 0) {
    WriterOptions o;
    o.folder = folder;
    o.clock = [name] { return name; };
    o.split_bytes = split_bytes;
    ArchiveWriter w(o);
    w.open();
    if (!events.empty()) w.appendUnit(eventLogUnit(events));
    for (const auto& f : frames) {
        w.appendUnit(videoUnit({.time = f.time, .key = f.key, .channel = f.channel}));
        if (f.channel == 3) w.appendUnit(audioUnit(0b1100));
    }
    w.close();
    return w.closedPairs();
}

TEST(LocalCatalogue, OrdersByFirstTimeAndKeepsSplitChainsTogether) {
    ScratchDir dir;
    // A download split in three (each pair takes two frames), and another one
    // whose first time falls between the chain's pairs, named so that name
    // order differs from time order.
    const auto chain = download(dir.path(), 0x70000000,
                                {{kT}, {kT + 1}, {kT + 100}, {kT + 101}, {kT + 300}}, {}, 300);
    ASSERT_EQ(chain.size(), 3u);
    const auto other = download(dir.path(), 0x10000000, {{kT + 50}, {kT + 60}});
    const auto cat = buildLocalCatalogue(dir.path());
    ASSERT_EQ(cat.pairs.size(), 4u);
    EXPECT_TRUE(cat.skipped.empty());
    EXPECT_EQ(cat.pairs[0].idx_path, chain[0].idx_path);
    EXPECT_EQ(cat.pairs[1].idx_path, chain[1].idx_path);
    EXPECT_EQ(cat.pairs[2].idx_path, chain[2].idx_path);
    EXPECT_EQ(cat.pairs[3].idx_path, other[0].idx_path);
    EXPECT_EQ(cat.pairs[0].key, 0x70000000u);
    EXPECT_FALSE(cat.pairs[0].join_previous);
    EXPECT_TRUE(cat.pairs[0].join_next);
    EXPECT_TRUE(cat.pairs[1].join_previous);
    EXPECT_TRUE(cat.pairs[2].join_previous);
    EXPECT_FALSE(cat.pairs[2].join_next);
    EXPECT_FALSE(cat.pairs[3].join_previous);

    ASSERT_EQ(cat.segments.size(), 4u);
    EXPECT_EQ(cat.stretchFirst(2), 0u);
    EXPECT_EQ(cat.stretchLast(0), 2u);
    EXPECT_EQ(cat.stretchLast(3), 3u);
    EXPECT_TRUE(cat.segments[1].join_previous && cat.segments[1].join_next);
}

TEST(LocalCatalogue, BuildsOneSegmentPerBlockWithItsOffsets) {
    ScratchDir dir;
    download(dir.path(), 0x65000000,
             {{kT, 1, 0}, {kT, 1, 3}, {kT + 1, 1, 0}, {kT + 4, 1, 0}, {kT + 20, 2, 1}, {kT + 21, 2, 1}});
    const auto cat = buildLocalCatalogue(dir.path(), {.time = kT + 2});
    ASSERT_EQ(cat.segments.size(), 2u);
    const auto& s0 = cat.segments[0];
    const auto& s1 = cat.segments[1];
    EXPECT_EQ(s0.block_begin, 64u);
    EXPECT_EQ(s0.block_end, s1.block_begin);
    EXPECT_EQ(s1.block_end, std::filesystem::file_size(cat.pairs[0].vid_path) - 64);
    EXPECT_EQ(s0.video_mask, 0b1001u);
    EXPECT_EQ(s0.audio_mask, 0b1000u);  // the audio names channels 2 and 3; only 3 has video
    EXPECT_TRUE(s0.has_audio);
    EXPECT_FALSE(s1.has_audio);
    EXPECT_EQ(s0.start_time, kT);
    EXPECT_EQ(s0.end_time, kT + 4);
    // The requested time lies in block 0: play from the frame at kT+4.
    EXPECT_TRUE(s0.holds_request);
    EXPECT_EQ(s0.play_from, kT + 2);
    const auto frame_size = videoUnit({}).size();
    EXPECT_EQ(s0.start_offset, 64 + 3 * frame_size + audioUnit(0b1100).size());
    EXPECT_EQ(s1.play_from, s1.start_time);
    EXPECT_EQ(s1.start_offset, s1.block_begin);

    // The start segment: a block's last second still belongs to it, a gap
    // leads to the next block, after the end there is none.
    EXPECT_EQ(cat.startSegment(kT + 4), 0u);
    EXPECT_EQ(cat.startSegment(kT - 100), 0u);
    EXPECT_EQ(cat.startSegment(kT + 10), 1u);
    EXPECT_EQ(cat.startSegment(kT + 21), 1u);
    EXPECT_FALSE(cat.startSegment(kT + 22));
}

TEST(LocalCatalogue, ListsAlarmMotionAndAudioEventsNumberedPerKind) {
    ScratchDir dir;
    download(dir.path(), 0x65000000, {{kT}, {kT + 100}},
             {{.time = kT + 1, .mask = 1, .kind = 1},
              {.time = kT + 2, .mask = 2, .kind = 2},
              {.time = kT + 3, .mask = 4, .kind = 5},
              {.time = kT + 4, .mask = 8, .kind = 1}});
    download(dir.path(), 0x66000000, {{kT + 200}, {kT + 300}},
             {{.time = kT + 201, .time2 = 77, .mask = 3, .kind = 7}, {.time = kT + 202, .kind = 1}});
    const auto cat = buildLocalCatalogue(dir.path());
    ASSERT_EQ(cat.events.size(), 5u);
    EXPECT_EQ(cat.events[0].kind, 1);
    EXPECT_EQ(cat.events[0].number, 0u);
    EXPECT_EQ(cat.events[1].kind, 2);
    EXPECT_EQ(cat.events[1].number, 0u);
    EXPECT_EQ(cat.events[2].kind, 1);
    EXPECT_EQ(cat.events[2].number, 1u);
    EXPECT_EQ(cat.events[3].pair, 1u);
    EXPECT_EQ(cat.events[3].time2, 77u);
    EXPECT_EQ(cat.events[3].channels, 3u);
    EXPECT_EQ(cat.events[3].number, 0u);
    EXPECT_EQ(cat.events[4].number, 2u);
}

TEST(LocalCatalogue, SkipsFilesItCannotTrustWithAReason) {
    ScratchDir dir;
    const auto good = download(dir.path(), 0x65000000, {{kT}, {kT + 1}});
    // A pair from the other recorder family, a truncated pair, a stray file,
    // an open pair that was never closed.
    WriterOptions o;
    o.folder = dir.path();
    o.recorder_kind = 5;
    o.clock = [] { return 0x66000000u; };
    {
        ArchiveWriter w(o);
        w.open();
        w.close();
    }
    const auto cut = download(dir.path(), 0x67000000, {{kT + 5}, {kT + 6}});
    auto bytes = readFile(cut[0].idx_path);
    bytes.resize(bytes.size() - 3);
    writeFile(cut[0].idx_path, bytes);
    writeFile(dir.path() / "notes.idx", Bytes(10, 'a'));
    Bytes unclosed(kNewIndexSize, 0);
    std::copy(kSignatureKind3.begin(), kSignatureKind3.end(), unclosed.begin());
    writeFile(dir.path() / "68000000.idx", unclosed);

    const auto cat = buildLocalCatalogue(dir.path());
    ASSERT_EQ(cat.pairs.size(), 1u);
    EXPECT_EQ(cat.pairs[0].idx_path, good[0].idx_path);
    ASSERT_EQ(cat.skipped.size(), 4u);
    for (const auto& s : cat.skipped) EXPECT_FALSE(s.reason.empty()) << s.path;
    // Nothing was rewritten.
    EXPECT_EQ(readFile(cut[0].idx_path), bytes);
}

TEST(LocalCatalogue, OneIndexFileAlone) {
    ScratchDir dir;
    const auto a = download(dir.path(), 0x65000000, {{kT}});
    download(dir.path(), 0x66000000, {{kT + 10}});
    const auto cat = buildLocalCatalogue(std::vector{a[0].idx_path});
    ASSERT_EQ(cat.pairs.size(), 1u);
    EXPECT_EQ(cat.segments.size(), 1u);
}

TEST(LocalCatalogue, NameKeyReadsUpToEightHexDigits) {
    EXPECT_EQ(nameKey("/x/65a0f3c1.idx"), 0x65a0f3c1u);
    EXPECT_EQ(nameKey("/x/abc.idx"), 0xabcu);
    EXPECT_EQ(nameKey("/x/123456789.idx"), 0x12345678u);
    EXPECT_EQ(nameKey("/x/zz.idx"), 0u);
}

}  // namespace
}  // namespace kalix::archive
