#pragma once
// One picture-save job: a private copy of one pane's picture, composed and
// written on a thread of its own into the Saved folder, named after the
// local time at which it runs and the channel. The owner polls finished()
// and destroys the job afterwards (which joins its thread).

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "media/still/still_image.h"

namespace kalix::media {

struct SaveRequest {
    int channel = 0;  // 0-15
    int width = 0;
    int height = 0;
    bool yuv = true;
    bool chroma_swapped = false;
    std::vector<std::uint8_t> picture;  // copied from the wall under its lock
    std::string caption;
    StillFormat format = StillFormat::Jpeg;
    std::filesystem::path folder;  // the Saved folder; created with its parents
};

// The local time now, as a file name and caption want it.
StillTime localStillTime();
// A picture's time stamp as the recorder counts it (seconds, split as UTC).
StillTime recorderStillTime(std::uint32_t recorder_time);

// The whole job on the caller's thread: compose, create the folder, write.
// The path written, or nothing.
std::optional<std::filesystem::path> saveStill(const SaveRequest& request, const StillTime& now);

class SaveJob {
public:
    explicit SaveJob(SaveRequest request);
    ~SaveJob();  // joins the thread
    SaveJob(const SaveJob&) = delete;
    SaveJob& operator=(const SaveJob&) = delete;

    bool finished() const { return finished_.load(); }
    // Once finished: the file written, or nothing when the save failed.
    std::optional<std::filesystem::path> written() const;
    int channel() const { return channel_; }

private:
    const int channel_;
    std::atomic<bool> finished_{false};
    // -- job thread until finished_, then the owner --
    std::optional<std::filesystem::path> written_;
    std::jthread thread_;
};

}  // namespace kalix::media
