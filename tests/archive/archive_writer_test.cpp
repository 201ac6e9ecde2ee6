#include "archive/archive_writer.h"

#include <sys/resource.h>

#include <csignal>

#include "archive/archive_reader.h"
#include "archive_test_support.h"

namespace kalix::archive {
namespace {

using namespace testing;

constexpr std::uint32_t kT = 1'700'000'000;

WriterOptions optionsIn(const std::filesystem::path& folder, std::uint32_t clock = 0x65000000) {
    WriterOptions o;
    o.folder = folder;
    o.clock = [clock] { return clock; };
    return o;
}

std::uint32_t prevLink(const Bytes& vid, std::size_t unit_offset) { return be32At(vid, unit_offset + 32); }

TEST(ArchiveWriter, WritesTheLayoutOfAPairByteForByte) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path() / "Download"));
    ASSERT_TRUE(w.open());
    // Block 1: two channels, an audio unit between, two frames in one second.
    const auto v0 = videoUnit({.time = kT, .key = 7, .channel = 0, .payload = 100, .flag = 0x01});
    const auto a0 = audioUnit(0b0110, 96);
    const auto v1 = videoUnit({.time = kT, .key = 7, .channel = 2, .payload = 50, .flag = 0x04});
    const auto v2 = videoUnit({.time = kT + 1, .key = 7, .channel = 2, .payload = 60, .flag = 0x02});
    // Block 2: a new key in the same second still gets its own seek entry.
    const auto v3 = videoUnit({.time = kT + 1, .key = 8, .channel = 1, .payload = 10});
    for (const Bytes* u : {&v0, &a0, &v1, &v2, &v3}) EXPECT_EQ(w.appendUnit(*u), UnitResult::Stored);
    const auto stats = w.close();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->blocks, 2u);
    EXPECT_EQ(stats->video_units, 4u);
    EXPECT_EQ(stats->audio_units, 1u);
    EXPECT_EQ(stats->idx_path, dir.path() / "Download" / "65000000.idx");
    EXPECT_EQ(stats->vid_path, dir.path() / "Download" / "65000000.vid");

    const Bytes idx = readFile(stats->idx_path);
    const Bytes vid = readFile(stats->vid_path);
    // Seek entries: v0 (first of the block), v2 (new second), v3 (new block).
    ASSERT_EQ(idx.size(), closedIndexSize(3));
    const std::size_t o_a0 = 64 + v0.size(), o_v1 = o_a0 + a0.size(), o_v2 = o_v1 + v1.size(),
                      o_v3 = o_v2 + v2.size(), o_end = o_v3 + v3.size();
    ASSERT_EQ(vid.size(), o_end + 64);
    EXPECT_TRUE(std::equal(idx.begin(), idx.begin() + 64, vid.begin()));
    EXPECT_EQ(std::string(idx.begin(), idx.begin() + 9), "tarnrec9w");
    EXPECT_EQ(idx[9], 0);
    EXPECT_EQ(be32At(idx, 16), kHeaderMagic);
    EXPECT_EQ(be32At(idx, 32), 0u);

    EXPECT_EQ(be32At(idx, 64 + 16), kSummaryMagic);
    EXPECT_EQ(be32At(idx, 64 + 24), kT);
    EXPECT_EQ(be32At(idx, 64 + 28), kT + 1);
    EXPECT_EQ(be32At(idx, 64 + 32), 2u);

    const std::size_t b0 = 192, b1 = 192 + 256;
    EXPECT_EQ(be32At(idx, b0 + 16), kBlockMagic);
    EXPECT_EQ(be32At(idx, b0 + 24), kT);
    EXPECT_EQ(be32At(idx, b0 + 28), kT + 1);
    EXPECT_EQ(be32At(idx, b0 + 32), kSeekListOffset);
    EXPECT_EQ(be32At(idx, b0 + 36), 0b101u);
    EXPECT_EQ(be32At(idx, b0 + 40), 0b0110u);
    EXPECT_EQ(be32At(idx, b0 + 44), 0b101u);
    EXPECT_EQ(idx[b0 + 48], 0x48);
    EXPECT_EQ(idx[b0 + 50], 0x02);  // byte 50 of the block's last frame
    EXPECT_EQ(be32At(idx, b0 + 80), v0.size());
    EXPECT_EQ(be32At(idx, b0 + 80 + 8), v1.size() + v2.size());
    EXPECT_EQ(be32At(idx, b0 + 144 + 4), a0.size() / 2);
    EXPECT_EQ(be32At(idx, b0 + 144 + 8), a0.size() / 2);
    EXPECT_EQ(idx[b0 + 208], 0x01);
    EXPECT_EQ(idx[b0 + 210], 0x06);
    EXPECT_EQ(be32At(idx, b1 + 32), kSeekListOffset + 16);
    EXPECT_EQ(be32At(idx, b1 + 36), 0b10u);
    EXPECT_EQ(be32At(idx, b1 + 40), 0u);
    EXPECT_EQ(be32At(idx, 192 + 2 * 256 + 16), 0u);  // slot 2 stays empty

    EXPECT_EQ(be32At(idx, kSeekListOffset), 64u);
    EXPECT_EQ(be32At(idx, kSeekListOffset + 4), 0u);
    EXPECT_EQ(be32At(idx, kSeekListOffset + 8), o_v2);
    EXPECT_EQ(be32At(idx, kSeekListOffset + 12), o_a0);
    EXPECT_EQ(be32At(idx, kSeekListOffset + 16), o_v3);
    EXPECT_EQ(be32At(idx, kSeekListOffset + 24 + 16), kTrailerMagic);
    EXPECT_EQ(be32At(idx, kSeekListOffset + 24 + 32), 0u);

    // Links: the first unit carries 64, audio never moves the link.
    EXPECT_EQ(prevLink(vid, 64), 64u);
    EXPECT_EQ(prevLink(vid, o_a0), 64u);
    EXPECT_EQ(prevLink(vid, o_v1), 64u);
    EXPECT_EQ(prevLink(vid, o_v2), o_v1);
    EXPECT_EQ(prevLink(vid, o_v3), o_v2);
    // Everything else of a unit is stored as received.
    Bytes stored(vid.begin() + static_cast<long>(o_v2), vid.begin() + static_cast<long>(o_v3));
    protocol::putBe32(stored.data() + 32, 0xDEADBEEF);
    EXPECT_EQ(stored, v2);
    EXPECT_EQ(be32At(vid, o_end + 16), kTrailerMagic);
    EXPECT_EQ(be32At(vid, o_end + 36), o_v3);

    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats->idx_path)) << pair.failure();
    EXPECT_EQ(pair.blockBegin(1), o_v3);
    EXPECT_EQ(pair.blockEnd(1), o_end);
}

