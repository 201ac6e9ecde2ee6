// Live audio and talk on the session: the audio switch, the selected
// channel's block to the audio thread, and the talk link.

#include <gtest/gtest.h>

#include "../media/audio_test_support.h"
#include "protocol/byte_order.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;

class FixedChannel final : public AudioChannelOwner {
public:
    explicit FixedChannel(int channel) : channel_(channel) {}
    int recheck(std::uint32_t) override { return channel_.load(); }
    void select(int channel) override { selections.push_back(channel); }
    int selected() const override { return channel_.load(); }
    std::vector<int> selections;  // receive thread only, read after it has stopped

private:
    std::atomic<int> channel_;
};

class ManualMicrophone final : public media::SoundIn {
public:
    bool start(media::CaptureSink& sink) override {
        sink_ = &sink;
        return true;
    }
    void stop() override { sink_ = nullptr; }
    media::CaptureSink* sink_ = nullptr;
};

struct AudioRig {
    explicit AudioRig(bool sound_output = true, int channel = 2) : owner(channel) {
        SessionOptions o;
        o.address = "127.0.0.1";
        o.user = "admin";
        o.close_grace = 10ms;
        o.live_stop_pause = 1ms;
        if (sound_output) o.live_audio.make_output = [] { return std::make_unique<media::test::FakeSoundOutput>(); };
        o.live_audio.channels = &owner;
        o.live_audio.block_queued = [this](const media::AudioBlock& b) {
            std::lock_guard lock(mutex);
            blocks.push_back(b);
            changed.notify_all();
        };
        session = std::make_unique<DvrSession>(o, sink);
        auto [client, recorder] = socketPair();
        peer.emplace(std::move(recorder));
        session->adopt(std::move(client));
    }
    bool waitForBlocks(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return blocks.size() >= n; });
    }
    FixedChannel owner;
    RecordingSink sink;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<media::AudioBlock> blocks;
    std::optional<ScriptedPeer> peer;
    std::unique_ptr<DvrSession> session;
};

TEST(LiveAudio, AudioSwitchNeedsASoundOutput) {
    for (const bool output : {true, false}) {
        AudioRig rig(output);
        rig.session->audioOnOff(true);
        rig.session->audioOnOff(false);
        rig.session->talkRequest();
        if (output) {
            EXPECT_EQ(rig.peer->read()->header.word0, 0x0B88u);
            EXPECT_EQ(rig.peer->read()->header.word0, 0x0B80u);
            EXPECT_EQ(rig.peer->read()->header.code(), static_cast<std::uint16_t>(Code::A_LISTEN_REQ));
        } else {
            EXPECT_FALSE(rig.peer->read(200ms));
        }
    }
}

TEST(LiveAudio, TheSelectedChannelsBlockGoesToTheAudioThread) {
    AudioRig rig(true, 2);
    rig.peer->send(Code::HELLO48_ACK, helloAnswer(11, 4));
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    rig.peer->send(Code::LIVE_CHANNEL_INFO, word(0x0000000F));
    ASSERT_TRUE(rig.sink.waitForCount<LiveChannels>(1));
    rig.peer->send(Code::LIVE_DATA, audioUnit(0x0005, 2), protocol::Fragment::Last, true);  // channels 0 and 2
    rig.peer->send(Code::LIVE_DATA, audioUnit(0x0003, 2), protocol::Fragment::Last, true);  // no channel 2: nothing
    rig.peer->send(Code::LIVE_DATA, audioUnit(0x0007, 2), protocol::Fragment::Last, true);  // block 2 missing: nothing
    rig.peer->send(Code::LIVE_DATA, audioUnit(0x0004, 1), protocol::Fragment::Last, true);
    ASSERT_TRUE(rig.waitForBlocks(2));
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(rig.blocks.size(), 2u);
    EXPECT_EQ(rig.blocks[0][0], 0x11);  // the second block of 0x0005
    EXPECT_EQ(rig.blocks[1][0], 0x10);
    EXPECT_EQ(rig.session->audioMask(), 0x0004u);
    rig.session->close();
}

TEST(LiveAudio, AudioOffInAHeaderClearsTheSelection) {
    AudioRig rig;
    rig.peer->send(static_cast<Code>(300), {}, protocol::Fragment::Last, false);
    rig.peer->send(Code::KEEP_ALIVE, {}, protocol::Fragment::Last, true);
    ASSERT_TRUE(rig.sink.waitForCount<ControlState>(1));
    rig.session->close();
    ASSERT_FALSE(rig.owner.selections.empty());
    EXPECT_EQ(rig.owner.selections.front(), -1);
}

TEST(LiveAudio, TalkSendsEncodedMicrophoneChunksAndStops) {
    AudioRig rig;
    rig.session->talkRequest();
    ASSERT_TRUE(rig.peer->readUntil(Code::A_LISTEN_REQ));
    rig.peer->send(Code::A_LISTEN_ACK);
    ASSERT_TRUE(rig.sink.waitFor([](const std::vector<Event>& es) {
        for (const auto& e : es)
            if (const auto* w = std::get_if<WindowPost>(&e); w && w->message == WindowMessage::TalkAccepted) return true;
        return false;
    }));
    auto mic = std::make_unique<ManualMicrophone>();
    ManualMicrophone& capture = *mic;
    ASSERT_TRUE(rig.session->startMicrophone(std::move(mic)));
    EXPECT_TRUE(rig.session->talking());
    std::vector<std::uint8_t> buffer(media::kCaptureBufferBytes, 0);
    capture.sink_->captured(buffer);
    const auto data = rig.peer->readUntil(Code::A_LISTEN_DATA);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->payload.size(), 1536u);
    EXPECT_TRUE(data->header.lastFragment());
    rig.session->talkStop();
    EXPECT_FALSE(rig.session->talking());
    EXPECT_TRUE(rig.peer->readUntil(Code::A_LISTEN_STOP_REQ));
}

}  // namespace
}  // namespace kalix::session
