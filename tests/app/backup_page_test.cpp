// The Backup tab's model: the size display, the capacity check, and when
// "Calculate" and "Backup" may be pressed; the progress window's model.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/backup_page.h"

namespace kalix::app {
namespace {

struct FakeRequests final : BackupRequests {
    void backupMonth() override {}
    void backupDay(int, int, int) override {}
    void downloadSize(const session::DownloadRange& range) override { sizes.push_back(range); }
    bool downloadStart(const session::DownloadRange& range, std::uint32_t kib) override {
        starts.emplace_back(range, kib);
        return true;
    }
    bool downloading() const override { return transferring; }
    std::vector<session::DownloadRange> sizes;
    std::vector<std::pair<session::DownloadRange, std::uint32_t>> starts;
    bool transferring = false;
};

struct Rig {
    explicit Rig(std::optional<std::int64_t> free = 10'000)
        : free_mib(free),
          page({requests, [this] { return free_mib; }, [this](session::Notice n) { notices.push_back(n); }, 0x0F}) {}
    FakeRequests requests;
    std::optional<std::int64_t> free_mib;
    std::vector<session::Notice> notices;
    BackupPage page;
};

TEST(BackupCapacity, DisplayUnitsChangeAtWholeMebiAndGibibytes) {
    EXPECT_EQ(capacityDisplay(1023).text, "1023 KByte");
    EXPECT_EQ(capacityDisplay(1024).text, "1 MByte");
    EXPECT_EQ(capacityDisplay(1'048'575).text, "1023 MByte");
    EXPECT_EQ(capacityDisplay(1'048'576).text, "1 GByte");
    EXPECT_EQ(capacityDisplay(1'048'576).unit, CapacityUnit::GByte);
}

TEST(BackupCapacity, CheckIsSignedAndKeepsAHundredMebibytes) {
    EXPECT_TRUE(capacityFits(200, 100 << 10));
    EXPECT_FALSE(capacityFits(199, 100 << 10));
    // A size beyond the free space is a shortage, not a wrapped pass.
    EXPECT_FALSE(capacityFits(50, 0xFFFF'FFFFu));
    EXPECT_EQ(spareMiB(50, 0xFFFF'FFFFu), 50 - 4'194'303);
    EXPECT_FALSE(capacityFits(0, 0));
}

TEST(BackupCapacity, FreeSpaceOfAFolderStillToBeMadeIsItsParentsFileSystem) {
    const auto tmp = std::filesystem::temp_directory_path();
    const auto there = freeMiB(tmp);
    ASSERT_TRUE(there);
    const auto below = freeMiB(tmp / "no-such-folder-kalix" / "Download");
    ASSERT_TRUE(below);
    EXPECT_NEAR(static_cast<double>(*below), static_cast<double>(*there), 64.0);
}

TEST(BackupPageModel, SizeThatFitsEnablesBackupOnlyAndBackupStartsWithIt) {
    Rig rig;
    rig.page.setTimeRange(2000, 1000);  // given backwards: put in order
    rig.page.calculate();
    ASSERT_EQ(rig.requests.sizes.size(), 1u);
    EXPECT_EQ(rig.requests.sizes[0].start, 1000u);
    EXPECT_EQ(rig.requests.sizes[0].end, 2000u);
    EXPECT_EQ(rig.requests.sizes[0].channels, 0x0Fu);
    EXPECT_EQ(rig.requests.sizes[0].kinds, 0x3F);
    EXPECT_FALSE(rig.page.calculateEnabled());
    rig.page.calculate();  // pending: nothing more
    EXPECT_EQ(rig.requests.sizes.size(), 1u);

    rig.page.onSize({2048, false});
    EXPECT_EQ(rig.page.capacityLabel(), "2 MByte");
    EXPECT_FALSE(rig.page.calculateEnabled());
    EXPECT_TRUE(rig.page.backupEnabled());
    EXPECT_TRUE(rig.page.backup());
    ASSERT_EQ(rig.requests.starts.size(), 1u);
    EXPECT_EQ(rig.requests.starts[0].second, 2048u);
    EXPECT_FALSE(rig.page.backup());  // once
}

TEST(BackupPageModel, EmptySizeShortageAndRefusalLeaveBackupDisabled) {
    {
        Rig rig;
        rig.page.calculate();
        rig.page.onSize({0, false});
        EXPECT_TRUE(rig.page.calculateEnabled());
        EXPECT_FALSE(rig.page.backupEnabled());
        EXPECT_EQ(rig.page.capacityLabel(), "0 KByte");
    }
    {
        Rig rig(std::nullopt);  // a CD: no free space at all
        rig.page.calculate();
        rig.page.onSize({1, false});
        ASSERT_EQ(rig.notices.size(), 1u);
        EXPECT_EQ(rig.notices[0].lParam(), kDiskSpaceNotice);
        EXPECT_TRUE(rig.page.capacityLabel().empty());
        EXPECT_TRUE(rig.page.calculateEnabled());
        EXPECT_FALSE(rig.page.backupEnabled());
    }
    {
        Rig rig(150);
        rig.page.calculate();
        rig.page.onSize({100 << 10, false});  // 100 MiB of 150: 50 to spare
        EXPECT_EQ(rig.page.shortage(), 50);
        EXPECT_FALSE(rig.page.backupEnabled());
    }
    {
        Rig rig;
        rig.requests.transferring = true;
        rig.page.calculate();
        rig.page.onSize({4096, false});
        EXPECT_FALSE(rig.page.backupEnabled());
        EXPECT_FALSE(rig.page.calculateEnabled());  // a size is known
        rig.page.setChannels(0x3);
        rig.page.calculate();
        rig.page.onSize({0, true});
        EXPECT_TRUE(rig.page.calculateEnabled());
    }
}

TEST(BackupPageModel, ChangingTheRangeClearsTheSize) {
    Rig rig;
    rig.page.calculate();
    rig.page.onSize({4096, false});
    ASSERT_TRUE(rig.page.backupEnabled());
    rig.page.setEvent(2, 5000);
    EXPECT_TRUE(rig.page.capacityLabel().empty());
    EXPECT_FALSE(rig.page.backupEnabled());
    EXPECT_TRUE(rig.page.calculateEnabled());
    EXPECT_EQ(rig.page.range().kinds, 1 << 2);
    EXPECT_EQ(rig.page.range().end, 5060u);
    rig.page.setChannels(0xF0F1);
    EXPECT_EQ(rig.page.range().channels, 0x1u);
}

TEST(DownloadProgressModel, FollowsTheWritersPosts) {
    DownloadProgress p;
    using session::WindowMessage;
    p.onWindowPost({WindowMessage::ProgressOpen, session::Owner::MainWindow, 900});
    EXPECT_TRUE(p.open());
    EXPECT_EQ(p.maximum(), 900u);
    p.onWindowPost({WindowMessage::ProgressPosition, session::Owner::MainWindow, 450});
    EXPECT_EQ(p.position(), 450u);
    p.onWindowPost({WindowMessage::ProgressClose, session::Owner::MainWindow, 0});
    EXPECT_FALSE(p.open());
    EXPECT_TRUE(downloadEndText({session::DownloadEndReason::Done, 1, {}}).empty());
    EXPECT_NE(downloadEndText({session::DownloadEndReason::WriteError, 1, "No space left on device"})
                  .find("No space left on device"),
              std::string::npos);
}

}  // namespace
}  // namespace kalix::app