TEST(ArchiveWriter, KindFiveRecorderGetsItsSignatureAndLowByteFirstLinks) {
    ScratchDir dir;
    auto o = optionsIn(dir.path());
    o.recorder_kind = 5;
    ArchiveWriter w(o);
    ASSERT_TRUE(w.open());
    auto v = videoUnit({.time = kT});
    // The type word comes low byte first from this recorder.
    protocol::putLe32(v.data() + 16, kVideoUnitMagic);
    EXPECT_EQ(w.appendUnit(v), UnitResult::Stored);
    EXPECT_EQ(w.appendUnit(v), UnitResult::Stored);
    const auto stats = w.close();
    const Bytes vid = readFile(stats->vid_path);
    EXPECT_EQ(std::string(vid.begin(), vid.begin() + 9), "KITErec01");
    EXPECT_EQ(protocol::le32(vid.data() + 64 + v.size() + 32), 64u);
    ArchivePair pair;
    EXPECT_FALSE(pair.open(stats->idx_path));  // valid, but not one the catalogue lists
}

TEST(ArchiveWriter, APairWithoutVideoIsStillComplete) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    EXPECT_EQ(w.appendUnit(audioUnit(1)), UnitResult::Stored);
    EXPECT_EQ(w.appendUnit(eventLogUnit({{.time = kT}})), UnitResult::EventsKept);
    const auto stats = w.close();
    EXPECT_EQ(stats->blocks, 1u);
    EXPECT_EQ(stats->events, 0u);
    const Bytes idx = readFile(stats->idx_path);
    ASSERT_EQ(idx.size(), closedIndexSize(0));
    EXPECT_EQ(be32At(idx, 64 + 32), 1u);
    EXPECT_EQ(be32At(idx, 192 + 16), kBlockMagic);
    EXPECT_EQ(be32At(idx, 192 + 24), 0u);
    EXPECT_EQ(be32At(idx, kEventAreaOffset + 8), 0u);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats->idx_path)) << pair.failure();
    EXPECT_EQ(pair.seekCount(), 0u);
    EXPECT_FALSE(pair.blockBegin(0));
}

