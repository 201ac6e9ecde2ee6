#pragma once
// The video wall without its window: per-channel picture buffers that the
// channel decoders fill, the layout and page on screen, which channel each
// pane shows, the masks of delivered and shown channels, and the captions
// and status values drawn over each pane. It never paints; a front end
// subscribes to its notifications and asks it what each cell shows.
//
// Threads. Layout, page, pane map and placement are changed by the
// user-interface thread; decoder threads fill their channel's buffer under
// the channel lock, store captions, count frames and mark their channel.
// Every member function is safe to call from any thread.
//
// Lock order, outermost first:
//   observer list -> channel locks (ascending) -> view -> captions.
// Notifications are sent with no wall lock held besides the observer list,
// so an observer may call any member function except subscribe, and may take
// a channel lock. A decoder therefore calls markChannel() after releasing
// its channel lock, never while holding it.

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
#include <string_view>
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
inline constexpr WallColour kWallBackgroundColour = 0x969696;
inline constexpr WallColour kVideoLossTextColour = 0x00FF00;
inline constexpr WallColour kWatermarkWarningColour = 0x0000FF;

enum class DisplayMode : int { None = 0, Live = 1, RemotePlayback = 2, LocalPlayback = 3 };
enum class AudioIcon : int { None = -1, Selected = 0, Available = 1 };
enum class MapReset { Keep, IdentityWhenEmpty };
enum class DoubleClickResult { Nothing, SingleView, Restored };

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

// Notifications to the front end. Calls arrive on the thread that caused
// them: the user-interface thread for view changes, a decoder thread for
// markChannel. They must return quickly (queue a repaint); see the lock
// order above for what they may call.
class WallObserver {
public:
    virtual ~WallObserver() = default;
    virtual void channelMarked(int channel) = 0;  // a new picture: redraw the pane now
    virtual void wallChanged() = 0;               // layout, page, map or masks: repaint all
};

class VideoWall;

// Ends the subscription when destroyed. The wall must outlive it.
class [[nodiscard]] WallSubscription {
public:
    WallSubscription() = default;
    WallSubscription(WallSubscription&& other) noexcept;
    WallSubscription& operator=(WallSubscription&& other) noexcept;
    WallSubscription(const WallSubscription&) = delete;
    WallSubscription& operator=(const WallSubscription&) = delete;
    ~WallSubscription();

private:
    friend class VideoWall;
    WallSubscription(VideoWall* wall, WallObserver* observer) : wall_(wall), observer_(observer) {}
    void reset();
    VideoWall* wall_ = nullptr;
    WallObserver* observer_ = nullptr;
};

namespace detail {
struct WallChannel;
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
    friend class VideoWall;
    ChannelAccess(std::unique_lock<std::mutex> lock, detail::WallChannel& channel)
        : lock_(std::move(lock)), channel_(&channel) {}
    std::unique_lock<std::mutex> lock_;
    detail::WallChannel* channel_;
};

// What the recorder side is doing, as far as painting cares.
enum class SessionView {
    NoSession,
    Live,            // live view running
    RemotePlayback,  // remote playback on a logged-in session
    Other,           // a session, but neither of the above
};

struct PaintContext {
    SessionView session = SessionView::NoSession;
    std::uint16_t video_loss = 0;       // live: channels reported in video loss
    std::uint16_t video_loss_text = 0;  // channels whose video-loss text is enabled
    bool sound_output = true;           // the PC has a sound output
};

enum class PaneContent { Logo, VideoLoss, Picture };

// Positions are relative to the cell's top-left corner.
struct TextOverlay {
    std::string text;
    int x = 0;
    int y = 0;
    WallColour colour = 0;
};

struct IconOverlay {
    int value = 0;  // audio: the AudioIcon; watermark: the state
    int x = 0;
    int y = 0;
};

inline constexpr int kPtzIconX = 100;
inline constexpr int kSpeedIndicatorX = 117;

struct PaneView {
    int pane = -1;     // -1: a cell the page leaves unused (logo)
    int channel = -1;
    WallRect cell;     // in wall client coordinates
    PaneContent content = PaneContent::Logo;
    std::vector<TextOverlay> texts;  // captions, or the video-loss text
    std::optional<IconOverlay> audio_icon;
    std::optional<IconOverlay> watermark_icon;
    std::optional<int> status_row_y;       // caption style 0 pictures: where icons go
    bool speed_indicator = false;          // playback and the cell wider than 190
    bool watermark_warning = false;        // local playback, watermark mismatch
    int warning_font_height = 0;           // cell width / 8
};

class VideoWall {
public:
    VideoWall();
    VideoWall(const VideoWall&) = delete;
    VideoWall& operator=(const VideoWall&) = delete;
    ~VideoWall();

    // -- set-up (user-interface thread) --
    void initialise(int channel_count);  // zero the pictures, set the page table
    void place(const WallRect& rect, int border, WallColour background);
    WallRect placement() const;
    int border() const;
    WallColour background() const;
    void setCaptionFont(int size, int weight, std::string_view face);
    int captionFontHeight() const;  // negative, as fonts are created
    int captionCharWidth() const;   // the width the decoders measure captions with
    // Full screen covers a monitor with the same border and colour; leaving
    // puts the wall back where it was, with the main window's border and
    // colour. Both are refused (false) when already in that state.
    bool enterFullScreen(const WallRect& monitor);
    bool leaveFullScreen();
    bool fullScreen() const;
    void setYuvAvailable(bool available);
    bool setDrawPath(DrawPath wanted);  // false when YUV is wanted but unavailable
    DrawPath drawPath() const;

