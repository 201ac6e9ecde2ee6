#pragma once
// The Save button's work on the wall: the current picture of every shown
// pane, copied under its channel's lock, handed to a save job of its own
// that writes it as a still into the Saved folder below the storage
// location.

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/client_controller.h"
#include "app/local_settings.h"
#include "media/still/save_job.h"
#include "media/video/video_wall.h"

namespace kalix::app {

// What every job of one press shares.
struct StillSaveOptions {
    std::filesystem::path folder;  // the Saved folder; made when missing
    media::StillFormat format = media::StillFormat::Jpeg;
    DateFormat date_format = DateFormat::YearMonthDay;
};

// location/Saved; from a read-only medium (no location), Saved below the
// current folder.
std::filesystem::path savedFolder(const LocalSettings& settings, StorageMode storage);
StillSaveOptions stillSaveOptions(const LocalSettings& settings, StorageMode storage);

// The request for one channel's picture as the wall holds it now: its size,
// the bytes of its picture (RGB or YUV 4:2:0 as the wall draws), the
// caption from the picture's time. Nothing when the channel has no picture.
std::optional<media::SaveRequest> stillRequest(media::VideoWall& wall, int channel, const StillSaveOptions& options);

// A job for each channel that is shown in a pane, has shown a picture, is
// not hidden from the wall and that `may_watch` allows, started at once.
std::vector<std::unique_ptr<SaveJob>> startStillJobs(media::VideoWall& wall, const StillSaveOptions& options,
                                                     const std::function<bool(int channel)>& may_watch);

}  // namespace kalix::app
