#include "sim/live_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "media/frame_formats.h"
#include "media/audio/g726.h"
#include "protocol/byte_order.h"
#include "audio_unit.h"
#include "raw_client.h"
#include "sim/recorder_sim.h"

namespace kalix::sim {
namespace {

using namespace simtest;
using Clock = std::chrono::steady_clock;

TEST(LiveAudioTest, UnitLayoutIsWhatTheClientParses) {
    std::vector<AudioBlockBytes> blocks(3);
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i].fill(static_cast<std::uint8_t>(0xA0 + i));
    const auto unit = buildLiveAudioUnit(0x8005, blocks);
    ASSERT_EQ(unit.size(), 64u + 3 * 48);
    EXPECT_EQ(protocol::be32(unit.data() + 16), 0x2518F049u);
    const auto header = media::parseAudioFrameHeader(unit);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->type_word, media::kTypeAudio);
    EXPECT_EQ(header->channel_mask, 0x8005u);
    EXPECT_EQ(header->payload_len, 3u * 48);

    // The client's choice of a channel's block finds that channel's block.
    const auto choice = media::audioBlockIndex(header->channel_mask, 15);
    ASSERT_TRUE(choice);
    EXPECT_EQ(unit[64 + choice->index * 48], 0xA2);

    // A block count that is not the mask's, or no channel: no unit.
    EXPECT_TRUE(buildLiveAudioUnit(0x000F, blocks).empty());
    EXPECT_TRUE(buildLiveAudioUnit(0x0003, blocks).empty());
    EXPECT_TRUE(buildLiveAudioUnit(0, {}).empty());
}

// Decoded with a fresh decoder, a channel's blocks give back its tone: the
// same on both sides, close to the coded PCM, at the channel's frequency.
TEST(LiveAudioTest, ChannelToneDecodesToItsTone) {
    for (const std::uint8_t channel : std::array<std::uint8_t, 3>{0, 7, 15}) {
        ChannelTone tone(channel);
        EXPECT_EQ(tone.values(0), tone.values(125)) << "a whole number of periods in one second";
        media::G726Decoder decoder;
        double signal = 0, error = 0;
        int crossings = 0;
        std::int16_t previous_left = 0;
        for (std::uint64_t b = 0; b < 125; ++b) {
            const AudioBlockBytes block = tone.nextBlock();
            AudioBlockValues decoded{};
            ASSERT_TRUE(decoder.decode(block, decoded).ok());
            const AudioBlockValues source = tone.values(b);
            for (std::size_t i = 0; i < decoded.size(); i += 2) {
                EXPECT_EQ(source[i], source[i + 1]);
                if (b < 4) continue;  // the coder adapts first
                const auto s = static_cast<double>(source[i]);
                signal += s * s;
                error += std::pow(s - decoded[i], 2) + std::pow(s - decoded[i + 1], 2);
                if ((previous_left < 0) != (decoded[i] < 0)) ++crossings;
                previous_left = decoded[i];
            }
        }
        EXPECT_EQ(tone.nextIndex(), 125u);
        EXPECT_GT(10 * std::log10(2 * signal / error), 12.0) << "channel " << int{channel};
        // Two zero crossings per period over 121/125 of a second.
        const double expected = 2.0 * ChannelTone::frequency(channel) * 121 / 125;
        EXPECT_NEAR(crossings, expected, expected * 0.05) << "channel " << int{channel};
    }

    ChannelTone a(3), b(4);
    const AudioBlockBytes first = a.nextBlock();
    EXPECT_NE(first, b.nextBlock()) << "channels differ";
    a.nextBlock();
    a.restart();
    EXPECT_EQ(a.nextIndex(), 0u);
    EXPECT_EQ(a.nextBlock(), first) << "a restart starts over with a fresh encoder";
}

// Collects the units of a streamer with their arrival times.
class AudioSink {
public:
    bool send(std::span<const std::uint8_t> unit) {
        {
            std::lock_guard lock(mutex_);
            units_.emplace_back(unit.begin(), unit.end());
        }
        cv_.notify_all();
        return true;
    }
    bool waitFor(std::size_t n) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, kWait, [&] { return units_.size() >= n; });
    }
    std::vector<std::vector<std::uint8_t>> units() const {
        std::lock_guard lock(mutex_);
        return units_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::vector<std::uint8_t>> units_;
};

// ~125 units a second; the same mask goes on, another one starts over, and
// nothing follows a stop.
TEST(LiveAudioTest, StreamerPacesRunsAndStops) {
    AudioSink sink;
    LiveAudioStreamer streamer([&](std::span<const std::uint8_t> unit, std::uint32_t) { return sink.send(unit); });
    const auto begin = Clock::now();
    streamer.setMask(0x0011);
    ASSERT_TRUE(sink.waitFor(126));
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    EXPECT_GT(seconds, 0.9) << "not faster than one unit per 8 ms";
    EXPECT_LT(seconds, 1.6) << "not much slower either";

    streamer.setMask(0x0011);  // no new run
    ASSERT_TRUE(sink.waitFor(130));
    streamer.setMask(0x0010);
    ASSERT_TRUE(sink.waitFor(sink.units().size() + 3));
    streamer.setMask(0);
    const std::size_t at_stop = sink.units().size();
    EXPECT_EQ(streamer.unitsSent(), at_stop);
    std::this_thread::sleep_for(50ms);
    const auto units = sink.units();
    EXPECT_EQ(units.size(), at_stop) << "nothing after a stop";

    const auto switched = std::ranges::find_if(units, [](const auto& u) { return u.size() == 64 + 48; });
    const auto at_switch = static_cast<std::size_t>(switched - units.begin());
    EXPECT_GE(at_switch, 130u);
    ChannelTone zero(0), four(4), four_again(4);
    for (std::size_t i = 0; i < at_switch; ++i) {
        const auto unit = parseAudio(units[i]);
        ASSERT_TRUE(unit) << i;
        ASSERT_EQ(unit->mask, 0x0011u);
        ASSERT_EQ(unit->blocks[0], zero.nextBlock()) << i;
        ASSERT_EQ(unit->blocks[1], four.nextBlock()) << i;
    }
    for (std::size_t i = at_switch; i < at_stop; ++i) {
        const auto unit = parseAudio(units[i]);
        ASSERT_TRUE(unit) << i;
        ASSERT_EQ(unit->mask, 0x0010u);
        ASSERT_EQ(unit->blocks[0], four_again.nextBlock()) << "a new mask starts a new run, unit " << i;
    }
}

}  // namespace
}  // namespace kalix::sim
