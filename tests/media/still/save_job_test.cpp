#include "media/still/save_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "media/video/yuv_to_rgb.h"

namespace kalix::media {
namespace {

namespace fs = std::filesystem;

SaveRequest request(const fs::path& folder, StillFormat format, int channel) {
    SaveRequest r;
    r.channel = channel;
    r.width = 352;
    r.height = 288;
    r.picture.assign(YuvPlanes::packedSize(352, 288), 128);
    r.caption = "2011-03-10  14:25:30";
    r.format = format;
    r.folder = folder;
    return r;
}

TEST(SaveStill, CreatesTheFolderAndNamesTheFileAfterTimeAndChannel) {
    const auto folder = fs::path(::testing::TempDir()) / ("kalix_save_" + std::to_string(::getpid())) / "a" / "Saved";
    fs::remove_all(folder.parent_path());
    const auto path = saveStill(request(folder, StillFormat::Bmp, 3), StillTime{2011, 3, 10, 14, 25, 30});
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, folder / "20110310142530_0004.bmp");
    EXPECT_EQ(fs::file_size(*path), kBmpStillFileSize);
    EXPECT_FALSE(saveStill(request(folder, StillFormat::Bmp, 16), StillTime{}));
}

TEST(SaveJob, SixteenJobsFinishWithAFileEach) {
    const auto folder = fs::path(::testing::TempDir()) / ("kalix_jobs_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    std::vector<std::unique_ptr<SaveJob>> jobs;
    for (int c = 0; c < 16; ++c) jobs.push_back(std::make_unique<SaveJob>(request(folder, StillFormat::Jpeg, c)));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (auto& job : jobs) {
        while (!job->finished() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(job->finished());
        const auto written = job->written();
        ASSERT_TRUE(written);
        EXPECT_TRUE(fs::exists(*written));
        EXPECT_TRUE(written->filename().string().ends_with("_00" + std::string(job->channel() < 9 ? "0" : "") +
                                                          std::to_string(job->channel() + 1) + ".jpg"));
    }
}

TEST(SaveJob, ABadPictureFinishesWithoutAFile) {
    auto r = request(fs::path(::testing::TempDir()), StillFormat::Tiff, 0);
    r.picture.resize(10);
    SaveJob job(std::move(r));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!job.finished() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(job.finished());
    EXPECT_FALSE(job.written());
}

}  // namespace
}  // namespace kalix::media
