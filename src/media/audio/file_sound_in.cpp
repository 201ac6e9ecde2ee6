#include <algorithm>
#include <array>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stop_token>
#include <thread>

#include "media/audio/sound_in.h"

namespace kalix::media {
namespace {

class FileSoundIn final : public SoundIn {
public:
    FileSoundIn(std::filesystem::path path, CapturePacing pacing, std::uint64_t offset,
                std::uint64_t length)
        : path_(std::move(path)), pacing_(pacing), offset_(offset), length_(length) {}
    ~FileSoundIn() override { stop(); }

    bool start(CaptureSink& sink) override {
        stop();
        std::ifstream file(path_, std::ios::binary);
        if (!file) return false;
        file.seekg(static_cast<std::streamoff>(
            std::min<std::uint64_t>(offset_, std::numeric_limits<std::streamoff>::max())));
        if (!file) return false;
        thread_ = std::jthread([this, &sink, f = std::move(file)](std::stop_token stop) mutable {
            run(stop, sink, f);
        });
        return true;
    }

    void stop() override {
        if (!thread_.joinable()) return;
        thread_.request_stop();
        thread_.join();
    }

private:
    void run(std::stop_token stop, CaptureSink& sink, std::ifstream& file) {
        std::array<std::uint8_t, kCaptureBufferBytes> buffer{};
        std::uint64_t left = length_;
        auto due = std::chrono::steady_clock::now();
        std::mutex mutex;
        std::condition_variable_any wake;
        while (left > 0 && !stop.stop_requested()) {
            if (pacing_ == CapturePacing::RealTime) {
                // A microphone hands a buffer over once it is full.
                due += kCaptureBufferDuration;
                std::unique_lock lock(mutex);
                if (wake.wait_until(lock, stop, due, [] { return false; }) ||
                    stop.stop_requested())
                    return;
            }
            const auto want = static_cast<std::streamsize>(
                std::min<std::uint64_t>(left, kCaptureBufferBytes));
            file.read(reinterpret_cast<char*>(buffer.data()), want);
            const auto got = static_cast<std::size_t>(file.gcount());
            if (got == 0) return;
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got), buffer.end(),
                      std::uint8_t{0});
            left -= got;
            sink.captured(buffer);
        }
    }

    const std::filesystem::path path_;
    const CapturePacing pacing_;
    const std::uint64_t offset_;
    const std::uint64_t length_;
    std::jthread thread_;
};

}  // namespace

std::unique_ptr<SoundIn> makeFileSoundIn(std::filesystem::path path, CapturePacing pacing,
                                         std::uint64_t offset, std::uint64_t length) {
    return std::make_unique<FileSoundIn>(std::move(path), pacing, offset, length);
}

}  // namespace kalix::media
