#include "session/media_pipeline.h"

#include <string>

namespace kalix::session {

// Answers the channel decoders' questions from the pipeline's state and the
// owner's callbacks.
class MediaPipeline::DecoderHost final : public media::DecoderHost {
public:
    explicit DecoderHost(MediaPipeline& pipeline) : pipeline_(pipeline) {}

    bool liveFrameWanted(int channel) override {
        const std::uint32_t dropped = pipeline_.video_loss_mask_.load() | pipeline_.hidden_mask_.load();
        return (dropped & (1u << channel)) == 0;
    }
    std::string liveTitle(int channel) override {
        if (channel >= 0 && channel < 16) {
            std::lock_guard lock(pipeline_.titles_mutex_);
            const std::string& title = pipeline_.titles_[static_cast<std::size_t>(channel)];
            if (!title.empty() || pipeline_.titles_named_) return title;
        }
        return "CH" + std::to_string(channel + 1);
    }
    std::int64_t paneTime(int, const media::FrameItem& item) override {
        const std::int64_t playback = pipeline_.playback_pane_time_.load();
        return playback >= 0 ? playback : item.header.frameTime();
    }
    bool lineDoubling(int channel) override {
        const auto& f = pipeline_.options_.live_video.line_doubling;
        return f ? f(channel) : true;
    }
    std::optional<media::AudioIcon> audioIcon(int channel) override {
        const auto& f = pipeline_.options_.live_video.audio_icon;
        if (f) return f(channel);
        const std::uint32_t mask = pipeline_.audio_mask_.load();
        if (mask == 0) return media::AudioIcon::None;
        if ((mask & (1u << channel)) == 0) return std::nullopt;
        const AudioChannelOwner* owner = pipeline_.options_.live_audio.channels;
        return owner != nullptr && owner->selected() == channel ? media::AudioIcon::Selected
                                                                : media::AudioIcon::Available;
    }
    int textWidth(std::string_view text) override {
        const auto& f = pipeline_.options_.live_video.text_width;
        return f ? f(text) : static_cast<int>(text.size()) * 10;
    }
    void decoderInitFailed(int) override { pipeline_.sink_.post(MessageBoxRequest{"H.264 Decoder Init Error !"}); }
    void pictureDecoded(const media::DecodedPicture& picture) override {
        const auto& f = pipeline_.options_.live_video.picture_decoded;
        if (f) f(picture);
    }

private:
    MediaPipeline& pipeline_;
};

MediaPipeline::MediaPipeline(const SessionOptions& options, EventSink& sink)
    : options_(options), sink_(sink), host_(std::make_unique<DecoderHost>(*this)) {}

MediaPipeline::~MediaPipeline() {
    stopAudio(media::PlayerStop::Immediate);
    destroyDecoders();
}

void MediaPipeline::createDecoders(int channel_count) {
    media::VideoWall* wall = options_.live_video.wall;
    if (wall == nullptr) return;
    std::lock_guard lock(decoders_mutex_);
    for (int i = 0; i < channel_count && i < 16; ++i) {
        auto& slot = decoders_[static_cast<std::size_t>(i)];
        if (!slot) slot = std::make_unique<media::ChannelDecoder>(i, *wall, *host_);
    }
}

void MediaPipeline::destroyDecoders() {
    for (std::size_t i = 0; i < decoders_.size(); ++i) {
        std::unique_ptr<media::ChannelDecoder> decoder;
        {
            std::lock_guard lock(decoders_mutex_);
            decoder = std::move(decoders_[i]);
        }
        if (!decoder) continue;
        // Nothing is appended any more; let the decoder finish every picture
        // it has, then stop it.
        decoder->queue().waitUntilAtMost(0, std::chrono::seconds(5));
        decoder->stop();
    }
    video_loss_mask_ = 0;
}

void MediaPipeline::queueVideo(media::FrameItem item) {
    const std::size_t channel = item.info.channel;
    std::lock_guard lock(decoders_mutex_);
    if (channel < decoders_.size() && decoders_[channel]) decoders_[channel]->queue().push(std::move(item));
}

std::uint32_t MediaPipeline::setVideoLoss(std::uint32_t channel_info_mask) {
    std::uint32_t loss = 0;
    {
        std::lock_guard lock(decoders_mutex_);
        for (int i = 0; i < 16; ++i)
            if ((channel_info_mask & (1u << (16 + i))) != 0 && decoders_[static_cast<std::size_t>(i)])
                loss |= 1u << i;
    }
    video_loss_mask_ = loss;
    return loss;
}

void MediaPipeline::setLiveTitles(const std::array<std::string, 16>& titles) {
    std::lock_guard lock(titles_mutex_);
    titles_ = titles;
    titles_named_ = true;
}

std::array<std::uint64_t, 16> MediaPipeline::picturesShown() const {
    std::array<std::uint64_t, 16> shown{};
    std::lock_guard lock(decoders_mutex_);
    for (std::size_t i = 0; i < decoders_.size(); ++i)
        if (decoders_[i]) shown[i] = decoders_[i]->picturesShown();
    return shown;
}

void MediaPipeline::startAudio(AudioUse use) {
    if (!options_.live_audio.make_output) return;
    std::lock_guard lock(audio_mutex_);
    if (audio_player_) return;
    audio_queue_.clear();
    const bool playback = use == AudioUse::RemotePlayback;
    audio_player_ = media::AudioPlayer::create(
        audio_queue_, playback ? options_.live_audio.playback_audio_buf : options_.live_audio.audio_buf,
        options_.live_audio.make_output(), playback ? media::StreamMode::Alternate : media::StreamMode::Normal);
}

void MediaPipeline::setAudioDiscard(bool on) {
    std::lock_guard lock(audio_mutex_);
    if (on) audio_queue_.clear();
    if (audio_player_) audio_player_->setDiscard(on);
}

void MediaPipeline::clearAudioQueue() {
    std::lock_guard lock(audio_mutex_);
    audio_queue_.clear();
}

std::size_t MediaPipeline::audioQueueLength() const {
    std::lock_guard lock(audio_mutex_);
    return audio_queue_.size();
}

void MediaPipeline::stopAudio(media::PlayerStop how) {
    std::unique_ptr<media::AudioPlayer> player;
    {
        std::lock_guard lock(audio_mutex_);
        player = std::move(audio_player_);
    }
    if (player) player->stop(how);
    audio_queue_.clear();
    audio_mask_ = 0;
}

void MediaPipeline::queueAudio(const media::AudioBlocks& blocks) {
    audio_mask_ = blocks.mask();
    AudioChannelOwner* owner = options_.live_audio.channels;
    const int selected = owner != nullptr ? owner->recheck(blocks.mask()) : -1;
    const auto pick = blocks.pick(selected);
    if (!pick) return;
    if (owner != nullptr && selected != pick->channel) owner->select(pick->channel);
    std::lock_guard lock(audio_mutex_);
    if (!audio_player_) return;
    if (options_.live_audio.block_queued) options_.live_audio.block_queued(pick->block);
    audio_queue_.push(pick->block);
}

}  // namespace kalix::session
