// Live view with real pictures: LIVE_DATA units from a scripted recorder,
// reassembled, routed to the channel decoders and decoded into the wall.

#include <gtest/gtest.h>

#include "../media/h264_test_clips.h"
#include "media/video/md5.h"
#include "protocol/byte_order.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;

// Sends a unit in fragments of at most `piece` bytes.
void sendUnit(ScriptedPeer& peer, const std::vector<std::uint8_t>& unit, std::size_t piece, std::uint32_t time) {
    for (std::size_t at = 0; at < unit.size(); at += piece) {
        const std::size_t n = std::min(piece, unit.size() - at);
        const bool last = at + n == unit.size();
        auto header = protocol::MessageHeader::make(Code::LIVE_DATA, static_cast<std::uint16_t>(n),
                                                    last ? Fragment::Last : Fragment::More);
        header.word3 = time;
        peer.sendRaw(header, std::vector<std::uint8_t>(unit.begin() + static_cast<std::ptrdiff_t>(at),
                                                       unit.begin() + static_cast<std::ptrdiff_t>(at + n)));
    }
}

struct DecodedLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, std::string>> pictures;  // channel, md5

    bool waitFor(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return pictures.size() >= n; });
    }
};

struct LiveRig {
    LiveRig() {
        wall.initialise(16);
        wall.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
        wall.pictures().setYuvAvailable(true);
        wall.pictures().setDrawPath(media::DrawPath::Yuv);
        SessionOptions o;
        o.address = "127.0.0.1";
        o.user = "admin";
        o.close_grace = 10ms;
        o.live_stop_pause = 1ms;
        o.live_video.wall = &wall;
        o.live_video.picture_decoded = [this](const media::DecodedPicture& p) {
            std::lock_guard lock(log.mutex);
            log.pictures.emplace_back(p.channel, media::md5Hex(p.yuv));
            log.changed.notify_all();
        };
        session = std::make_unique<DvrSession>(o, sink);
        auto [client, recorder] = socketPair();
        peer.emplace(std::move(recorder));
        session->adopt(std::move(client));
    }
    media::VideoWall wall;
    RecordingSink sink;
    DecodedLog log;
    std::optional<ScriptedPeer> peer;
    std::unique_ptr<DvrSession> session;
};

TEST(LiveView, FragmentedUnitsAreDecodedOnceEachIntoTheRightChannel) {
    const auto units = media::testing::accessUnits(media::testing::readFile(media::testing::clipPath("clip352x288.264")));
    const auto expected = media::testing::readLines(media::testing::clipPath("clip352x288.md5"));
    LiveRig rig;
    rig.peer->send(Code::HELLO48_ACK, helloAnswer(11, 4));
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    rig.peer->send(Code::LIVE_CHANNEL_INFO, word(0x0000000F));
    ASSERT_TRUE(rig.sink.waitForCount<LiveChannels>(1));
    // Channel 2 gets the clip in 4,000-byte fragments; channel 1 a predicted
    // picture that has no key frame before it.
    sendUnit(*rig.peer, liveUnit(units[1], 1, false, 352, 288), 65535, 1);
    for (std::size_t i = 0; i < units.size(); ++i)
        sendUnit(*rig.peer, liveUnit(units[i], 2, i % 6 == 0, 352, 288), 4000, static_cast<std::uint32_t>(100 + i));
    ASSERT_TRUE(rig.log.waitFor(units.size()));
    for (std::size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(rig.log.pictures[i].first, 2);
        EXPECT_EQ(rig.log.pictures[i].second, expected[i]) << i;
    }
    // The picture is counted as shown just after the decoder reported it.
    for (int i = 0; i < 200 && rig.session->picturesShown()[2] < units.size(); ++i) std::this_thread::sleep_for(5ms);
    const auto shown = rig.session->picturesShown();
    EXPECT_EQ(shown[2], units.size());
    EXPECT_EQ(shown[1], 0u);
    EXPECT_EQ(rig.wall.pictures().paneTime(2), 100 + static_cast<std::int64_t>(units.size()) - 1);

    rig.session->close();
    EXPECT_EQ(rig.session->picturesShown()[2], 0u);  // decoders gone with the live stop
}

TEST(LiveView, VideoLossChannelsAreNotDecoded) {
    const auto units = media::testing::accessUnits(media::testing::readFile(media::testing::clipPath("clip352x288.264")));
    LiveRig rig;
    rig.peer->send(Code::HELLO48_ACK, helloAnswer(11, 4));
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    rig.peer->send(Code::LIVE_CHANNEL_INFO, word(0x0001000F));  // channel 0 in video loss
    ASSERT_TRUE(rig.sink.waitForCount<LiveChannels>(1));
    EXPECT_EQ(rig.session->videoLossMask(), 0x1u);
    sendUnit(*rig.peer, liveUnit(units[0], 0, true, 352, 288), 65535, 1);
    sendUnit(*rig.peer, liveUnit(units[0], 3, true, 352, 288), 65535, 1);
    ASSERT_TRUE(rig.log.waitFor(1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.log.pictures.size(), 1u);
    EXPECT_EQ(rig.log.pictures[0].first, 3);
}

TEST(LiveView, FrozenPicturesAreDroppedAndThawingWaitsForAKeyFrame) {
    const auto units = media::testing::accessUnits(media::testing::readFile(media::testing::clipPath("clip352x288.264")));
    LiveRig rig;
    rig.peer->send(Code::HELLO48_ACK, helloAnswer(11, 4));
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    rig.peer->send(Code::LIVE_CHANNEL_INFO, word(0x0000000F));
    ASSERT_TRUE(rig.sink.waitForCount<LiveChannels>(1));
    sendUnit(*rig.peer, liveUnit(units[0], 0, true, 352, 288), 65535, 1);
    ASSERT_TRUE(rig.log.waitFor(1));
    rig.session->setFreeze(true);
    sendUnit(*rig.peer, liveUnit(units[1], 0, false, 352, 288), 65535, 2);
    std::this_thread::sleep_for(100ms);
    rig.session->setFreeze(false);  // a new epoch: P pictures wait for the next key frame
    sendUnit(*rig.peer, liveUnit(units[2], 0, false, 352, 288), 65535, 3);
    sendUnit(*rig.peer, liveUnit(units[6], 0, true, 352, 288), 65535, 4);
    ASSERT_TRUE(rig.log.waitFor(2));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.log.pictures.size(), 2u);
}

}  // namespace
}  // namespace kalix::session