    // -- views: live, remote and local playback --
    void startView(int channel_count);  // layout by channel count, no channel shown
    void resetView();                   // 16 panes, no channel shown, 16-channel pages
    void setDisplayMode(DisplayMode mode);
    DisplayMode displayMode() const;
    void setCaptionStyle(int style);
    int captionStyle() const;
    int channelCount() const;

    // -- layouts and panes --
    bool selectLayout(int layout);          // a split button; false for a bad code
    bool selectSingleChannel(int channel);  // false unless the channel is active
    int layout() const;
    int page() const;
    PageTable pageTable() const;
    std::uint16_t visiblePaneMask() const;
    std::uint16_t visibleChannels() const;  // what the recorder is asked to send
    bool isChannelVisible(int channel) const;
    std::array<int, kWallPanes> paneMap() const;
    bool exchangePanes(int pane_a, int pane_b);
    void restoreIdentityMap();
    std::optional<WallRect> paneRect(int pane) const;  // in the current layout and page
    std::optional<PictureSize> paneSizeOfChannel(int channel) const;

    // -- pointer (user-interface thread) --
    std::optional<int> paneAt(int x, int y) const;  // visible, active, containing the point
    std::optional<int> beginDrag(int x, int y) const;
    bool dropPane(int dragged_pane, int x, int y);
    DoubleClickResult doubleClick(std::optional<int> last_hit_pane);
    bool singleViewActive() const;
    void clearSingleView();

    // -- channel masks --
    bool setActiveChannels(std::uint32_t mask, MapReset reset);
    std::uint16_t activeChannels() const;
    std::uint16_t activeCopy() const;
    std::uint16_t pictureChannels() const;
    void clearPictureMask();
    void clearPictures();  // zero every buffer and forget shown pictures
    bool setChannelHidden(int channel, bool hidden);  // true when it changed
    bool setHiddenChannels(std::uint16_t mask);       // true when any changed
    std::uint16_t hiddenChannels() const;
    // A LIVE_CHANNEL_INFO word with the channels this user may not view
    // taken out of its low half; the video-loss half is kept.
    std::uint32_t withoutHiddenChannels(std::uint32_t live_mask) const;
    std::uint16_t channelsToSave() const;  // visible and active

    // -- decoder side (any thread) --
    std::optional<ChannelAccess> lockChannel(int channel);
    std::optional<PictureSize> pictureSize(int channel);
    void markChannel(int channel);  // not while holding that channel's lock
    bool storeCaptions(int channel, const ChannelCaptions& captions);
    std::optional<ChannelCaptions> captions(int channel) const;
    bool setAudioIcon(int channel, AudioIcon icon);
    AudioIcon audioIcon(int channel) const;
    void setAudioIconX(int x);
    int audioIconX() const;
    bool setWatermarkState(int channel, int state);
    int watermarkState(int channel) const;
    void countFrame(int channel);
    int frameRate(int channel) const;
    void tickFrameRates();  // every kFrameRatePeriod
    bool setPaneTime(int channel, std::int64_t time);
    std::int64_t paneTime(int channel) const;
    void setChromaOrder(int order);
    int chromaOrder() const;

    // -- painting --
    std::vector<PaneView> paneViews(const PaintContext& context) const;

    WallSubscription subscribe(WallObserver& observer);

private:
    friend class WallSubscription;
    struct View;

    void unsubscribe(WallObserver* observer);
    void notifyWallChanged();
    void notifyChannelMarked(int channel);
    // The rest expect the view lock to be held.
    void recomputeVisibleLocked();
    void recomputeCellsLocked();
    bool pageShowsActiveLocked() const;
    std::optional<int> paneAtLocked(int x, int y) const;
    std::vector<std::unique_lock<std::mutex>> lockAllChannels();

    std::array<std::unique_ptr<detail::WallChannel>, kWallChannels> channels_;

    // -- guarded by view_mutex_ --
    mutable std::mutex view_mutex_;
    std::unique_ptr<View> view_;

    // -- guarded by caption_mutex_ --
    mutable std::mutex caption_mutex_;
    int caption_font_height_ = 0;
    int caption_font_weight_ = 0;
    std::string caption_font_face_;

    // -- guarded by observers_mutex_ --
    std::mutex observers_mutex_;
    std::vector<WallObserver*> observers_;

    std::atomic<std::uint16_t> active_{0};
    std::atomic<std::uint16_t> active_copy_{0};
    std::atomic<std::uint16_t> picture_mask_{0};
    std::atomic<std::uint16_t> hidden_{0};
    std::atomic<int> display_mode_{static_cast<int>(DisplayMode::None)};
    std::atomic<int> caption_style_{0};
    std::atomic<int> draw_path_{static_cast<int>(DrawPath::Rgb)};
    std::atomic<bool> yuv_available_{false};
    std::atomic<int> audio_icon_x_{kInitialAudioIconX};
    std::atomic<int> chroma_order_{0};
};

}  // namespace kalix::media
