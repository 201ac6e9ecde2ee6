#include "app/still_saver.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "media/video/yuv_to_rgb.h"
#include "protocol/recorder_time.h"

namespace kalix::app {
namespace {

// The controller's handle on a running media save job; the job's own
// destructor joins its thread once it has finished.
class StillJob final : public SaveJob {
public:
    explicit StillJob(media::SaveRequest request) : job_(std::move(request)) {}
    bool finished() const override { return job_.finished(); }
    void stop() override {}

private:
    media::SaveJob job_;
};

// The picture's time as the recorder stamped it; the PC's clock when the
// pane holds no usable time.
media::StillTime pictureTime(std::int64_t pane_time) {
    if (pane_time > 0 && pane_time <= 0xFFFF'FFFFll)
        return media::recorderStillTime(static_cast<protocol::RecorderTime>(pane_time));
    return media::localStillTime();
}

}  // namespace

std::filesystem::path savedFolder(const LocalSettings& settings, StorageMode storage) {
    if (storage == StorageMode::ReadOnlyMedium || settings.location.empty())
        return std::filesystem::current_path() / "Saved";
    return std::filesystem::path(settings.location) / "Saved";
}

StillSaveOptions stillSaveOptions(const LocalSettings& settings, StorageMode storage) {
    return StillSaveOptions{savedFolder(settings, storage), static_cast<media::StillFormat>(settings.save_format),
                            settings.date_format};
}

std::optional<media::SaveRequest> stillRequest(media::VideoWall& wall, int channel, const StillSaveOptions& options) {
    media::SaveRequest request;
    request.channel = channel;
    request.format = options.format;
    request.folder = options.folder;
    request.chroma_swapped = wall.pictures().chromaOrder() == 1;
    {
        auto access = wall.pictures().lockChannel(channel);
        if (!access) return std::nullopt;
        // What the buffer holds follows the drawing path; read under the
        // lock, as the painter reads it.
        request.yuv = wall.pictures().drawPath() == media::DrawPath::Yuv;
        const media::PictureSize size = access->size();
        if (size.width <= 0 || size.height <= 0) return std::nullopt;
        const auto w = static_cast<std::size_t>(size.width);
        const auto h = static_cast<std::size_t>(size.height);
        const std::size_t bytes = request.yuv ? media::YuvPlanes::packedSize(w, h) : w * h * 3;
        const auto picture = std::as_const(*access).picture();
        if (bytes > picture.size()) return std::nullopt;
        request.width = size.width;
        request.height = size.height;
        if (request.yuv) {
            request.picture.assign(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(bytes));
        } else {
            // The wall keeps RGB pictures bottom row first; the still wants
            // the top row first.
            const std::size_t row = w * 3;
            request.picture.resize(bytes);
            for (std::size_t y = 0; y < h; ++y) {
                const auto from = picture.subspan((h - 1 - y) * row, row);
                std::copy(from.begin(), from.end(), request.picture.begin() + static_cast<std::ptrdiff_t>(y * row));
            }
        }
    }
    request.caption = media::stillCaption(pictureTime(wall.pictures().paneTime(channel)),
                                          static_cast<int>(options.date_format));
    return request;
}

std::vector<std::unique_ptr<SaveJob>> startStillJobs(media::VideoWall& wall, const StillSaveOptions& options,
                                                     const std::function<bool(int channel)>& may_watch) {
    const media::WallView& view = wall.view();
    const auto wanted =
        static_cast<std::uint16_t>(view.channelsToSave() & view.pictureChannels() & ~view.hiddenChannels());
    std::vector<std::unique_ptr<SaveJob>> jobs;
    for (int channel = 0; channel < media::kWallChannels; ++channel) {
        if ((wanted & (1u << channel)) == 0) continue;
        if (may_watch && !may_watch(channel)) continue;
        auto request = stillRequest(wall, channel, options);
        if (request) jobs.push_back(std::make_unique<StillJob>(std::move(*request)));
    }
    return jobs;
}

}  // namespace kalix::app
