#include "app/local_playback.h"

#include <array>
#include <bit>
#include <mutex>

#include "media/audio/audio_block_queue.h"

namespace kalix::app {

std::optional<std::size_t> eventJumpTarget(const std::vector<JumpEvent>& events, protocol::RecorderTime now,
                                           JumpWay way) {
    if (events.empty()) return std::nullopt;
    std::optional<std::size_t> at;
    for (std::size_t i = events.size(); i-- > 0;)
        if (events[i].time <= now) {
            at = i;
            break;
        }
    if (way == JumpWay::Previous) {
        if (!at || events[*at].number == 0) return std::nullopt;
        const std::uint32_t r = events[*at].number;
        for (std::size_t i = *at + 1; i-- > 0;)
            if (events[i].number <= r - 1) return i;
        return std::nullopt;
    }
    if (!at) return std::size_t{0};
    const std::uint32_t r = events[*at].number;
    if (r + 1 >= events.size()) return std::nullopt;
    for (std::size_t i = *at; i < events.size(); ++i)
        if (events[i].number >= r + 1) return i;
    return std::nullopt;
}

// The decoders' questions and the player's results, kept for the window.
class LocalPlayback::Output final : public player::PlayerOutput, public media::DecoderHost {
public:
    Output(media::VideoWall& wall, LocalSound sound) : wall_(wall), sound_(std::move(sound)) {
        for (int c = 0; c < 16; ++c)
            decoders_[static_cast<std::size_t>(c)] = std::make_unique<media::ChannelDecoder>(c, wall, *this);
    }
    ~Output() override {
        stopDecoders();
        stopAudio();
    }

    void stopDecoders() {
        for (auto& d : decoders_)
            if (d) d->stop();
    }

    // -- PlayerOutput, player thread --
    void stretchChanged(protocol::RecorderTime a, protocol::RecorderTime b) override {
        range_ = b >= a ? b - a : 0;
    }
    void sliderMoved(std::uint32_t position) override { position_ = position; }
    void timeShown(protocol::RecorderTime t) override { time_ = t; }
    // The segment's channels: a new highest channel chooses the layout
    // (4, 9 or 16 panes) again; otherwise only the channels shown change.
    void channelsChanged(int panes, std::uint32_t mask) override {
        mask_ = mask;
        const int high = (mask & 0xFFFFu) == 0 ? -1 : 31 - std::countl_zero(mask & 0xFFFFu);
        if (high != last_high_) {
            last_high_ = high;
            wall_.startView(panes);
        }
        wall_.setActiveChannels(mask & 0xFFFFu, media::MapReset::IdentityWhenEmpty);
    }
    void watermarkState(int channel, int state) override { wall_.pictures().setWatermarkState(channel, state); }
    bool channelVisible(int channel) override { return wall_.view().paneSizeOfChannel(channel).has_value(); }

    // Sound: the player creates the audio player at speed 1 and stops it
    // at every other speed, seek and stretch.
    bool audioWanted() override { return sound_.wanted && sound_.make_output != nullptr; }
    bool audioRunning() override {
        std::lock_guard lock(audio_mutex_);
        return audio_ != nullptr;
    }
    void startAudio() override {
        if (!audioWanted()) return;
        std::lock_guard lock(audio_mutex_);
        if (audio_) return;
        audio_blocks_.clear();
        audio_ = media::AudioPlayer::create(audio_blocks_, sound_.audio_buf, sound_.make_output());
    }
    void stopAudio() override {
        std::unique_ptr<media::AudioPlayer> player;
        {
            std::lock_guard lock(audio_mutex_);
            player = std::move(audio_);
        }
        if (player) player->stop(media::PlayerStop::Immediate);
        audio_blocks_.clear();
    }
    int selectedAudioChannel() override { return audio_channel_.load(); }
    void selectAudioChannel(int channel) override { audio_channel_ = channel; }
    void queueAudio(const media::AudioBlock& block) override {
        std::lock_guard lock(audio_mutex_);
        if (audio_) audio_blocks_.push(block);
    }
    bool waitForRoom(int channel, std::size_t limit, std::stop_token stop) override {
        return decoders_[static_cast<std::size_t>(channel & 15)]->queue().waitUntilAtMost(limit, stop);
    }
    void queueFrame(media::FrameItem item, const player::Unit&, const std::string&) override {
        decoders_[item.info.channel & 15u]->queue().push(std::move(item));
    }

    // -- DecoderHost, decoder threads --
    bool liveFrameWanted(int) override { return true; }
    std::string liveTitle(int channel) override { return "CH" + std::to_string(channel + 1); }
    std::int64_t paneTime(int, const media::FrameItem&) override { return time_.load(); }
    bool lineDoubling(int) override { return true; }
    std::optional<media::AudioIcon> audioIcon(int) override { return media::AudioIcon::None; }
    int textWidth(std::string_view text) override { return static_cast<int>(text.size()) * 10; }
    void decoderInitFailed(int) override {}

    std::atomic<std::uint32_t> range_{0};
    std::atomic<std::uint32_t> position_{0};
    std::atomic<protocol::RecorderTime> time_{0};
    std::atomic<std::uint32_t> mask_{0};

private:
    media::VideoWall& wall_;
    const LocalSound sound_;
    int last_high_ = -1;  // -- player thread --
    std::array<std::unique_ptr<media::ChannelDecoder>, 16> decoders_;
    std::mutex audio_mutex_;
    std::unique_ptr<media::AudioPlayer> audio_;  // -- guarded by audio_mutex_ --
    media::AudioBlockQueue audio_blocks_;
    std::atomic<int> audio_channel_{-1};
};

LocalPlayback::LocalPlayback(player::Catalogue catalogue, media::VideoWall& wall, LocalSound sound)
    : output_(std::make_unique<Output>(wall, std::move(sound))),
      player_(std::make_unique<player::LocalPlayer>(std::move(catalogue), *output_)) {}

LocalPlayback::~LocalPlayback() { stop(); }

void LocalPlayback::start(const player::PlayerStart& start) { player_->start(start); }

void LocalPlayback::stop() {
    player_->stop();
    output_->stopDecoders();
    output_->stopAudio();
}

LocalStatus LocalPlayback::status() const {
    LocalStatus s;
    s.state = player_->state();
    s.speed = player_->displayedSpeed();
    s.time = output_->time_.load();
    s.slider_range = output_->range_.load();
    s.slider_position = output_->position_.load();
    s.channel_mask = output_->mask_.load();
    s.running = player_->running();
    return s;
}

}  // namespace kalix::app
