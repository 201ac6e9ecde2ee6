#include "media/video/video_wall.h"

namespace kalix::media {

void VideoWall::initialise(int channel_count) {
    pictures_.clearAll();
    view_.initialise(channel_count);
}

void VideoWall::clearPictures() {
    pictures_.clearAll();
    view_.clearPictureMask();
    observers_.wallChanged();
}

std::vector<PaneView> VideoWall::paneViews(const PaintContext& context) const {
    return painter_.paneViews(view_.shownPage(), pictures_, context);
}

}  // namespace kalix::media
