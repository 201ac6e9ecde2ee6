#include "media/audio/sound_stream.h"

#include <gtest/gtest.h>

#include <thread>

#include "audio_test_support.h"
#include "media/audio/audio_player.h"
#include "media/audio/sound_ring.h"

namespace kalix::media {
namespace {

using test::FakeSoundOutput;
using Clock = SoundStreamState::Clock;

constexpr std::size_t kBlock = 16;
constexpr std::size_t kRing = kBlock * kRingBlocks;
constexpr std::size_t kStep = kBlock / 4;

std::vector<std::uint8_t> blockOf(std::uint8_t fill) { return std::vector<std::uint8_t>(kBlock, fill); }

class NullEvents final : public SoundOutputEvents {
public:
    void soundNotice(SoundNotice) override {}
};

// One stream on the simulated clock: play() advances the fake output and
// hands every notice to the rules, as the notification thread would.
struct SimulatedStream {
    explicit SimulatedStream(StreamMode mode = StreamMode::Normal) : state(output, mode, kBlock) {
        output.open(kVoiceFormat, kBlock, events);
    }
    std::size_t play(std::size_t bytes, std::vector<std::uint8_t>* played = nullptr) {
        // Small steps, so that a restart at the ring's start is played in
        // the same call.
        std::size_t resets = 0;
        for (std::size_t done = 0; done < bytes; done += kStep)
            for (auto notice : output.advance(std::min(kStep, bytes - done), played))
                if (state.onNotice(notice, now, reference)) ++resets;
        return resets;
    }
    NullEvents events;
    FakeSoundOutput output;
    SoundStreamState state;
    Clock::time_point now{};
    Clock::time_point reference{};
};

TEST(SoundRing, ReportsBlockEndsThenTheStopAndPlaysSilenceAfterTheEnd) {
    SoundRing ring;
    ASSERT_TRUE(ring.allocate(4));
    ASSERT_TRUE(ring.write(56, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(ring.write(60, std::vector<std::uint8_t>(5, 1)));  // past the end
    ring.setPosition(58);
    ring.play();
    std::vector<std::uint8_t> out(8, 0xAA);
    const auto consumed = ring.consume(out);
    EXPECT_EQ(consumed.block_ends, 2u);  // ends of blocks 14 and 15
    EXPECT_TRUE(consumed.stopped);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{3, 4, 5, 6, 7, 8, 0, 0}));
    EXPECT_FALSE(ring.playing());
    EXPECT_EQ(ring.position(), 64u);
    EXPECT_FALSE(ring.allocate(0));
}

TEST(SoundStreamState, BatchOfDefaultSettingFillsAOneHundredSixtyKilobyteRing) {
    const std::size_t n = audioBatchBlocks(2);
    EXPECT_EQ(n, 40u);
    EXPECT_EQ(n * kAudioBlockBytes, 1920u);
    EXPECT_EQ(g726SampleCount(n * kAudioBlockBytes), 5120u);
    EXPECT_EQ(n * kAudioBlockPcmBytes, 10240u);
    FakeSoundOutput output;
    SoundStreamState state(output, StreamMode::Normal, n * kAudioBlockPcmBytes);
    EXPECT_EQ(state.ringBytes(), 163840u);
    EXPECT_EQ(audioBatchBlocks(0), 32u);
    EXPECT_EQ(audioBatchBlocks(255), 1052u);
}

TEST(SoundStreamState, FirstWriteAtZeroStartsAtTheLastBlockAndPlaysOnWithoutReset) {
    SimulatedStream s;
    ASSERT_TRUE(s.state.write(blockOf(1)));
    EXPECT_EQ(s.output.playPosition(), kRing - kBlock);
    EXPECT_TRUE(s.output.playing());
    EXPECT_FALSE(s.state.restarting());
    EXPECT_EQ(s.state.writePosition(), kBlock);

    // Real time: one block written per block played, for two and a half
    // laps. Nothing is lost and nothing resets.
    std::vector<std::uint8_t> played;
    std::vector<std::uint8_t> written = blockOf(1);
    for (int k = 2; k < 42; ++k) {
        ASSERT_TRUE(s.state.write(blockOf(static_cast<std::uint8_t>(k))));
        EXPECT_EQ(s.play(kBlock, &played), 0u) << "block " << k;
        written.insert(written.end(), kBlock, static_cast<std::uint8_t>(k));
    }
    EXPECT_EQ(s.state.resets(), 0u);
    EXPECT_EQ(s.state.playerLaps(), 3u);  // the lead-in lap counts
    EXPECT_EQ(s.state.writerLaps(), 3u);
    ASSERT_EQ(played.size(), 40 * kBlock);
    // One block of lead-in silence, then everything in order.
    EXPECT_EQ(std::vector<std::uint8_t>(played.begin(), played.begin() + kBlock), blockOf(0));
    EXPECT_TRUE(std::equal(played.begin() + kBlock, played.end(), written.begin()));
}

TEST(SoundStreamState, WriterFallingBehindResetsAndTheNextWriteRestartsAtItsBlock) {
    SimulatedStream s;
    s.state.write(blockOf(1));
    s.state.write(blockOf(2));
    EXPECT_EQ(s.play(kBlock), 0u);  // the lead-in block
    EXPECT_EQ(s.play(kBlock), 0u);  // block 0
    EXPECT_EQ(s.play(kBlock), 0u);  // block 1: the player reaches the write position
    EXPECT_EQ(s.play(kBlock), 1u);  // past it: stale sound
    EXPECT_TRUE(s.state.restarting());
    EXPECT_EQ(s.state.underruns(), 1u);
    EXPECT_FALSE(s.output.playing());
    EXPECT_EQ(s.state.playerLaps(), 0u);
    EXPECT_EQ(s.state.writerLaps(), 0u);

    const std::size_t at = s.state.writePosition();
    ASSERT_NE(at, 0u);
    s.state.write(blockOf(9));
    EXPECT_EQ(s.output.playPosition(), at);
    std::vector<std::uint8_t> played;
    s.play(kBlock, &played);
    EXPECT_EQ(played, blockOf(9));
}

TEST(SoundStreamState, WriterRunningMoreThanABlockAheadResets) {
    SimulatedStream s;
    s.state.write(blockOf(1));
    s.play(kBlock);  // lead-in
    s.state.write(blockOf(2));
    s.state.write(blockOf(3));
    s.state.write(blockOf(4));
    EXPECT_EQ(s.play(kBlock), 1u);
    EXPECT_TRUE(s.state.restarting());
    EXPECT_EQ(s.state.resets(), 1u);
    EXPECT_EQ(s.state.underruns(), 0u);  // too much sound, never too little
}

TEST(SoundStreamState, RefusesBlocksOfTheWrongSizeAndDropsBlocksTheOutputRefuses) {
    SimulatedStream s;
    EXPECT_FALSE(s.state.write(std::vector<std::uint8_t>(kBlock - 1, 1)));
    EXPECT_FALSE(s.state.write(std::vector<std::uint8_t>(kBlock + 1, 1)));
    EXPECT_FALSE(s.state.write({}));
    s.output.fail_writes = true;
    EXPECT_FALSE(s.state.write(blockOf(1)));
    EXPECT_EQ(s.state.writePosition(), 0u);
    EXPECT_TRUE(s.state.restarting());
    s.output.fail_writes = false;
    EXPECT_TRUE(s.state.write(blockOf(1)));
}

TEST(SoundStreamState, ClearEmptiesTheRingAndTheNextWritePlaysAgain) {
    SimulatedStream s;
    for (int k = 1; k <= 5; ++k) s.state.write(blockOf(static_cast<std::uint8_t>(k)));
    s.play(kBlock / 2);
    s.state.clear();
    EXPECT_FALSE(s.output.playing());
    EXPECT_EQ(s.state.writePosition(), 0u);
    EXPECT_EQ(s.output.ringBytes(), std::vector<std::uint8_t>(kRing, 0));

    s.state.write(blockOf(7));
    EXPECT_TRUE(s.output.playing());
    std::vector<std::uint8_t> played;
    s.play(2 * kBlock, &played);
    EXPECT_EQ(std::vector<std::uint8_t>(played.begin() + kBlock, played.end()), blockOf(7));
}

TEST(SoundStreamState, AlternateModeRestartsOnAZeroedRingAtPositionZero) {
    SimulatedStream s(StreamMode::Alternate);
    s.reference = s.now;
    for (int k = 1; k <= 3; ++k) s.state.write(blockOf(static_cast<std::uint8_t>(k)));
    s.play(kBlock);  // lead-in: P = 0 behind W' = 1
    EXPECT_EQ(s.play(kBlock), 0u);
    s.play(3 * kBlock);  // the player passes the write position
    ASSERT_TRUE(s.state.restarting());

    ASSERT_NE(s.state.writePosition(), 0u);
    s.state.write(blockOf(8));
    EXPECT_EQ(s.state.writePosition(), kBlock);
    EXPECT_EQ(s.output.playPosition(), kRing - kBlock);
    const auto ring = s.output.ringBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(ring.begin(), ring.begin() + kBlock), blockOf(8));
    EXPECT_TRUE(std::all_of(ring.begin() + kBlock, ring.end(), [](auto b) { return b == 0; }));
}

TEST(SoundStreamState, AlternateModeResetsOnceThirtySecondsHavePassed) {
    SimulatedStream s(StreamMode::Alternate);
    s.reference = s.now;
    s.state.write(blockOf(1));
    s.state.write(blockOf(2));
    s.now += kAlternateResetInterval;
    EXPECT_EQ(s.play(kBlock), 0u);  // exactly 30 s: not yet
    s.state.write(blockOf(3));
    s.now += std::chrono::milliseconds(1);
    EXPECT_EQ(s.play(kBlock), 1u);
    EXPECT_EQ(s.reference, s.now);
}

TEST(SoundStream, FailedOutputLeavesASilentStreamThatRefusesWrites) {
    auto output = std::make_unique<FakeSoundOutput>();
    output->fail_open = true;
    SoundStream stream(std::move(output), StreamMode::Normal);
    EXPECT_FALSE(stream.initialise(kVoiceFormat, kBlock));
    EXPECT_FALSE(stream.ready());
    EXPECT_FALSE(stream.writeBlock(blockOf(1)));
}

TEST(SoundStream, NotificationThreadStartsTheNextLapAfterTheRingPlayedOut) {
    auto owned = std::make_unique<FakeSoundOutput>();
    FakeSoundOutput& output = *owned;
    output.forward = true;
    SoundStream stream(std::move(owned), StreamMode::Normal);
    ASSERT_TRUE(stream.initialise(kVoiceFormat, kBlock));
    ASSERT_TRUE(stream.writeBlock(blockOf(1)));
    ASSERT_TRUE(stream.writeBlock(blockOf(2)));
    output.advance(kBlock);  // the lead-in block: block end, then the stop
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (stream.snapshot().player_laps == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(stream.snapshot().player_laps, 1u);
    EXPECT_EQ(stream.snapshot().resets, 0u);
    EXPECT_TRUE(output.playing());
    EXPECT_EQ(output.playPosition(), 0u);
    stream.stopThread();
    EXPECT_FALSE(output.playing());
}

}  // namespace
}  // namespace kalix::media
