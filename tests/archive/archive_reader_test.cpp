#include "archive/archive_reader.h"

#include <algorithm>
#include <functional>

#include "archive/archive_writer.h"
#include "archive_test_support.h"

namespace kalix::archive {
namespace {

using namespace testing;

constexpr std::uint32_t kT = 1'700'000'000;

// A pair with two blocks: block 0 has frames at kT, kT+1, kT+5 (a gap),
// block 1 at kT+10 and kT+11; an audio unit after the first frame.
PairStats writeSample(const std::filesystem::path& folder) {
    WriterOptions o;
    o.folder = folder;
    o.clock = [] { return 0x65000000u; };
    ArchiveWriter w(o);
    w.open();
    w.appendUnit(videoUnit({.time = kT, .key = 1}));
    w.appendUnit(audioUnit(1));
    w.appendUnit(videoUnit({.time = kT, .key = 1, .channel = 1}));
    w.appendUnit(videoUnit({.time = kT + 1, .key = 1}));
    w.appendUnit(videoUnit({.time = kT + 5, .key = 1}));
    w.appendUnit(videoUnit({.time = kT + 10, .key = 2}));
    w.appendUnit(videoUnit({.time = kT + 11, .key = 2}));
    return *w.close();
}

struct Damage {
    const char* name;
    std::function<void(Bytes& idx, Bytes& vid)> apply;
};

class ArchiveValidation : public ::testing::TestWithParam<Damage> {};

TEST_P(ArchiveValidation, RefusesTheDamagedPair) {
    ScratchDir dir;
    const auto stats = writeSample(dir.path());
    {
        ArchivePair good;
        ASSERT_TRUE(good.open(stats.idx_path)) << good.failure();
    }
    Bytes idx = readFile(stats.idx_path);
    Bytes vid = readFile(stats.vid_path);
    GetParam().apply(idx, vid);
    writeFile(stats.idx_path, idx);
    if (!vid.empty()) writeFile(stats.vid_path, vid);
    else std::filesystem::remove(stats.vid_path);
    ArchivePair pair;
    EXPECT_FALSE(pair.open(stats.idx_path));
    EXPECT_FALSE(pair.failure().empty());
}

constexpr std::size_t kSeek0 = kSeekListOffset;  // 5 entries: kT, kT+1, kT+5 | kT+10, kT+11
constexpr std::size_t kBlock1 = 192 + 256;

INSTANTIATE_TEST_SUITE_P(
    Damages, ArchiveValidation,
    ::testing::Values(
        Damage{"IndexOneByteShort", [](Bytes& i, Bytes&) { i.pop_back(); }},
        Damage{"IndexOnlyCreated", [](Bytes& i, Bytes&) { i.resize(kNewIndexSize); }},
        Damage{"HeaderMagic", [](Bytes& i, Bytes&) { i[16] ^= 1; }},
        Damage{"Signature", [](Bytes& i, Bytes&) { i[8] = 'x'; }},
        Damage{"SummaryMagic", [](Bytes& i, Bytes&) { i[64 + 16] = 0; }},
        Damage{"NoBlocks", [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + 64 + 32, 0); }},
        Damage{"TooManyBlocks", [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + 64 + 32, 4097); }},
        Damage{"BlockMagic", [](Bytes& i, Bytes&) { i[kBlock1 + 19] ^= 0xFF; }},
        Damage{"CountBeyondWrittenBlocks", [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + 64 + 32, 3); }},
        Damage{"IndexTrailerMagic", [](Bytes& i, Bytes&) { i[i.size() - 64 + 16] = 0; }},
        Damage{"MediaMissing", [](Bytes&, Bytes& v) { v.clear(); }},
        Damage{"MediaHeaderMagic", [](Bytes&, Bytes& v) { v[17] ^= 1; }},
        Damage{"MediaTrailerMagic", [](Bytes&, Bytes& v) { v[v.size() - 64 + 16] = 0; }},
        Damage{"MediaTooShort", [](Bytes&, Bytes& v) { v.resize(100); }},
        Damage{"SeekPositionBeforeList", [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + kBlock1 + 32, 0x100000); }},
        Damage{"SeekPositionAfterList",
               [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + kBlock1 + 32, kSeek0 + 5 * 8); }},
        Damage{"SeekPositionMisaligned",
               [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + kBlock1 + 32, kSeek0 + 3 * 8 + 4); }},
        Damage{"FirstFrameBelowUnits", [](Bytes& i, Bytes&) { protocol::putBe32(i.data() + kSeek0, 10); }},
        Damage{"FirstFrameInTrailer",
               [](Bytes& i, Bytes& v) {
                   protocol::putBe32(i.data() + kSeek0 + 3 * 8, static_cast<std::uint32_t>(v.size() - 64 - 100));
               }},
        Damage{"BlocksGoBackwards",
               [](Bytes& i, Bytes&) {
                   protocol::putBe32(i.data() + kSeek0 + 3 * 8, 64);  // block 1 starts where block 0 does
               }},
        Damage{"LastFrameOutsideUnits",
               [](Bytes&, Bytes& v) { protocol::putBe32(v.data() + v.size() - 64 + 36, 0xFFFFFF00); }}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ArchivePair, ReadsUnitsAndFollowsLinksBack) {
    ScratchDir dir;
    const auto stats = writeSample(dir.path());
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();
    // Forward through every unit: video, audio, video, ...
    std::vector<UnitKind> kinds;
    std::uint64_t at = 64, last_video = 0;
    while (at < pair.vidTrailerOffset()) {
        const auto r = pair.readUnit(at);
        ASSERT_TRUE(r.unit) << toString(r.damage);
        kinds.push_back(r.unit->kind);
        if (r.unit->kind == UnitKind::Video) last_video = at;
        at = r.unit->next();
    }
    EXPECT_EQ(kinds.size(), 7u);
    EXPECT_EQ(kinds[1], UnitKind::Audio);
    EXPECT_EQ(last_video, pair.vidTrailer().last_video_offset);
    // Backward from the last frame to the first: six video frames, then none.
    std::uint64_t back = last_video;
    int frames = 1;
    for (;;) {
        const auto r = pair.readUnit(back);
        ASSERT_TRUE(r.unit);
        const auto link = previousOf(*r.unit);
        ASSERT_NE(link.kind, PreviousLink::Kind::Damaged);
        if (link.kind == PreviousLink::Kind::None) break;
        back = link.offset;
        ++frames;
        ASSERT_LT(frames, 10);
    }
    EXPECT_EQ(frames, 6);
    EXPECT_EQ(back, 64u);
    // Stepping back from the audio unit lands on the frame before it.
    const auto audio = pair.readUnit(64 + videoUnit({}).size());
    ASSERT_TRUE(audio.unit);
    EXPECT_EQ(previousOf(*audio.unit).offset, 64u);

    Bytes payload(kMaxUnitBytes);
    const auto first = pair.readUnit(64);
    ASSERT_TRUE(pair.readPayload(*first.unit, payload));
    EXPECT_EQ(payload[5], 5);
}

