#pragma once
// The export window's work without widgets: one MP4 file per chosen channel
// for a time range of the local catalogue, on a thread of its own, with
// progress, cancel and a result per channel.
//
// Files are named chNN-YYYYMMDD-HHMMSS.mp4 (channel counted from 1, the
// range's start) in the chosen folder. Callbacks come from the job's
// thread; the window passes them on to its own thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive/mp4_export.h"

namespace kalix::app {

struct ExportJobRequest {
    std::filesystem::path archive_folder;  // the Download folder
    std::filesystem::path out_folder;
    std::uint32_t channel_mask = 0;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
};

struct ChannelExport {
    std::uint8_t channel = 0;
    std::filesystem::path path;
    archive::ExportResult result;
};

struct ExportJobProgress {
    std::uint8_t channel = 0;
    unsigned done_channels = 0;
    unsigned channels = 0;
    unsigned percent = 0;  // of all the channels together
};

// "ch03-20231115-000000.mp4"
std::string exportFileName(std::uint8_t channel, std::uint32_t from);

enum class ExportRefusal { None, NoChannels, EmptyRange, NoFolder };
ExportRefusal checkExportRequest(const ExportJobRequest& request);

class ExportJob {
public:
    struct Callbacks {
        std::function<void(const ExportJobProgress&)> progress;
        std::function<void(const std::vector<ChannelExport>&, bool cancelled)> finished;
    };

    ExportJob() = default;
    ~ExportJob() { cancel(); }
    ExportJob(const ExportJob&) = delete;
    ExportJob& operator=(const ExportJob&) = delete;

    // False when one is already running.
    bool start(ExportJobRequest request, Callbacks callbacks);
    // Asks the running export to stop and waits for its thread.
    void cancel();
    bool running() const;

private:
    void run(std::stop_token stop, ExportJobRequest request, Callbacks callbacks);

    mutable std::mutex mutex_;
    bool running_ = false;  // -- guarded by mutex_ --
    std::jthread thread_;
};

}  // namespace kalix::app
