#include "media/video/picture_buffers.h"

#include <algorithm>
#include <utility>

namespace kalix::media {

namespace detail {

struct PictureChannel {
    // -- guarded by lock --
    std::mutex lock;
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(kPictureBufferBytes);
    PictureSize size{kInitialPictureWidth, kInitialPictureHeight};

    // -- guarded by the buffers' caption_mutex_ --
    ChannelCaptions captions;

    std::atomic<int> audio_icon{static_cast<int>(AudioIcon::None)};
    std::atomic<int> watermark{kWatermarkUnknown};
    std::atomic<int> frame_counter{0};
    std::atomic<int> frame_rate{0};
    std::atomic<std::int64_t> pane_time{0};
};

}  // namespace detail

namespace {

constexpr bool validChannel(int channel) { return channel >= 0 && channel < kWallChannels; }
constexpr std::size_t at(int index) { return static_cast<std::size_t>(index); }

std::string clipCaption(std::string text) {
    if (text.size() > kCaptionCapacity) text.resize(kCaptionCapacity);
    return text;
}

}  // namespace

std::span<std::uint8_t> ChannelAccess::picture() { return channel_->picture; }
std::span<const std::uint8_t> ChannelAccess::picture() const { return channel_->picture; }
PictureSize ChannelAccess::size() const { return channel_->size; }

bool ChannelAccess::setSize(PictureSize size) {
    if (size.width <= 0 || size.height <= 0) return false;
    const auto bytes = static_cast<std::uint64_t>(size.width) *
                       static_cast<std::uint64_t>(size.height) * 3U;
    if (bytes > kPictureBufferBytes) return false;
    channel_->size = size;
    return true;
}

void ChannelAccess::clear() { std::ranges::fill(channel_->picture, std::uint8_t{0}); }

PictureBuffers::PictureBuffers() {
    for (auto& channel : channels_) channel = std::make_unique<detail::PictureChannel>();
}

PictureBuffers::~PictureBuffers() = default;

std::optional<ChannelAccess> PictureBuffers::lockChannel(int channel) {
    if (!validChannel(channel)) return std::nullopt;
    detail::PictureChannel& c = *channels_[at(channel)];
    return ChannelAccess(std::unique_lock(c.lock), c);
}

std::optional<PictureSize> PictureBuffers::pictureSize(int channel) {
    auto access = lockChannel(channel);
    if (!access) return std::nullopt;
    return access->size();
}

void PictureBuffers::clearAll() {
    for (auto& channel : channels_) {
        std::lock_guard lock(channel->lock);
        std::ranges::fill(channel->picture, std::uint8_t{0});
    }
}

std::vector<std::unique_lock<std::mutex>> PictureBuffers::lockAllChannels() {
    std::vector<std::unique_lock<std::mutex>> locks;
    locks.reserve(channels_.size());
    for (auto& channel : channels_) locks.emplace_back(channel->lock);
    return locks;
}

void PictureBuffers::setYuvAvailable(bool available) {
    yuv_available_ = available;
    if (!available) draw_path_ = static_cast<int>(DrawPath::Rgb);
}

bool PictureBuffers::setDrawPath(DrawPath wanted) {
    if (yuv_available_) {
        draw_path_ = static_cast<int>(wanted);
        return true;
    }
    draw_path_ = static_cast<int>(DrawPath::Rgb);
    return wanted == DrawPath::Rgb;
}

DrawPath PictureBuffers::drawPath() const { return static_cast<DrawPath>(draw_path_.load()); }

void PictureBuffers::setChromaOrder(int order) { chroma_order_ = order; }
int PictureBuffers::chromaOrder() const { return chroma_order_; }

bool PictureBuffers::storeCaptions(int channel, const ChannelCaptions& captions) {
    if (!validChannel(channel)) return false;
    ChannelCaptions clipped{{clipCaption(captions.line1.text), captions.line1.colour},
                            {clipCaption(captions.line2.text), captions.line2.colour},
                            captions.box_width};
    std::lock_guard lock(caption_mutex_);
    channels_[at(channel)]->captions = std::move(clipped);
    return true;
}

std::optional<ChannelCaptions> PictureBuffers::captions(int channel) const {
    if (!validChannel(channel)) return std::nullopt;
    std::lock_guard lock(caption_mutex_);
    return channels_[at(channel)]->captions;
}

bool PictureBuffers::setAudioIcon(int channel, AudioIcon icon) {
    if (!validChannel(channel)) return false;
    channels_[at(channel)]->audio_icon = static_cast<int>(icon);
    return true;
}

AudioIcon PictureBuffers::audioIcon(int channel) const {
    if (!validChannel(channel)) return AudioIcon::None;
    return static_cast<AudioIcon>(channels_[at(channel)]->audio_icon.load());
}

void PictureBuffers::setAudioIconX(int x) { audio_icon_x_ = x; }
int PictureBuffers::audioIconX() const { return audio_icon_x_; }

bool PictureBuffers::setWatermarkState(int channel, int state) {
    if (!validChannel(channel)) return false;
    channels_[at(channel)]->watermark = state;
    return true;
}

int PictureBuffers::watermarkState(int channel) const {
    if (!validChannel(channel)) return kWatermarkUnknown;
    return channels_[at(channel)]->watermark;
}

std::optional<ChannelOverlay> PictureBuffers::overlay(int channel) const {
    if (!validChannel(channel)) return std::nullopt;
    const detail::PictureChannel& c = *channels_[at(channel)];
    ChannelOverlay overlay;
    {
        std::lock_guard lock(caption_mutex_);
        overlay.captions = c.captions;
    }
    overlay.audio_icon = static_cast<AudioIcon>(c.audio_icon.load());
    overlay.watermark = c.watermark;
    return overlay;
}

void PictureBuffers::countFrame(int channel) {
    if (validChannel(channel)) ++channels_[at(channel)]->frame_counter;
}

int PictureBuffers::frameRate(int channel) const {
    if (!validChannel(channel)) return 0;
    return channels_[at(channel)]->frame_rate;
}

void PictureBuffers::tickFrameRates() {
    for (auto& channel : channels_)
        channel->frame_rate = (channel->frame_counter.exchange(0) + 1) / 2;
}

bool PictureBuffers::setPaneTime(int channel, std::int64_t time) {
    if (!validChannel(channel)) return false;
    channels_[at(channel)]->pane_time = time;
    return true;
}

std::int64_t PictureBuffers::paneTime(int channel) const {
    if (!validChannel(channel)) return 0;
    return channels_[at(channel)]->pane_time;
}

}  // namespace kalix::media
