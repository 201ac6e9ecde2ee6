#pragma once
// The decoder side of the video wall: one picture buffer per channel with
// its lock and picture size, and what the sources store beside each picture
// (captions, audio icon, watermark state, frame counts, the picture's time).
// Decoders fill a buffer under its channel's lock; painters read it under
// the same lock, so a pane is never drawn while its decoder changes the
// buffer or its size.
//
// Every member function is safe to call from any thread. Lock order,
// outermost first: channel locks (ascending) -> captions.

#include "media/video/wall_layouts.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalix::media {

inline constexpr int kWallChannels = 16;
inline constexpr std::size_t kPictureBufferBytes = 1'244'160;  // 720 x 576 x 3
inline constexpr int kInitialPictureWidth = 360;
inline constexpr int kInitialPictureHeight = 240;
inline constexpr std::size_t kCaptionCapacity = 259;  // a 260-byte text with its terminator
inline constexpr int kInitialAudioIconX = 157;
inline constexpr std::chrono::milliseconds kFrameRatePeriod{2000};

// Colours are 0x00BBGGRR, as the captions and the settings store them.
using WallColour = std::uint32_t;
inline constexpr WallColour kCaptionDefaultColour = 0xFFFF00;

enum class AudioIcon : int { None = -1, Selected = 0, Available = 1 };

// Watermark states of local playback.
inline constexpr int kWatermarkUnknown = -1;
inline constexpr int kWatermarkAbsent = 0;
inline constexpr int kWatermarkChecked = 1;
inline constexpr int kWatermarkMismatch = 2;

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

struct CaptionLine {
    std::string text;  // at most kCaptionCapacity bytes
    WallColour colour = kCaptionDefaultColour;
};

// What a decoder writes for one shown picture.
struct ChannelCaptions {
    CaptionLine line1;
    CaptionLine line2;
    int box_width = 0;  // where the watermark icon goes
};

// What a channel's pane draws over its picture, read in one go.
struct ChannelOverlay {
    ChannelCaptions captions;
    AudioIcon audio_icon = AudioIcon::None;
    int watermark = kWatermarkUnknown;
};

namespace detail {
struct PictureChannel;
}

// One channel's picture while its lock is held.
class ChannelAccess {
public:
    std::span<std::uint8_t> picture();
    std::span<const std::uint8_t> picture() const;
    PictureSize size() const;
    // Refused (false) unless both sides are positive and an RGB picture of
    // that size fits the buffer.
    bool setSize(PictureSize size);
    void clear();

private:
    friend class PictureBuffers;
    ChannelAccess(std::unique_lock<std::mutex> lock, detail::PictureChannel& channel)
        : lock_(std::move(lock)), channel_(&channel) {}
    std::unique_lock<std::mutex> lock_;
    detail::PictureChannel* channel_;
};

class PictureBuffers {
public:
    PictureBuffers();
    PictureBuffers(const PictureBuffers&) = delete;
    PictureBuffers& operator=(const PictureBuffers&) = delete;
    ~PictureBuffers();

    // -- pictures --
    std::optional<ChannelAccess> lockChannel(int channel);
    std::optional<PictureSize> pictureSize(int channel);
    void clearAll();  // zero every buffer, each under its lock
    // Every channel lock, taken in ascending order; whoever changes which
    // pane shows which channel holds them all.
    std::vector<std::unique_lock<std::mutex>> lockAllChannels();

    // -- what the decoders write into the buffers --
    void setYuvAvailable(bool available);
    bool setDrawPath(DrawPath wanted);  // false when YUV is wanted but unavailable
    DrawPath drawPath() const;
    void setChromaOrder(int order);
    int chromaOrder() const;

    // -- beside each picture --
    bool storeCaptions(int channel, const ChannelCaptions& captions);
    std::optional<ChannelCaptions> captions(int channel) const;
    bool setAudioIcon(int channel, AudioIcon icon);
    AudioIcon audioIcon(int channel) const;
    void setAudioIconX(int x);  // shared by every channel
    int audioIconX() const;
    bool setWatermarkState(int channel, int state);
    int watermarkState(int channel) const;
    std::optional<ChannelOverlay> overlay(int channel) const;
    void countFrame(int channel);
    int frameRate(int channel) const;
    void tickFrameRates();  // every kFrameRatePeriod
    bool setPaneTime(int channel, std::int64_t time);
    std::int64_t paneTime(int channel) const;

private:
    std::array<std::unique_ptr<detail::PictureChannel>, kWallChannels> channels_;

    // Guards every channel's captions.
    mutable std::mutex caption_mutex_;

    std::atomic<int> draw_path_{static_cast<int>(DrawPath::Rgb)};
    std::atomic<bool> yuv_available_{false};
    std::atomic<int> audio_icon_x_{kInitialAudioIconX};
    std::atomic<int> chroma_order_{0};
};

}  // namespace kalix::media
