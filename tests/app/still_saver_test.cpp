// The Save button's jobs from the wall: which panes give a still, the
// picture as the still wants it, and the files the jobs write.
#include "app/still_saver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>
#include <thread>

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

// 2011-03-10 14:25:30, counted as the recorder counts.
constexpr std::int64_t kPictureTime = 1'299'767'130;

class StillSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("kalix_still_saver_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        wall.initialise(16);
        wall.view().place(media::WallRect{54, 67, 874, 661}, 1, media::kWallBackgroundColour);
        wall.startView(16);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A picture on `channel`, each byte the value of its row.
    void showPicture(int channel, int width = 352, int height = 240) {
        {
            auto access = wall.pictures().lockChannel(channel);
            ASSERT_TRUE(access);
            ASSERT_TRUE(access->setSize({width, height}));
            const auto row = static_cast<std::size_t>(width) * 3;
            auto picture = access->picture();
            for (std::size_t i = 0; i < row * static_cast<std::size_t>(height); ++i)
                picture[i] = static_cast<std::uint8_t>(i / row);
        }
        wall.pictures().setPaneTime(channel, kPictureTime);
        wall.view().markChannel(channel);
    }

    StillSaveOptions options(media::StillFormat format) const { return {folder_, format, DateFormat::YearMonthDay}; }

    static void waitAll(const std::vector<std::unique_ptr<SaveJob>>& jobs) {
        for (const auto& job : jobs)
            for (int i = 0; i < 500 && !job->finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    media::VideoWall wall;
    fs::path folder_;
};

TEST_F(StillSaverTest, OnlyShownPanesWithAPictureTheUserMayWatchGiveAStill) {
    for (int channel : {0, 1, 2, 3, 5}) showPicture(channel);
    wall.view().setChannelHidden(2, true);  // hidden from the wall
    ASSERT_TRUE(wall.view().selectLayout(1));  // four panes: channels 0-3 shown, 5 not
    const auto jobs = startStillJobs(wall, options(media::StillFormat::Bmp), [](int c) { return c != 3; });
    ASSERT_EQ(jobs.size(), 2u);
    waitAll(jobs);

    std::set<std::string> channels;
    const std::regex name(R"(\d{14}_00(\d\d)\.bmp)");
    for (const auto& entry : fs::directory_iterator(folder_)) {
        std::smatch m;
        const std::string file = entry.path().filename().string();
        ASSERT_TRUE(std::regex_match(file, m, name)) << file;
        channels.insert(m[1]);
        EXPECT_EQ(fs::file_size(entry.path()), media::kBmpStillFileSize);
    }
    EXPECT_EQ(channels, (std::set<std::string>{"01", "02"}));  // channel + 1
}

// The wall keeps RGB pictures bottom row first; the still is composed from
// the top row down, so the copy turns them round. The caption is the
// picture's own time in the chosen date order.
TEST_F(StillSaverTest, RgbPictureCopiedTopRowFirstWithItsTimeAsCaption) {
    wall.pictures().setDrawPath(media::DrawPath::Rgb);
    showPicture(6, 64, 48);
    StillSaveOptions o = options(media::StillFormat::Tiff);
    o.date_format = DateFormat::DayMonthYear;
    const auto request = stillRequest(wall, 6, o);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->yuv);
    ASSERT_EQ(request->picture.size(), 64u * 48 * 3);
    EXPECT_EQ(request->picture.front(), 47);  // the buffer's last row
    EXPECT_EQ(request->picture.back(), 0);
    EXPECT_EQ(request->caption, "10-03-2011  14:25:30");
    EXPECT_EQ(request->folder, folder_);
    EXPECT_EQ(request->format, media::StillFormat::Tiff);
}

TEST_F(StillSaverTest, YuvPictureCopiesItsPlanesOnly) {
    wall.pictures().setYuvAvailable(true);
    ASSERT_TRUE(wall.pictures().setDrawPath(media::DrawPath::Yuv));
    showPicture(0, 704, 576);
    const auto request = stillRequest(wall, 0, options(media::StillFormat::Jpeg));
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->yuv);
    EXPECT_EQ(request->picture.size(), 704u * 576 * 3 / 2);
    EXPECT_EQ(request->caption, "2011-03-10  14:25:30");
}

}  // namespace
}  // namespace kalix::app