TEST(ArchivePair, ReportsUnitsThatDoNotFitAndLinksThatDoNotLeadBack) {
    ScratchDir dir;
    const auto stats = writeSample(dir.path());
    Bytes vid = readFile(stats.vid_path);
    const std::size_t unit = videoUnit({}).size();
    const std::size_t second_video = 64 + unit + audioUnit(1).size();
    protocol::putBe32(vid.data() + 64 + 28, 0x00FFFFFF);                   // first frame: huge payload
    protocol::putBe32(vid.data() + second_video + 28, 5000);               // runs past the trailer
    protocol::putBe32(vid.data() + second_video + 32, static_cast<std::uint32_t>(second_video));  // points at itself
    writeFile(stats.vid_path, vid);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();
    EXPECT_EQ(pair.readUnit(64).damage, UnitDamage::TooLong);
    EXPECT_EQ(pair.readUnit(second_video).damage, UnitDamage::PastTrailer);
    protocol::putBe32(vid.data() + second_video + 28, 100);
    writeFile(stats.vid_path, vid);
    ASSERT_TRUE(pair.open(stats.idx_path));
    const auto r = pair.readUnit(second_video);
    ASSERT_TRUE(r.unit);
    EXPECT_EQ(previousOf(*r.unit).kind, PreviousLink::Kind::Damaged);
    EXPECT_EQ(pair.readUnit(pair.vidTrailerOffset() - 10).damage, UnitDamage::PastTrailer);
    EXPECT_EQ(pair.readUnit(3).damage, UnitDamage::ReadFailed);
}

