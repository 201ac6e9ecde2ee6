#include "media/audio/audio_player.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio_test_support.h"
#include "media/audio/sdl_sound_output.h"

namespace kalix::media {
namespace {

using test::FakeSoundOutput;
using test::QueueBlockSource;

template <typename Pred>
bool waitFor(Pred pred, std::chrono::seconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t n) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from),
            v.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

TEST(AudioPlayer, WithoutASoundOutputThereIsNoPlayer) {
    QueueBlockSource source;
    EXPECT_EQ(AudioPlayer::create(source, 2, nullptr), nullptr);
}

TEST(AudioPlayer, DecodesWholeBatchesWithOneDecoderIntoConsecutiveBlocksOfTheRing) {
    QueueBlockSource source;
    auto owned = std::make_unique<FakeSoundOutput>();
    FakeSoundOutput& output = *owned;
    auto player = AudioPlayer::create(source, 0, std::move(owned));
    ASSERT_NE(player, nullptr);
    const std::size_t n = player->batchBlocks();
    ASSERT_EQ(n, 32u);

    const auto blocks = test::toneBlocks(2 * n + 5);
    for (const auto& b : blocks) source.push(b);
    ASSERT_TRUE(waitFor([&] { return player->blocksTaken() == blocks.size(); }));
    player->stop(PlayerStop::Immediate);
    EXPECT_EQ(player->batchCount(), 2u);  // the last 5 blocks wait for a whole batch

    const std::size_t batch_pcm = n * kAudioBlockPcmBytes;
    const auto expected = test::decodedPcm({blocks.begin(), blocks.begin() + 2 * static_cast<std::ptrdiff_t>(n)});
    const auto ring = output.ringBytes();
    EXPECT_EQ(slice(ring, 0, 2 * batch_pcm), expected);
    EXPECT_EQ(slice(ring, 2 * batch_pcm, batch_pcm), std::vector<std::uint8_t>(batch_pcm, 0));
}

TEST(AudioPlayer, DiscardDropsQueuedBlocksAndTheBatchInHand) {
    QueueBlockSource source;
    auto owned = std::make_unique<FakeSoundOutput>();
    FakeSoundOutput& output = *owned;
    auto player = AudioPlayer::create(source, 0, std::move(owned), StreamMode::Alternate);
    const std::size_t n = player->batchBlocks();

    const auto before = test::toneBlocks(n / 2, 300.0);
    for (const auto& b : before) source.push(b);
    ASSERT_TRUE(waitFor([&] { return player->blocksTaken() == before.size(); }));

    player->setDiscard(true);
    for (const auto& b : test::toneBlocks(n + 3, 500.0)) source.push(b);
    ASSERT_TRUE(waitFor([&] { return player->blocksTaken() == before.size() + n + 3; }));
    EXPECT_EQ(player->batchCount(), 0u);
    EXPECT_EQ(output.writes, 0);

    // Discard off: the first batch is made only of blocks queued since.
    player->setDiscard(false);
    const auto after = test::toneBlocks(n, 700.0);
    for (const auto& b : after) source.push(b);
    ASSERT_TRUE(waitFor([&] { return player->batchCount() == 1; }));
    player->stop(PlayerStop::Immediate);
    EXPECT_EQ(slice(output.ringBytes(), 0, n * kAudioBlockPcmBytes), test::decodedPcm(after));
}

TEST(AudioPlayer, SilentPlayerStillConsumesAndADrainingStopEmptiesTheQueue) {
    QueueBlockSource source;
    auto owned = std::make_unique<FakeSoundOutput>();
    owned->fail_open = true;
    auto player = AudioPlayer::create(source, 0, std::move(owned));
    ASSERT_NE(player, nullptr);
    EXPECT_FALSE(player->stream().ready());

    // 1,005 batches: the batch counter passes 1,000 and starts again at 100.
    const auto blocks = test::toneBlocks(64);
    for (int i = 0; i < 1005 * 32 / 64; ++i)
        for (const auto& b : blocks) source.push(b);
    // The draining stop is bounded in time; let a slow (sanitized) build
    // work through the bulk first, then leave the stop a last stretch.
    for (int i = 0; i < 6000 && source.size() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (int i = 0; i < 32 + 7; ++i) source.push(blocks[0]);
    player->stop(PlayerStop::Drain);
    EXPECT_EQ(source.size(), 0u);
    EXPECT_EQ(player->blocksTaken(), 1005u * 32 + 7);
    EXPECT_EQ(player->batchCount(), 104u);
    EXPECT_FALSE(player->running());
}

// The whole path on SDL's disk driver: coded blocks arrive at the live
// rate, and the driver's file holds the decoded sound, bit for bit.
TEST(AudioPlayerOnSdl, DiskDriverOutputHoldsTheDecodedStream) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("kalix_audio_out_" + std::to_string(::getpid()) + ".raw");
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    ASSERT_TRUE(sdlSoundOutputPresent());

    QueueBlockSource source;
    auto player = AudioPlayer::create(source, 0, makeSdlSoundOutput());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(player->stream().ready());
    const std::size_t n = player->batchBlocks();
    constexpr std::size_t kBatches = 8;
    const auto blocks = test::toneBlocks(kBatches * n);

    // One block every 8 ms, as the recorder sends them, a batch at a time.
    const auto batch_time = std::chrono::milliseconds(8) * n;
    auto due = std::chrono::steady_clock::now();
    for (std::size_t b = 0; b < kBatches; ++b) {
        for (std::size_t i = 0; i < n; ++i) source.push(blocks[b * n + i]);
        due += batch_time;
        std::this_thread::sleep_until(due);
    }
    std::this_thread::sleep_for(3 * batch_time);
    const auto resets = player->stream().snapshot().resets;
    player.reset();

    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> out((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(file);
    const auto expected = test::decodedPcm(blocks);
    const auto first = std::find_if(out.begin(), out.end(), [](auto b) { return b != 0; });
    ASSERT_NE(first, out.end());
    const auto expected_first = std::find_if(expected.begin(), expected.end(), [](auto b) { return b != 0; });
    const auto start = first - (expected_first - expected.begin());
    ASSERT_GE(start, out.begin());
    const auto available = static_cast<std::size_t>(out.end() - start);
    ASSERT_GE(available, expected.size());
    std::size_t same = 0;
    while (same < expected.size() && start[static_cast<std::ptrdiff_t>(same)] == expected[same]) ++same;
    EXPECT_EQ(same, expected.size()) << "played " << same << " of " << expected.size() << " bytes; resets "
                                     << resets;
}

}  // namespace
}  // namespace kalix::media
