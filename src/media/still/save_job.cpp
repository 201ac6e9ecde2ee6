#include "media/still/save_job.h"

#include <ctime>
#include <system_error>

#include "protocol/recorder_time.h"

namespace kalix::media {

StillTime localStillTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return StillTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
}

StillTime recorderStillTime(std::uint32_t recorder_time) {
    protocol::DateTimeFields f;
    protocol::fromRecorderTime(recorder_time, f);
    return StillTime{f.year, f.month + 1, f.day + 1, f.hour, f.minute, f.second};
}

std::optional<std::filesystem::path> saveStill(const SaveRequest& request, const StillTime& now) {
    if (request.channel < 0 || request.channel > 15) return std::nullopt;
    const StillSource source{request.picture, request.width, request.height, request.yuv, request.chroma_swapped};
    const auto bitmap = composeStill(source, request.caption);
    if (!bitmap) return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(request.folder, ec);
    const auto path = request.folder / stillFileName(now, request.channel, request.format);
    if (!writeStill(path, request.format, *bitmap, kStillWidth, kStillHeight)) return std::nullopt;
    return path;
}

SaveJob::SaveJob(SaveRequest request) : channel_(request.channel) {
    thread_ = std::jthread([this, request = std::move(request)] {
        written_ = saveStill(request, localStillTime());
        finished_.store(true);
    });
}

SaveJob::~SaveJob() {
    if (thread_.joinable()) thread_.join();
}

std::optional<std::filesystem::path> SaveJob::written() const {
    if (!finished_.load()) return std::nullopt;
    return written_;
}

}  // namespace kalix::media
