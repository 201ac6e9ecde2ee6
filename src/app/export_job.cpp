#include "app/export_job.h"

#include <cstdio>

#include "app/recording_calendar.h"

namespace kalix::app {

std::string exportFileName(std::uint8_t channel, std::uint32_t from) {
    const CalendarDate d = dateOf(from);
    const int s = secondOfDay(from);
    char name[64];
    std::snprintf(name, sizeof name, "ch%02d-%04d%02d%02d-%02d%02d%02d.mp4", channel + 1, d.year, d.month0 + 1,
                  d.day0 + 1, s / 3600, s % 3600 / 60, s % 60);
    return name;
}

ExportRefusal checkExportRequest(const ExportJobRequest& r) {
    if ((r.channel_mask & 0xFFFF) == 0) return ExportRefusal::NoChannels;
    if (r.from > r.to) return ExportRefusal::EmptyRange;
    if (r.out_folder.empty()) return ExportRefusal::NoFolder;
    return ExportRefusal::None;
}

bool ExportJob::start(ExportJobRequest request, Callbacks callbacks) {
    {
        const std::lock_guard lock(mutex_);
        if (running_) return false;
        running_ = true;
    }
    if (thread_.joinable()) thread_.join();
    thread_ = std::jthread([this, request = std::move(request), callbacks = std::move(callbacks)](
                               std::stop_token stop) { run(stop, request, callbacks); });
    return true;
}

void ExportJob::cancel() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    thread_.join();
}

bool ExportJob::running() const {
    const std::lock_guard lock(mutex_);
    return running_;
}

void ExportJob::run(std::stop_token stop, ExportJobRequest request, Callbacks callbacks) {
    std::vector<std::uint8_t> channels;
    for (std::uint8_t c = 0; c < 16; ++c)
        if (request.channel_mask & (1u << c)) channels.push_back(c);
    archive::CatalogueRequest what;
    what.time = request.from;
    what.events = false;
    const archive::LocalCatalogue catalogue = archive::buildLocalCatalogue(request.archive_folder, what);

    std::vector<ChannelExport> results;
    std::error_code ec;
    std::filesystem::create_directories(request.out_folder, ec);
    for (std::size_t i = 0; i < channels.size() && !stop.stop_requested(); ++i) {
        ChannelExport one;
        one.channel = channels[i];
        one.path = request.out_folder / exportFileName(one.channel, request.from);
        const auto count = static_cast<unsigned>(channels.size());
        const auto done = static_cast<unsigned>(i);
        auto progress = [&](const archive::ExportProgress& p) {
            if (callbacks.progress)
                callbacks.progress({one.channel, done, count, (done * 100 + p.percent) / count});
        };
        one.result = archive::exportMp4(catalogue, {one.channel, request.from, request.to, one.path}, progress, stop);
        results.push_back(std::move(one));
    }
    const bool cancelled = stop.stop_requested();
    {
        const std::lock_guard lock(mutex_);
        running_ = false;
    }
    if (callbacks.finished) callbacks.finished(results, cancelled);
}

}  // namespace kalix::app