TEST(ArchiveWriter, KeepsOnlyTheEventsItsFramesCover) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    // Before the first frame, at the first frame, inside, at the last frame.
    w.appendUnit(eventLogUnit({{.time = kT - 1, .kind = 1}, {.time = kT, .kind = 2}}));
    w.appendUnit(videoUnit({.time = kT}));
    w.appendUnit(eventLogUnit({{.time = kT + 5, .time2 = 9, .mask = 6, .kind = 7}, {.time = kT + 10}}));
    w.appendUnit(videoUnit({.time = kT + 10}));
    const auto stats = w.close();
    EXPECT_EQ(stats->events, 2u);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats->idx_path)) << pair.failure();
    const auto events = pair.readEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].time(), kT);
    EXPECT_EQ(events[1].time(), kT + 5);
    EXPECT_EQ(events[1].time2(), 9u);
    EXPECT_EQ(events[1].channelMask(), 6u);
    EXPECT_EQ(events[1].kind(), 7);
    EXPECT_EQ(events[1].bytes[31], 0x77);  // stored as received
}

TEST(ArchiveWriter, RejectsUnitsWhoseLengthDisagreesWithTheirHeader) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    auto longer = videoUnit({.time = kT});
    longer.push_back(0);
    auto shorter = videoUnit({.time = kT});
    shorter.pop_back();
    const auto whole = videoUnit({.time = kT});
    const Bytes header_only(whole.begin(), whole.begin() + 100);
    auto audio_bad = audioUnit(1, 48);
    audio_bad.resize(80);
    const Bytes tiny = {1, 2, 3};
    for (const Bytes* u : std::initializer_list<const Bytes*>{&longer, &shorter, &header_only, &audio_bad, &tiny})
        EXPECT_EQ(w.appendUnit(*u), UnitResult::Dropped);
    EXPECT_EQ(w.dropped().bad_length, 5u);
    auto unknown = videoUnit({.time = kT});
    protocol::putBe32(unknown.data() + 16, 0x12345678);
    EXPECT_EQ(w.appendUnit(unknown), UnitResult::Dropped);
    EXPECT_EQ(w.dropped().unknown_kind, 1u);

    // Over the client's unit buffer: dropped, never copied into one.
    VideoSpec huge{.time = kT, .payload = static_cast<std::uint32_t>(kMaxUnitBytes - kVideoHeaderSize + 1)};
    EXPECT_EQ(w.appendUnit(videoUnit(huge)), UnitResult::Dropped);
    EXPECT_EQ(w.dropped().too_long, 1u);
    huge.payload -= 1;
    EXPECT_EQ(w.appendUnit(videoUnit(huge)), UnitResult::Stored);

    const auto stats = w.close();
    EXPECT_EQ(stats->video_units, 1u);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats->idx_path)) << pair.failure();
    const auto unit = pair.readUnit(64);
    ASSERT_TRUE(unit.unit);
    EXPECT_EQ(unit.unit->next(), pair.vidTrailerOffset());
}

