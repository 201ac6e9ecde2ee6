#include "media/video/channel_decoder.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "h264_test_clips.h"
#include "media/video/md5.h"

namespace kalix::media {
namespace {

using namespace std::chrono_literals;
using testing::accessUnits;

// Records decoded pictures; answers the decoder's questions from fields.
class Host final : public DecoderHost {
public:
    bool liveFrameWanted(int) override { return wanted; }
    std::string liveTitle(int channel) override { return "CAM" + std::to_string(channel + 1); }
    std::int64_t paneTime(int, const FrameItem& item) override { return item.header.frameTime(); }
    bool lineDoubling(int) override { return doubling; }
    std::optional<AudioIcon> audioIcon(int) override { return std::nullopt; }
    int textWidth(std::string_view text) override { return static_cast<int>(text.size()) * 10; }
    void decoderInitFailed(int) override { init_failed = true; }
    void pictureDecoded(const DecodedPicture& p) override {
        std::lock_guard lock(mutex);
        md5s.push_back(md5Hex(p.yuv));
        sizes.push_back(p.size);
        indices.push_back(p.index);
        changed.notify_all();
    }
    bool waitForPictures(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return md5s.size() >= n; });
    }

    std::atomic<bool> wanted{true};
    std::atomic<bool> doubling{true};
    std::atomic<bool> init_failed{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> md5s;
    std::vector<PictureSize> sizes;
    std::vector<std::uint64_t> indices;
};

FrameItem itemFor(const std::vector<std::uint8_t>& unit, FrameKind kind, std::uint16_t w, std::uint16_t h,
                  std::uint32_t epoch = 1) {
    FrameItem item;
    item.data = unit;
    item.decode_len = static_cast<std::uint32_t>(unit.size());
    item.epoch = epoch;
    item.info.kind = kind;
    item.info.width = w;
    item.info.height = h;
    item.info.coded_len = item.decode_len;
    item.info.available_len = item.decode_len;
    item.header.word3 = 1'700'000'000u;
    return item;
}

struct Rig {
    Rig() {
        wall.initialise(16);
        wall.view().place(WallRect{54, 67, 874, 661}, 1, kWallBackgroundColour);
        wall.startView(16);
        wall.pictures().setYuvAvailable(true);
        wall.pictures().setDrawPath(DrawPath::Yuv);
        wall.setDisplayMode(DisplayMode::Live);
        wall.setActiveChannels(0xFFFF, MapReset::IdentityWhenEmpty);
    }
    VideoWall wall;
    Host host;
};

TEST(ChannelDecoder, PredictedPicturesWaitForTheFirstKeyFrameThenDecodeBitExactly) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x288.264")));
    const auto expected = testing::readLines(testing::clipPath("clip352x288.md5"));
    Rig rig;
    ChannelDecoder decoder(2, rig.wall, rig.host);
    // Pictures 1-5 are predicted from picture 0, which never came: dropped.
    for (int i = 1; i < 6; ++i) decoder.queue().push(itemFor(units[static_cast<std::size_t>(i)], FrameKind::Predicted, 352, 288));
    for (int i = 6; i < 12; ++i)
        decoder.queue().push(itemFor(units[static_cast<std::size_t>(i)], i == 6 ? FrameKind::Key : FrameKind::Predicted, 352, 288));
    ASSERT_TRUE(rig.host.waitForPictures(6));
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(rig.host.md5s[i], expected[6 + i]) << i;
    decoder.stop();
    EXPECT_EQ(decoder.picturesShown(), 6u);
    EXPECT_EQ(decoder.picturesDropped(), 5u);
    EXPECT_EQ(rig.wall.pictures().pictureSize(2), (PictureSize{352, 288}));
    EXPECT_TRUE(rig.wall.view().pictureChannels() & (1u << 2));
    EXPECT_EQ(rig.wall.pictures().paneTime(2), 1'700'000'000);
    const auto captions = rig.wall.pictures().captions(2);
    ASSERT_TRUE(captions);
    EXPECT_EQ(captions->line1.text, "CAM3 360x288");
    EXPECT_EQ(captions->line2.text.substr(0, 6), "LIVE  ");
    EXPECT_FALSE(rig.host.init_failed);
}

TEST(ChannelDecoder, HeldPicturesAreDecodedForwardsAndShownInTheOrderAsked) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x288.264")));
    const auto expected = testing::readLines(testing::clipPath("clip352x288.md5"));
    Rig rig;
    ChannelDecoder decoder(1, rig.wall, rig.host);
    for (int i = 0; i < 6; ++i) {
        FrameItem item = itemFor(units[static_cast<std::size_t>(i)], i == 0 ? FrameKind::Key : FrameKind::Predicted, 352, 288);
        item.hold = HoldRole::Hold;
        item.hold_id = 10 + static_cast<std::uint64_t>(i);
        decoder.queue().push(std::move(item));
    }
    // Latest first, then one that was never held.
    for (std::uint64_t id : {15u, 14u, 13u, 12u, 11u, 10u, 99u}) {
        FrameItem show = itemFor({}, FrameKind::Predicted, 352, 288);
        show.hold = HoldRole::Show;
        show.hold_id = id;
        decoder.queue().push(std::move(show));
    }
    ASSERT_TRUE(rig.host.waitForPictures(6));
    // The last one, never held, is taken after the sixth picture shows.
    for (int i = 0; i < 500 && decoder.picturesDropped() == 0; ++i) std::this_thread::sleep_for(10ms);
    decoder.stop();
    ASSERT_EQ(rig.host.md5s.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(rig.host.md5s[i], expected[5 - i]) << i;
    EXPECT_EQ(decoder.picturesShown(), 6u);
    EXPECT_EQ(decoder.picturesDropped(), 1u);
    EXPECT_TRUE(rig.wall.view().pictureChannels() & (1u << 1));
}

TEST(ChannelDecoder, NewEpochRestartsTheRunAtTheNextKeyFrame) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x288.264")));
    Rig rig;
    ChannelDecoder decoder(0, rig.wall, rig.host);
    decoder.queue().push(itemFor(units[0], FrameKind::Key, 352, 288, 1));
    decoder.queue().push(itemFor(units[1], FrameKind::Predicted, 352, 288, 1));
    decoder.queue().push(itemFor(units[2], FrameKind::Predicted, 352, 288, 2));  // new epoch: dropped
    decoder.queue().push(itemFor(units[6], FrameKind::Key, 352, 288, 2));
    ASSERT_TRUE(rig.host.waitForPictures(3));
    decoder.stop();
    EXPECT_EQ(decoder.picturesShown(), 3u);
    EXPECT_EQ(decoder.picturesDropped(), 1u);
}

