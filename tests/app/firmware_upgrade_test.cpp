#include "app/firmware_upgrade.h"

#include <gtest/gtest.h>

#include "firmware_test_files.h"

namespace kalix::app {
namespace {

using namespace testing;
using session::FirmwareProgress;
using session::WindowMessage;
using session::WindowPost;

const std::vector<RecorderModule> kModules = {{"MAIN", 1000}, {"BOOT", 1000}, {"PANEL", 1000}, {"KERNEL", 1000},
                                              {"ROOTFS", 1000}, {"WEB", 1000}, {"FRONT", 1000}};

struct RecordingLink final : FirmwareLink {
    bool sendRequest(const FirmwareRequest& request) override {
        requests.push_back(request);
        return true;
    }
    void startUpload(const std::filesystem::path& file, int row) override { uploads.push_back({file, row}); }
    void stopUpload() override { ++stops; }

    std::vector<FirmwareRequest> requests;
    std::vector<std::pair<std::filesystem::path, int>> uploads;
    int stops = 0;
};

WindowPost post(WindowMessage message, std::uint32_t reason = 0) {
    return WindowPost{message, session::Owner::Firmware, reason};
}

class FirmwareUpgradeTest : public ::testing::Test {
protected:
    FirmwareUpgradeTest() : folder_("kalix-fw-upgrade") {
        writeFile(folder_.path() / "main.bin", newFormHeader("MAIN", 2000, 20000));
        writeFile(folder_.path() / "kernel.bin", newFormHeader("KERNEL", 2000, 9000));
        writeFile(folder_.path() / "web.bin", newFormHeader("WEB", 2000, 300));
        scan_ = scanUpgradeFolder(folder_.path(), kModules, 6);
    }

