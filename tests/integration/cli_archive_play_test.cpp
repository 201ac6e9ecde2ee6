// kalix-cli archive play on pairs made by the archive writer: the frames
// handed on forwards, backwards, in steps and at speed, the audio channel,
// damage met while playing, and the refusals.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../archive/archive_test_support.h"
#include "archive/archive_writer.h"
#include "cli_processes.h"

namespace kalix {
namespace {

using archive::testing::audioUnit;
using archive::testing::ScratchDir;
using archive::testing::VideoSpec;
using archive::testing::videoUnit;
using integration::contains;

constexpr std::uint32_t kT0 = 1'700'000'000;

struct Played {
    int status = -1;
    std::vector<std::string> frames;  // "time/channel/kind" of each frame event
    std::vector<std::string> lines;
    std::string out;
};

std::string field(const std::string& line, const std::string& key) {
    const std::string k = "\"" + key + "\":";
    const auto at = line.find(k);
    if (at == std::string::npos) return {};
    auto end = line.find_first_of(",}", at + k.size());
    return line.substr(at + k.size(), end - at - k.size());
}

class ArchivePlayTest : public ::testing::Test {
protected:
    // Seconds kT0 … kT0+3 in block 1 (key, P, P each second, audio after
    // each key frame), then seconds kT0+10 … kT0+11 in block 2.
    void writeArchive() {
        archive::WriterOptions o;
        o.folder = dir_.path() / "Download";
        o.clock = [] { return kT0 + 1000; };
        archive::ArchiveWriter w(o);
        ASSERT_TRUE(w.open());
        auto add = [&](std::uint32_t t, std::uint32_t key) {
            for (std::uint8_t k : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{1}}) {
                VideoSpec s;
                s.time = t;
                s.key = key;
                s.kind = k;
                ASSERT_EQ(w.appendUnit(videoUnit(s)), archive::UnitResult::Stored);
                if (k == 0) {
                    ASSERT_EQ(w.appendUnit(audioUnit(0x3, 96)), archive::UnitResult::Stored);
                }
            }
        };
        for (std::uint32_t t = kT0; t < kT0 + 4; ++t) add(t, 1);
        for (std::uint32_t t = kT0 + 10; t < kT0 + 12; ++t) add(t, 2);
        ASSERT_TRUE(w.close());
    }

    Played play(std::vector<std::string> extra, std::uint32_t from = kT0) {
        std::vector<std::string> args{KALIX_CLI_PATH, "archive", "play", (dir_.path() / "Download").string(),
                                      "--from", std::to_string(from), "--out", (dir_.path() / "out").string(),
                                      "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto f = integration::run(args);
        Played p;
        p.status = f.status;
        p.out = f.out;
        p.lines = f.lines();
        for (const auto& l : p.lines)
            if (contains(l, "\"event\":\"frame\""))
                p.frames.push_back(std::to_string(std::stoul(field(l, "time")) - kT0) + "/" + field(l, "channel") +
                                   "/" + field(l, "kind"));
        return p;
    }

    ScratchDir dir_;
};

TEST_F(ArchivePlayTest, ForwardHandsOnEveryFrameAndAudioUnitThenEnds) {
    writeArchive();
    const auto p = play({"--fast"});
    EXPECT_EQ(p.status, 0) << p.out;
    ASSERT_EQ(p.frames.size(), 18u);
    EXPECT_EQ(p.frames[0], "0/0/0");
    EXPECT_EQ(p.frames[1], "0/0/1");
    EXPECT_EQ(p.frames[12], "10/0/0");
    std::size_t audio = 0;
    for (const auto& l : p.lines) audio += contains(l, "\"event\":\"audio\"") ? 1u : 0u;
    EXPECT_EQ(audio, 6u);
    ASSERT_GE(p.lines.size(), 2u);
    EXPECT_EQ(p.lines[p.lines.size() - 2], R"({"event":"play_end","reason":"end","frames":18})");
    EXPECT_EQ(p.lines.back(), R"({"event":"done","exit":0})");
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "out" / "frames.md5"));
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "out" / "audio.wav"));
}