// A hostile recorder can announce a key frame that carries no coded bytes:
// both the first key frame of a run and one inside a run must be passed over
// without touching the (absent) data, and the run goes on.
TEST(ChannelDecoder, KeyFramesWithoutCodedBytesAreHarmless) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x288.264")));
    const auto expected = testing::readLines(testing::clipPath("clip352x288.md5"));
    const std::vector<std::uint8_t> empty;
    Rig rig;
    ChannelDecoder decoder(0, rig.wall, rig.host);
    decoder.queue().push(itemFor(empty, FrameKind::Key, 352, 288));  // starts the run
    decoder.queue().push(itemFor(units[0], FrameKind::Key, 352, 288));
    decoder.queue().push(itemFor(empty, FrameKind::Key, 352, 288));  // inside the run
    decoder.queue().push(itemFor(units[1], FrameKind::Predicted, 352, 288));
    decoder.queue().push(itemFor(units[2], FrameKind::Predicted, 352, 288));
    ASSERT_TRUE(rig.host.waitForPictures(3));
    decoder.stop();
    EXPECT_EQ(decoder.picturesShown(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(rig.host.md5s[i], expected[i]) << i;
}

TEST(ChannelDecoder, VideoLossDropsPicturesAndUnprimes) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x288.264")));
    Rig rig;
    rig.host.wanted = false;
    ChannelDecoder decoder(0, rig.wall, rig.host);
    decoder.queue().push(itemFor(units[0], FrameKind::Key, 352, 288));
    ASSERT_TRUE(decoder.queue().waitUntilAtMost(0, 5s));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(decoder.picturesShown(), 0u);
    rig.host.wanted = true;
    decoder.queue().push(itemFor(units[1], FrameKind::Predicted, 352, 288));  // no key since: dropped
    decoder.queue().push(itemFor(units[6], FrameKind::Key, 352, 288));
    ASSERT_TRUE(rig.host.waitForPictures(1));
    decoder.stop();
    EXPECT_EQ(decoder.picturesShown(), 1u);
}

TEST(ChannelDecoder, LineDoublingOfFourHundredEightyLinePictures) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x480.264")));
    for (const bool doubling : {true, false}) {
        Rig rig;
        rig.host.doubling = doubling;
        ChannelDecoder decoder(0, rig.wall, rig.host);
        decoder.queue().push(itemFor(units[0], FrameKind::Key, 352, 480));
        ASSERT_TRUE(rig.host.waitForPictures(1));
        decoder.stop();
        auto access = rig.wall.pictures().lockChannel(0);
        ASSERT_TRUE(access);
        const auto pic = access->picture();
        std::size_t equal_pairs = 0;
        for (std::size_t pair = 0; pair < 240; ++pair)
            equal_pairs += std::equal(pic.begin() + static_cast<std::ptrdiff_t>(2 * pair * 352),
                                      pic.begin() + static_cast<std::ptrdiff_t>((2 * pair + 1) * 352),
                                      pic.begin() + static_cast<std::ptrdiff_t>((2 * pair + 1) * 352))
                               ? 1u
                               : 0u;
        if (doubling) {
            EXPECT_EQ(equal_pairs, 240u);
        } else {
            EXPECT_LT(equal_pairs, 240u);
        }
    }
}