    TempFolder folder_;
    FirmwareScan scan_;
    RecordingLink link_;
};

TEST_F(FirmwareUpgradeTest, RowsWithAFileStartCheckedAndEnabled) {
    FirmwareUpgrade upgrade(scan_, kModules, link_);
    ASSERT_EQ(upgrade.rows().size(), 6u);
    for (const auto& r : upgrade.rows()) {
        const bool file = r.module == 0 || r.module == 3 || r.module == 5;
        EXPECT_EQ(r.checked, file) << r.row;
        EXPECT_EQ(r.enabled, file) << r.row;
        EXPECT_FALSE(r.status.has_value());
    }
    EXPECT_TRUE(upgrade.startEnabled());
    for (int row : {1, 2, 5}) upgrade.setChecked(row, false);
    EXPECT_FALSE(upgrade.startEnabled());
    upgrade.setChecked(3, true);  // a row without a file stays unchecked
    EXPECT_FALSE(upgrade.rows()[2].checked);
}

TEST_F(FirmwareUpgradeTest, UploadsTheCheckedRowsOneAfterTheOther) {
    FirmwareUpgrade upgrade(scan_, kModules, link_);
    upgrade.setChecked(2, false);  // the kernel stays
    upgrade.start();
    ASSERT_EQ(link_.requests.size(), 1u);
    EXPECT_EQ(link_.requests[0][16], 0);  // module 0 first
    EXPECT_FALSE(upgrade.startVisible());
    EXPECT_FALSE(upgrade.rows()[0].has_file);  // requested at most once

    upgrade.onWindowPost(post(WindowMessage::FirmwareAccepted));
    ASSERT_EQ(link_.uploads.size(), 1u);
    EXPECT_EQ(link_.uploads[0].second, 1);
    EXPECT_FALSE(upgrade.boxesEnabled());
    upgrade.onWindowPost(post(WindowMessage::FirmwareAccepted));  // a second acceptance starts nothing
    EXPECT_EQ(link_.uploads.size(), 1u);

    upgrade.onProgress(FirmwareProgress{1, 8000, 20000, 40, FirmwareProgress::End::None});
    EXPECT_EQ(upgrade.rows()[0].progress, 40);
    upgrade.onProgress(FirmwareProgress{2, 16000, 20000, 80, FirmwareProgress::End::None});  // another row's tag
    EXPECT_EQ(upgrade.rows()[0].progress, 40);
    upgrade.onProgress(FirmwareProgress{1, 20000, 20000, 100, FirmwareProgress::End::Complete});
    EXPECT_EQ(upgrade.rows()[0].progress, 100);
    EXPECT_TRUE(upgrade.rows()[0].finished_look);
    EXPECT_EQ(upgrade.state(), UpgradeState::AwaitingVerdict);

    upgrade.onWindowPost(post(WindowMessage::FirmwareDataReceived));
    upgrade.onWindowPost(post(WindowMessage::FirmwareDone));
    EXPECT_EQ(upgrade.rows()[0].status, kFirmwareDone);
    EXPECT_EQ(upgrade.upgraded(), 1);
    ASSERT_EQ(link_.requests.size(), 2u);
    EXPECT_EQ(link_.requests[1][16], 5);  // the kernel's row was unchecked

    upgrade.onWindowPost(post(WindowMessage::FirmwareFailed, 9));
    EXPECT_EQ(upgrade.rows()[4].status, kFirmwareFailed);
    EXPECT_EQ(upgrade.rows()[4].reason, 9);
    EXPECT_TRUE(upgrade.startVisible());
    EXPECT_EQ(upgrade.currentRow(), std::nullopt);
    // The sequence is over: the kernel's row, still with its file, is enabled again.
    EXPECT_TRUE(upgrade.rows()[1].enabled);
    EXPECT_FALSE(upgrade.rows()[0].enabled);
    upgrade.setChecked(2, true);
    upgrade.start();
    ASSERT_EQ(link_.requests.size(), 3u);
    EXPECT_EQ(link_.requests[2][16], 3);
}

TEST_F(FirmwareUpgradeTest, RefusalsSetTheStatusByReasonAndGoOn) {
    struct Case {
        std::uint32_t reason;
        std::optional<int> status;
    };
    for (const Case& c : {Case{1, kFirmwareRefusedNotAllowed}, Case{17, kFirmwareRefused17},
                          Case{18, kFirmwareRefused18}, Case{5, std::nullopt}}) {
        RecordingLink link;
        FirmwareUpgrade upgrade(scan_, kModules, link);
        upgrade.start();
        upgrade.onWindowPost(post(WindowMessage::FirmwareRefused, c.reason));
        EXPECT_EQ(upgrade.rows()[0].status, c.status) << c.reason;
        EXPECT_EQ(upgrade.rows()[0].result, RowResult::Refused);
        EXPECT_EQ(link.requests.size(), 2u) << "the next row is asked for";
        EXPECT_TRUE(link.uploads.empty());
    }
}

TEST_F(FirmwareUpgradeTest, DataFailureMidWayStopsTheUploadBeforeTheNextRequest) {
    std::vector<std::string> order;
    struct OrderLink final : FirmwareLink {
        std::vector<std::string>& order;
        explicit OrderLink(std::vector<std::string>& o) : order(o) {}
        bool sendRequest(const FirmwareRequest& r) override {
            order.push_back("request " + std::to_string(r[16]));
            return true;
        }
        void startUpload(const std::filesystem::path&, int row) override { order.push_back("upload " + std::to_string(row)); }
        void stopUpload() override { order.push_back("stop"); }
    } link(order);
    FirmwareUpgrade upgrade(scan_, kModules, link);
    upgrade.start();
    upgrade.onWindowPost(post(WindowMessage::FirmwareAccepted));
    upgrade.onProgress(FirmwareProgress{1, 8000, 20000, 40, FirmwareProgress::End::None});
    upgrade.onWindowPost(post(WindowMessage::FirmwareDataFailed, 3));
    EXPECT_EQ(order, (std::vector<std::string>{"request 0", "upload 1", "stop", "request 3"}));
    EXPECT_EQ(upgrade.rows()[0].status, kFirmwareFailed);
    EXPECT_EQ(upgrade.rows()[0].result, RowResult::DataFailed);
}

TEST_F(FirmwareUpgradeTest, StrayAnswersAreIgnored) {
    FirmwareUpgrade upgrade(scan_, kModules, link_);
    upgrade.onWindowPost(post(WindowMessage::FirmwareAccepted));
    upgrade.onWindowPost(post(WindowMessage::FirmwareDone));
    EXPECT_TRUE(link_.uploads.empty());
    EXPECT_TRUE(link_.requests.empty());
    EXPECT_EQ(upgrade.upgraded(), 0);
    for (const auto& r : upgrade.rows()) EXPECT_FALSE(r.status.has_value());
}

TEST_F(FirmwareUpgradeTest, StopWritesStoppedAndBringsStartBack) {
    FirmwareUpgrade upgrade(scan_, kModules, link_);
    upgrade.start();
    upgrade.onWindowPost(post(WindowMessage::FirmwareAccepted));
    upgrade.stop();
    EXPECT_EQ(link_.stops, 1);
    EXPECT_EQ(upgrade.rows()[0].status, kFirmwareStopped);
    EXPECT_TRUE(upgrade.startVisible());
    EXPECT_TRUE(upgrade.startEnabled());
    // A late verdict for the stopped row changes nothing.
    upgrade.onWindowPost(post(WindowMessage::FirmwareDone));
    EXPECT_EQ(upgrade.upgraded(), 0);
}

TEST_F(FirmwareUpgradeTest, AFileThatChangedSinceTheScanIsNotRequested) {
    FirmwareUpgrade upgrade(scan_, kModules, link_);
    std::vector<int> skipped;
    FirmwareUpgrade::Listener listener;
    listener.skipped = [&](const UpgradeRow& r) { skipped.push_back(r.row); };
    upgrade.setListener(listener);
    writeFile(folder_.path() / "main.bin", newFormHeader("MAIN", 3000, 20000));  // another stamp now
    upgrade.start();
    EXPECT_EQ(skipped, std::vector<int>{1});
    ASSERT_EQ(link_.requests.size(), 1u);
    EXPECT_EQ(link_.requests[0][16], 3);
}

TEST_F(FirmwareUpgradeTest, NoAnswerEndsTheRowAndTheSequence) {
    FirmwareUpgrade upgrade(scan_, kModules, link_);
    std::vector<RowResult> ended;
    bool over = false;
    FirmwareUpgrade::Listener listener;
    listener.ended = [&](const UpgradeRow& r) { ended.push_back(r.result); };
    listener.over = [&] { over = true; };
    upgrade.setListener(listener);
    upgrade.start();
    upgrade.noAnswer();
    EXPECT_EQ(ended, std::vector<RowResult>{RowResult::NoAnswer});
    EXPECT_TRUE(over);
    EXPECT_EQ(link_.requests.size(), 1u);
}

}  // namespace
}  // namespace kalix::app
