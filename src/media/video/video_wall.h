#pragma once
// The video wall without its window, in three parts that share one set of
// observers:
//   pictures()  the decoder side: per-channel picture buffers and locks and
//               what the decoders store beside each picture;
//   view()      where things are shown: placement, layout and page, the pane
//               map, the channel masks and the pointer's hits;
//   painter()   what each pane draws over the current page.
// The wall itself keeps the few operations that span the parts, and the
// calls the session makes when a view starts and stops.
//
// Lock order, outermost first:
//   observer list -> channel locks (ascending) -> view;
// the captions' lock is taken last, under any of them or none.

#include "media/video/pane_painter.h"
#include "media/video/picture_buffers.h"
#include "media/video/wall_layouts.h"
#include "media/video/wall_observers.h"
#include "media/video/wall_view.h"

#include <cstdint>
#include <vector>

namespace kalix::media {

class VideoWall {
public:
    VideoWall() = default;
    VideoWall(const VideoWall&) = delete;
    VideoWall& operator=(const VideoWall&) = delete;

    PictureBuffers& pictures() { return pictures_; }
    const PictureBuffers& pictures() const { return pictures_; }
    WallView& view() { return view_; }
    const WallView& view() const { return view_; }
    PanePainter& painter() { return painter_; }
    const PanePainter& painter() const { return painter_; }

    void initialise(int channel_count);  // zero the pictures, set the page table
    void clearPictures();                // zero every buffer and forget shown pictures
    std::vector<PaneView> paneViews(const PaintContext& context) const;
    WallSubscription subscribe(WallObserver& observer) { return observers_.subscribe(observer); }

    // -- the session's calls as live view starts, runs and stops --
    void startView(int channel_count) { view_.startView(channel_count); }
    void resetView() { view_.resetView(); }
    bool setActiveChannels(std::uint32_t mask, MapReset reset) { return view_.setActiveChannels(mask, reset); }
    std::uint32_t withoutHiddenChannels(std::uint32_t live_mask) const {
        return view_.withoutHiddenChannels(live_mask);
    }
    void setDisplayMode(DisplayMode mode) { painter_.setDisplayMode(mode); }
    DisplayMode displayMode() const { return painter_.displayMode(); }

private:
    // Declared in this order: the view refers to the observers and the
    // buffers, so both outlive it.
    WallObservers observers_;
    PictureBuffers pictures_;
    WallView view_{pictures_, observers_};
    PanePainter painter_;
};

}  // namespace kalix::media