TEST(ChannelDecoder, RgbPathStoresRowsBottomUp) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x288.264")));
    Rig rig;
    rig.wall.pictures().setDrawPath(DrawPath::Rgb);
    ChannelDecoder decoder(0, rig.wall, rig.host);
    decoder.queue().push(itemFor(units[0], FrameKind::Key, 352, 288));
    // No YUV hook on the RGB path: wait for the picture count instead.
    for (int i = 0; i < 500 && decoder.picturesShown() == 0; ++i) std::this_thread::sleep_for(10ms);
    decoder.stop();
    ASSERT_EQ(decoder.picturesShown(), 1u);

    DecoderContext reference;
    reference.output = DecoderOutput::Rgb24;
    ASSERT_EQ(PT_H264dec_Init(reference), 0);
    std::vector<std::uint8_t> top_down(kPictureBufferBytes);
    ASSERT_EQ(PT_H264dec_GetOneFrame(reference, units[0].data(), static_cast<int>(units[0].size()), top_down),
              kDecodedPicture);
    auto access = rig.wall.pictures().lockChannel(0);
    const auto pic = access->picture();
    const std::size_t row = 352 * 3;
    for (std::size_t r : {std::size_t{0}, std::size_t{100}, std::size_t{287}})
        EXPECT_TRUE(std::equal(pic.begin() + static_cast<std::ptrdiff_t>(r * row),
                               pic.begin() + static_cast<std::ptrdiff_t>((r + 1) * row),
                               top_down.begin() + static_cast<std::ptrdiff_t>((287 - r) * row)))
            << r;
}

// A doubled RGB picture is the top-down conversion turned upside down, then
// every second row copied over the next, for any pair of the picture.
TEST(ChannelDecoder, RgbPathDoublesFourHundredEightyLinePicturesBottomUp) {
    const auto units = accessUnits(testing::readFile(testing::clipPath("clip352x480.264")));
    DecoderContext reference;
    reference.output = DecoderOutput::Rgb24;
    ASSERT_EQ(PT_H264dec_Init(reference), 0);
    std::vector<std::uint8_t> top_down(kPictureBufferBytes);
    ASSERT_EQ(PT_H264dec_GetOneFrame(reference, units[0].data(), static_cast<int>(units[0].size()), top_down),
              kDecodedPicture);
    constexpr std::size_t kRows = 480, kRow = 352 * 3;
    std::vector<std::uint8_t> expected(kRows * kRow);
    for (std::size_t r = 0; r < kRows; ++r) {
        const std::size_t source = kRows - 1 - (r & ~std::size_t{1});
        std::copy_n(top_down.begin() + static_cast<std::ptrdiff_t>(source * kRow), kRow,
                    expected.begin() + static_cast<std::ptrdiff_t>(r * kRow));
    }

    for (const bool doubling : {true, false}) {
        Rig rig;
        rig.host.doubling = doubling;
        rig.wall.pictures().setDrawPath(DrawPath::Rgb);
        ChannelDecoder decoder(0, rig.wall, rig.host);
        decoder.queue().push(itemFor(units[0], FrameKind::Key, 352, 480));
        for (int i = 0; i < 500 && decoder.picturesShown() == 0; ++i) std::this_thread::sleep_for(10ms);
        decoder.stop();
        ASSERT_EQ(decoder.picturesShown(), 1u);
        auto access = rig.wall.pictures().lockChannel(0);
        const auto pic = access->picture();
        if (doubling) {
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pic.begin()));
        } else {
            for (std::size_t r = 0; r < kRows; ++r)
                ASSERT_TRUE(std::equal(pic.begin() + static_cast<std::ptrdiff_t>(r * kRow),
                                       pic.begin() + static_cast<std::ptrdiff_t>((r + 1) * kRow),
                                       top_down.begin() + static_cast<std::ptrdiff_t>((kRows - 1 - r) * kRow)))
                    << r;
        }
    }
}

TEST(ChannelDecoder, OversizedOrGarbagePicturesNeverCrash) {
    Rig rig;
    ChannelDecoder decoder(0, rig.wall, rig.host);
    std::vector<std::uint8_t> huge(kDecoderInputBytes, 0x55);
    decoder.queue().push(itemFor(huge, FrameKind::Key, 704, 576));  // header + data over the input buffer
    std::vector<std::uint8_t> garbage(3000, 0x01);
    decoder.queue().push(itemFor(garbage, FrameKind::Key, 352, 288));
    decoder.queue().push(itemFor(garbage, FrameKind::Key, 4000, 4000));  // larger than the picture buffer
    decoder.queue().push(itemFor(garbage, FrameKind::Key, 0, 0));
    ASSERT_TRUE(decoder.queue().waitUntilAtMost(0, 5s));
    std::this_thread::sleep_for(100ms);
    decoder.stop();
    EXPECT_EQ(decoder.picturesShown(), 0u);
}

}  // namespace
}  // namespace kalix::media