TEST_F(ArchivePlayTest, StartsInTheBlockThatHoldsTheTimeOrTheNextOne) {
    writeArchive();
    auto p = play({"--fast", "--frames", "2"}, kT0 + 3);  // the block's last second
    EXPECT_EQ(p.status, 0);
    ASSERT_EQ(p.frames.size(), 2u);
    EXPECT_EQ(p.frames[0], "3/0/0");
    EXPECT_TRUE(contains(p.out, R"({"event":"play_end","reason":"frames","frames":2})"));
    p = play({"--fast", "--frames", "1"}, kT0 + 5);  // a gap: the next block
    ASSERT_EQ(p.frames.size(), 1u);
    EXPECT_EQ(p.frames[0], "10/0/0");
    p = play({"--fast"}, kT0 + 12);
    EXPECT_EQ(p.status, 3);
    EXPECT_TRUE(contains(p.out, R"("event":"notice","kind":4,"detail":0)"));
    EXPECT_TRUE(p.frames.empty());
}

TEST_F(ArchivePlayTest, ReverseShowsKeyFramesBackToTheFirstFrame) {
    writeArchive();
    const auto p = play({"--fast", "--reverse"}, kT0 + 11);
    EXPECT_EQ(p.status, 0) << p.out;
    EXPECT_EQ(p.frames, (std::vector<std::string>{"11/0/0", "10/0/0", "3/0/0", "2/0/0", "1/0/0", "0/0/0"}));
    const auto q = play({"--fast", "--reverse", "--speed", "2"}, kT0 + 11);
    EXPECT_EQ(q.frames, (std::vector<std::string>{"11/0/0", "3/0/0", "1/0/0"}));
}

TEST_F(ArchivePlayTest, StepsForwardsThenBackwards) {
    writeArchive();
    const auto p = play({"--step-forward", "3", "--step-backward", "2"});
    EXPECT_EQ(p.status, 0) << p.out;
    EXPECT_EQ(p.frames, (std::vector<std::string>{"0/0/0", "0/0/1", "0/0/1", "0/0/1", "0/0/1"}));
    EXPECT_TRUE(contains(p.out, R"({"event":"play_end","reason":"end","frames":5})"));
}

TEST_F(ArchivePlayTest, FastForwardSpeedsSkipKeyFrames) {
    writeArchive();
    const auto p = play({"--fast", "--speed", "3"});
    EXPECT_EQ(p.frames, (std::vector<std::string>{"0/0/0", "2/0/0", "10/0/0"}));
}

TEST_F(ArchivePlayTest, TheAudioChannelsBlocksGoToTheWavFile) {
    writeArchive();
    auto p = play({"--fast", "--audio-channel", "1"});
    EXPECT_EQ(p.status, 0);
    const auto wav = dir_.path() / "out" / "audio.wav";
    ASSERT_TRUE(std::filesystem::exists(wav));
    // Six units, one 48-byte block of channel 1 each: 128 values a block.
    EXPECT_EQ(std::filesystem::file_size(wav), 44u + 6u * 128u * 2u);
    p = play({"--fast", "--audio-channel", "5"});  // no unit carries channel 5
    EXPECT_EQ(std::filesystem::file_size(wav), 44u);
}

TEST_F(ArchivePlayTest, DamageIsReportedAfterTheFramesBeforeIt) {
    writeArchive();
    // The fourth unit (second P frame of the first second) claims a payload
    // that runs past the trailer.
    std::filesystem::path vid;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path() / "Download"))
        if (e.path().extension() == ".vid") vid = e.path();
    auto bytes = archive::testing::readFile(vid);
    const std::size_t fourth = 64 + 192 + 100 + 64 + 96 + 192 + 100;
    protocol::putBe32(bytes.data() + fourth + 28, 0x7FFFFFFF);
    archive::testing::writeFile(vid, bytes);
    const auto p = play({"--fast"});
    EXPECT_EQ(p.status, 3);
    EXPECT_EQ(p.frames.size(), 2u);
    EXPECT_TRUE(contains(p.out, "\"event\":\"error\"")) << p.out;
    EXPECT_TRUE(contains(p.out, "\"offset\":" + std::to_string(fourth)));
    EXPECT_TRUE(contains(p.out, R"({"event":"play_end","reason":"error","frames":2})"));
    EXPECT_EQ(p.lines.back(), R"({"event":"done","exit":3})");
}

TEST_F(ArchivePlayTest, UsageErrorsTouchNothing) {
    writeArchive();
    EXPECT_EQ(play({"--speed", "7"}).status, 2);
    EXPECT_EQ(play({"--reverse", "--speed", "6"}).status, 2);
    EXPECT_EQ(integration::run({KALIX_CLI_PATH, "archive", "play", "--from", "0", "--out", "x"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "out"));
}

}  // namespace
}  // namespace kalix
