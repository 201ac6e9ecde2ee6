#pragma once
// What the video wall shows where: its placement on screen, the layout and
// page, which channel each pane shows (the pane map), the masks of
// delivered, pictured and hidden channels, and the pointer's hits on panes.
// It never paints; it tells the observers when the picture of the wall
// changes, and hands painting one page at a time (shownPage).
//
// Threads. Layout, page, pane map and placement are changed by the
// user-interface thread; decoder threads mark their channel. Every member
// function is safe to call from any thread.
//
// Lock order, outermost first: observer list -> channel locks (ascending)
// -> view. The pane map changes only while every channel lock is held, so
// a painter holding one channel lock sees its pane's channel stay put.
// A decoder therefore calls markChannel() after releasing its channel lock,
// never while holding it.

#include "media/video/picture_buffers.h"
#include "media/video/wall_layouts.h"
#include "media/video/wall_observers.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kalix::media {

inline constexpr WallColour kWallBackgroundColour = 0x969696;

enum class MapReset { Keep, IdentityWhenEmpty };
enum class DoubleClickResult { Nothing, SingleView, Restored };

// One page of the wall as painting sees it, taken under the view lock.
struct ShownPage {
    std::vector<WallRect> cells;  // of the current layout, in wall client coordinates
    int first_pane = 0;           // the pane in the first cell
    std::uint16_t visible = 0;    // panes shown
    std::array<int, kWallPanes> pane_map{};
    std::uint16_t active = 0;    // delivered channels as painting counts them (the active copy)
    std::uint16_t pictures = 0;  // channels that have shown a picture
    std::uint16_t hidden = 0;    // channels this user may not view
};

class WallView {
public:
    // The buffers' channel locks guard the pane map; the observers hear of
    // every change. Both must outlive the view.
    WallView(PictureBuffers& pictures, WallObservers& observers);
    WallView(const WallView&) = delete;
    WallView& operator=(const WallView&) = delete;
    ~WallView();

    // -- placement (user-interface thread) --
    void place(const WallRect& rect, int border, WallColour background);
    WallRect placement() const;
    int border() const;
    WallColour background() const;
    // Full screen covers a monitor with the same border and colour; leaving
    // puts the wall back where it was, with the main window's border and
    // colour. Both are refused (false) when already in that state.
    bool enterFullScreen(const WallRect& monitor);
    bool leaveFullScreen();
    bool fullScreen() const;

    // -- views: live, remote and local playback --
    void initialise(int channel_count);  // the page table of the first initialisation
    void startView(int channel_count);   // layout by channel count, no channel shown
    void resetView();                    // 16 panes, no channel shown, 16-channel pages
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
    ShownPage shownPage() const;

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
    // A decoder showed a picture: the channel joins the active mask, its
    // copy and the picture mask, and the observers redraw its pane.
    void markChannel(int channel);  // not while holding that channel's lock
    bool setChannelHidden(int channel, bool hidden);  // true when it changed
    bool setHiddenChannels(std::uint16_t mask);       // true when any changed
    std::uint16_t hiddenChannels() const;
    // A LIVE_CHANNEL_INFO word with the channels this user may not view
    // taken out of its low half; the video-loss half is kept.
    std::uint32_t withoutHiddenChannels(std::uint32_t live_mask) const;
    std::uint16_t channelsToSave() const;  // visible and active

private:
    struct State;

    // The rest expect the view lock to be held.
    void recomputeVisibleLocked();
    void recomputeCellsLocked();
    bool pageShowsActiveLocked() const;
    std::optional<int> paneAtLocked(int x, int y) const;

    PictureBuffers& pictures_;
    WallObservers& observers_;

    // -- guarded by mutex_ --
    mutable std::mutex mutex_;
    std::unique_ptr<State> state_;

    std::atomic<std::uint16_t> active_{0};
    std::atomic<std::uint16_t> active_copy_{0};
    std::atomic<std::uint16_t> picture_mask_{0};
    std::atomic<std::uint16_t> hidden_{0};
};

}  // namespace kalix::media