TEST(ArchiveWriter, EventLogLengthIsBoundedByTheUnit) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    w.appendUnit(videoUnit({.time = kT}));
    // Declares 100 records but carries 2 and a half.
    auto unit = eventLogUnit({{.time = kT + 1}, {.time = kT + 2}}, 100 * 32);
    unit.resize(unit.size() + 16, 0xAA);
    EXPECT_EQ(w.appendUnit(unit), UnitResult::EventsKept);
    // Declares fewer bytes than it carries: only those count.
    w.appendUnit(eventLogUnit({{.time = kT + 3}, {.time = kT + 4}}, 40));
    const Bytes short_header(20, 0);
    EXPECT_EQ(w.keepEvents(short_header), UnitResult::Dropped);
    w.appendUnit(videoUnit({.time = kT + 9}));
    EXPECT_EQ(w.close()->events, 3u);
}

TEST(ArchiveWriter, NeverReplacesAnExistingPair) {
    ScratchDir dir;
    // Names 65000000 (.idx taken) and 65000001 (.vid taken) are passed over.
    writeFile(dir.path() / "65000000.idx", {1, 2, 3});
    writeFile(dir.path() / "65000001.vid", {4, 5, 6});
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    const auto stats = w.close();
    EXPECT_EQ(stats->idx_path.filename(), "65000002.idx");
    EXPECT_EQ(readFile(dir.path() / "65000000.idx"), (Bytes{1, 2, 3}));
    EXPECT_EQ(readFile(dir.path() / "65000001.vid"), (Bytes{4, 5, 6}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "65000001.idx"));
    // A second download in the same second gets the next name too.
    ArchiveWriter again(optionsIn(dir.path()));
    ASSERT_TRUE(again.open());
    EXPECT_EQ(again.close()->idx_path.filename(), "65000003.idx");
}

TEST(ArchiveWriter, SplitsAfterTheUnitThatCrossesTheSizeAndChainsThePairs) {
    ScratchDir dir;
    auto o = optionsIn(dir.path(), 0x65000000);
    o.split_bytes = 1000;
    std::vector<PairStats> reported;
    o.on_pair_closed = [&](const PairStats& s) { reported.push_back(s); };
    ArchiveWriter w(o);
    ASSERT_TRUE(w.open());
    // Units of 492 bytes start at 64, 556, 1048 (> 1000: the pair closes after it).
    std::uint32_t t = kT;
    w.appendUnit(eventLogUnit({{.time = kT + 1}, {.time = kT + 4}, {.time = kT + 7}}));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(w.appendUnit(videoUnit({.time = t++, .payload = 300})), UnitResult::Stored);
    w.close();
    ASSERT_EQ(reported.size(), 3u);
    EXPECT_EQ(w.closedPairs().size(), 3u);
    EXPECT_EQ(reported[0].video_units, 3u);
    EXPECT_EQ(reported[1].video_units, 3u);
    EXPECT_EQ(reported[2].video_units, 1u);
    // Chain: each split value links a trailer to the next header, and two
    // splits in the same second still get distinct values.
    EXPECT_EQ(reported[0].split_in, 0u);
    EXPECT_NE(reported[0].split_out, 0u);
    EXPECT_EQ(reported[1].split_in, reported[0].split_out);
    EXPECT_NE(reported[1].split_out, reported[0].split_out);
    EXPECT_EQ(reported[2].split_in, reported[1].split_out);
    EXPECT_EQ(reported[2].split_out, 0u);
    EXPECT_NE(reported[0].idx_path, reported[1].idx_path);
    // The kept events went to the pairs whose frames cover them.
    EXPECT_EQ(reported[0].events, 1u);  // kT+1 (frames kT..kT+2)
    EXPECT_EQ(reported[1].events, 1u);  // kT+4 (frames kT+3..kT+5)
    EXPECT_EQ(reported[2].events, 0u);  // kT+7 lies after its only frame
    for (const auto& s : reported) {
        ArchivePair pair;
        ASSERT_TRUE(pair.open(s.idx_path)) << pair.failure();
        EXPECT_EQ(pair.header().split_time, s.split_in);
        EXPECT_EQ(pair.idxTrailer().split_time, s.split_out);
        // The new pair's links and seek list start afresh.
        const auto first = pair.readUnit(64);
        ASSERT_TRUE(first.unit);
        EXPECT_EQ(first.unit->previous_link, 64u);
    }
}