TEST(ArchivePair, FindsTheFirstFrameAtOrAfterATime) {
    ScratchDir dir;
    const auto stats = writeSample(dir.path());
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();
    struct Case {
        std::uint32_t block, t, expect_time;
    };
    for (const Case c : {Case{0, kT, kT}, Case{0, kT + 1, kT + 1}, Case{0, kT + 2, kT + 5}, Case{0, kT + 5, kT + 5},
                         Case{0, kT + 9, kT + 5} /* none later in the block: its last entry */,
                         Case{0, kT - 5, kT}, Case{1, kT + 11, kT + 11}, Case{1, kT + 3, kT + 10}}) {
        for (const bool estimate : {false, true}) {
            const auto hit = estimate ? pair.estimateSeek(c.block, c.t) : pair.locateAtOrAfter(c.block, c.t);
            ASSERT_TRUE(hit);
            EXPECT_EQ(hit->time, c.expect_time) << "block " << c.block << " t " << c.t - kT << " estimate " << estimate;
            EXPECT_EQ(pair.videoTimeAt(hit->entry.video_offset), c.expect_time);
        }
    }
    EXPECT_EQ(pair.blockEntries(0).end, 3u);
    EXPECT_EQ(pair.blockEntries(1).first, 3u);
    EXPECT_FALSE(pair.locateAtOrAfter(2, kT));
}

TEST(ArchivePair, AcceptsAPairWithoutFramesWhoseTrailerNamesTheFirstOffset) {
    ScratchDir dir;
    WriterOptions o;
    o.folder = dir.path();
    ArchiveWriter w(o);
    ASSERT_TRUE(w.open());
    w.appendUnit(audioUnit(1));
    const auto stats = *w.close();
    // Writers differ here: 0 or 64 for "no frame".
    Bytes vid = readFile(stats.vid_path);
    protocol::putBe32(vid.data() + vid.size() - 64 + 36, 64);
    writeFile(stats.vid_path, vid);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();
    EXPECT_FALSE(pair.estimateSeek(0, kT));
}

TEST(ArchivePair, ALaterSeekEntryLeadingNowhereStopsTheSearchThere) {
    ScratchDir dir;
    const auto stats = writeSample(dir.path());
    Bytes idx = readFile(stats.idx_path);
    protocol::putBe32(idx.data() + kSeekListOffset + 8, 0x7FFFFFF0);  // block 0, entry 1
    writeFile(stats.idx_path, idx);
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();  // only first entries are checked at opening
    const auto hit = pair.estimateSeek(0, kT + 5);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->index, 1u);
    EXPECT_EQ(pair.readUnit(hit->entry.video_offset).damage, UnitDamage::PastTrailer);
}

TEST(ArchivePair, SeekSearchAgreesWithAWalkOverALongBlockWithGaps) {
    ScratchDir dir;
    WriterOptions o;
    o.folder = dir.path();
    ArchiveWriter w(o);
    ASSERT_TRUE(w.open());
    std::vector<std::uint32_t> times;
    std::uint32_t t = kT;
    for (int i = 0; i < 1500; ++i) {
        t += (i % 7 == 3) ? 1 + static_cast<std::uint32_t>(i % 40) : 1;  // gaps of every length
        times.push_back(t);
        w.appendUnit(videoUnit({.time = t, .payload = 1}));
        w.appendUnit(videoUnit({.time = t, .channel = 1, .payload = 1}));
    }
    const auto stats = *w.close();
    ArchivePair pair;
    ASSERT_TRUE(pair.open(stats.idx_path)) << pair.failure();
    ASSERT_EQ(pair.seekCount(), times.size());
    for (std::uint32_t target = kT - 2; target <= t + 2; ++target) {
        const auto first_late = std::lower_bound(times.begin(), times.end(), target);
        const auto expect = first_late == times.end() ? times.back() : *first_late;
        const auto hit = pair.estimateSeek(0, target);
        ASSERT_TRUE(hit);
        ASSERT_EQ(hit->time, expect) << "target " << target - kT;
        ASSERT_EQ(hit->index, static_cast<std::uint64_t>(std::find(times.begin(), times.end(), expect) - times.begin()));
    }
}

}  // namespace
}  // namespace kalix::archive
