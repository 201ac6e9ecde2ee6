// The Save button's work for a full wall: 16 save jobs at once, one per
// pane, each composing its 800 x 600 still and writing it. Prints, per
// format, the time from starting the jobs until the last file is written
// (median and worst of the runs) and the files' sizes.
//
//   bench_still_save [RUNS] [WIDTHxHEIGHT]    (default 10, 704x576)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media/still/save_job.h"
#include "media/video/yuv_to_rgb.h"

namespace {

using namespace kalix::media;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> testPicture(int w, int h) {
    std::vector<std::uint8_t> p(YuvPlanes::packedSize(static_cast<std::size_t>(w), static_cast<std::size_t>(h)));
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>((i * 7 + i / 704) & 0xFF);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    int w = 704, h = 576;
    if (argc > 2) std::sscanf(argv[2], "%dx%d", &w, &h);
    const auto picture = testPicture(w, h);
    const auto folder = std::filesystem::temp_directory_path() / ("kalix_still_bench_" + std::to_string(::getpid()));

    for (const auto& [format, name] :
         {std::pair{StillFormat::Jpeg, "JPEG"}, {StillFormat::Bmp, "BMP"}, {StillFormat::Tiff, "TIFF"}}) {
        std::vector<double> times;
        std::uintmax_t bytes = 0;
        for (int r = 0; r < runs; ++r) {
            std::filesystem::remove_all(folder);
            const auto start = Clock::now();
            std::vector<std::unique_ptr<SaveJob>> jobs;
            for (int c = 0; c < 16; ++c) {
                SaveRequest req;
                req.channel = c;
                req.width = w;
                req.height = h;
                req.picture = picture;
                req.caption = "2026-12-09  08:30:00";
                req.format = format;
                req.folder = folder / std::to_string(c);  // same second, same name otherwise
                jobs.push_back(std::make_unique<SaveJob>(std::move(req)));
            }
            jobs.clear();  // joins every job
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            bytes = 0;
            for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
                if (e.is_regular_file()) bytes += e.file_size();
        }
        std::sort(times.begin(), times.end());
        std::printf("%-4s 16 panes %dx%d: median %.1f ms, worst %.1f ms, %ju bytes in all\n", name, w, h,
                    times[times.size() / 2], times.back(), bytes);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