TEST(ArchiveWriter, A4097thBlockOpensTheNextPair) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    for (std::uint32_t key = 1; key <= kMaxBlocks + 1; ++key)
        ASSERT_EQ(w.appendUnit(videoUnit({.time = kT + key, .key = key, .payload = 1})), UnitResult::Stored);
    w.close();
    ASSERT_EQ(w.closedPairs().size(), 2u);
    EXPECT_EQ(w.closedPairs()[0].blocks, kMaxBlocks);
    EXPECT_EQ(w.closedPairs()[1].blocks, 1u);
    EXPECT_EQ(w.closedPairs()[1].split_in, w.closedPairs()[0].split_out);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(w.closedPairs()[0].idx_path)) << pair.failure();
    EXPECT_EQ(pair.blocks().back().start_time, kT + kMaxBlocks);
    // The event area after the table was not touched by block records.
    EXPECT_TRUE(pair.readEvents().empty());
}

TEST(ArchiveWriter, EventAreaHoldsAtMost32768Records) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    ASSERT_TRUE(w.open());
    w.appendUnit(videoUnit({.time = kT}));
    std::vector<EventSpec> batch(1000, EventSpec{.time = kT + 1});
    for (int i = 0; i < 34; ++i) w.appendUnit(eventLogUnit(batch));
    w.appendUnit(videoUnit({.time = kT + 2}));
    const auto stats = w.close();
    EXPECT_EQ(stats->events, kMaxEvents);
    EXPECT_EQ(w.dropped().events_over_limit, 34000u - kMaxEvents);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats->idx_path)) << pair.failure();
    EXPECT_EQ(pair.readEvents().size(), kMaxEvents);
    EXPECT_EQ(pair.seekCount(), 2u);  // the seek list after the area is intact
    EXPECT_EQ(pair.seekEntry(0)->video_offset, 64u);
}

TEST(ArchiveWriter, ReportsAFolderThatCannotBeCreated) {
    ScratchDir dir;
    writeFile(dir.path() / "file", {0});
    ArchiveWriter w(optionsIn(dir.path() / "file" / "Download"));
    EXPECT_FALSE(w.open());
    ASSERT_TRUE(w.error());
    EXPECT_FALSE(w.error()->text.empty());
    EXPECT_EQ(w.appendUnit(videoUnit({.time = kT})), UnitResult::Failed);
    EXPECT_FALSE(w.close());
}

// A file size limit stands in for a full disk: writes past it fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

TEST(ArchiveWriter, AWriteErrorStopsWritingAndLeavesAReadablePair) {
    ScratchDir dir;
    ArchiveWriter w(optionsIn(dir.path()));
    std::size_t stored = 0;
    {
        const FileSizeLimit limit(kNewIndexSize + 20'000);
        ASSERT_TRUE(w.open());
        UnitResult r = UnitResult::Stored;
        for (std::uint32_t i = 0; i < 20'000 && r == UnitResult::Stored; ++i) {
            r = w.appendUnit(videoUnit({.time = kT + i / 4, .payload = 9'000}));
            if (r == UnitResult::Stored) ++stored;
        }
        EXPECT_EQ(r, UnitResult::Failed);
        ASSERT_TRUE(w.error());
        EXPECT_EQ(w.error()->path.extension(), ".vid");
        EXPECT_EQ(w.appendUnit(videoUnit({.time = kT})), UnitResult::Failed);  // nothing more
        w.close();
    }
    ASSERT_GT(stored, 100u);
    const auto& stats = w.closedPairs().at(0);
    EXPECT_EQ(stats.video_units, stored);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();
    // Every unit in it is whole, up to the trailer.
    std::uint64_t at = 64;
    std::size_t units = 0;
    while (at < pair.vidTrailerOffset()) {
        const auto u = pair.readUnit(at);
        ASSERT_TRUE(u.unit) << toString(u.damage);
        at = u.unit->next();
        ++units;
    }
    EXPECT_EQ(units, stored);
    EXPECT_EQ(at, pair.vidTrailerOffset());
}

}  // namespace
}  // namespace kalix::archive
