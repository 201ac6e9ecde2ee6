#include "app/firmware_scan.h"

#include <gtest/gtest.h>

#include "firmware_test_files.h"

namespace kalix::app {
namespace {

using namespace testing;

// Module numbers 0-6 with names; module 2 has a name here so that a 5-row
// recorder's missing row for it is what keeps its file out.
const std::vector<RecorderModule> kModules = {{"MAIN", 1000}, {"BOOT", 1000}, {"PANEL", 1000}, {"KERNEL", 1000},
                                              {"ROOTFS", 1000}, {"WEB", 1000}, {"FRONT", 1000}};

const FirmwareEntry& entry(const FirmwareScan& scan, const std::string& file) {
    for (const auto& e : scan.entries)
        if (e.file == file) return e;
    ADD_FAILURE() << "no entry " << file;
    static const FirmwareEntry none;
    return none;
}

TEST(FirmwareScanTest, RowsFollowTheRecordersVersion) {
    EXPECT_EQ(firmwareRowCount(0, 0), 5);
    EXPECT_EQ(firmwareRowCount(0, 1), 5);
    EXPECT_EQ(firmwareRowCount(0, 2), 6);
    EXPECT_EQ(firmwareRowCount(1, 0), 6);
    const auto six = firmwareRowModules(6);
    EXPECT_EQ(std::vector<std::uint8_t>(six.begin(), six.end()), (std::vector<std::uint8_t>{0, 3, 4, 2, 5, 6}));
    const auto five = firmwareRowModules(5);
    EXPECT_EQ(std::vector<std::uint8_t>(five.begin(), five.end()), (std::vector<std::uint8_t>{0, 3, 4, 5, 6}));
}

TEST(FirmwareScanTest, KeepsTheNewestFileNewerThanTheRecordersPerRow) {
    TempFolder folder("kalix-fw-scan");
    writeFile(folder.path() / "a-kernel-old.bin", newFormHeader("KERNEL", 1500, 300));
    writeFile(folder.path() / "b-kernel-new.bin", newFormHeader("KERNEL", 2500, 300));
    writeFile(folder.path() / "c-kernel-mid.bin", newFormHeader("KERNEL", 2000, 300));
    writeFile(folder.path() / "d-main-same.bin", newFormHeader("MAIN", 1000, 300));  // what it runs already
    writeFile(folder.path() / "e-boot.bin", newFormHeader("BOOT", 9000, 300));       // module 1 has no row
    writeFile(folder.path() / "f-short.bin", {1, 2, 3});
    std::filesystem::create_directory(folder.path() / "g-folder");

    const FirmwareScan scan = scanUpgradeFolder(folder.path(), kModules, 6);
    ASSERT_EQ(scan.entries.size(), 7u);
    EXPECT_EQ(scan.entries.front().file, "a-kernel-old.bin");  // name order
    EXPECT_TRUE(entry(scan, "a-kernel-old.bin").accepted);
    EXPECT_TRUE(entry(scan, "b-kernel-new.bin").accepted);
    EXPECT_FALSE(entry(scan, "c-kernel-mid.bin").accepted);
    EXPECT_EQ(entry(scan, "c-kernel-mid.bin").stamp, 2000u);
    EXPECT_FALSE(entry(scan, "d-main-same.bin").accepted);
    EXPECT_FALSE(entry(scan, "e-boot.bin").accepted);
    EXPECT_EQ(entry(scan, "e-boot.bin").module, 1);
    EXPECT_EQ(entry(scan, "f-short.bin").refusal, FirmwareRefusal::Truncated);
    EXPECT_FALSE(entry(scan, "f-short.bin").module.has_value());
    EXPECT_FALSE(entry(scan, "g-folder").module.has_value());
    EXPECT_EQ(scan.accepted, 2);  // a row replaced by a newer file counts again

    ASSERT_EQ(scan.rows.size(), 6u);
    EXPECT_FALSE(scan.rows[0].slot.has_value());
    ASSERT_TRUE(scan.rows[1].slot.has_value());
    EXPECT_EQ(scan.rows[1].module, 3);
    EXPECT_EQ(scan.rows[1].slot->file, "b-kernel-new.bin");
    EXPECT_EQ(scan.rows[1].slot->header.stamp, 2500u);
}

TEST(FirmwareScanTest, AFiveRowRecorderNeverOffersModuleTwo) {
    TempFolder folder("kalix-fw-scan");
    writeFile(folder.path() / "panel.bin", newFormHeader("PANEL", 5000, 300));
    EXPECT_EQ(scanUpgradeFolder(folder.path(), kModules, 5).accepted, 0);
    const FirmwareScan six = scanUpgradeFolder(folder.path(), kModules, 6);
    EXPECT_EQ(six.accepted, 1);
    EXPECT_EQ(six.rows[3].module, 2);
    EXPECT_TRUE(six.rows[3].slot.has_value());
}

TEST(FirmwareScanTest, StampsCompareUnsigned) {
    TempFolder folder("kalix-fw-scan");
    writeFile(folder.path() / "late.bin", newFormHeader("WEB", 0x90000000u, 300));
    std::vector<RecorderModule> modules = kModules;
    modules[5].version = 0x7FFFFFFFu;
    EXPECT_EQ(scanUpgradeFolder(folder.path(), modules, 5).accepted, 1);
}

TEST(FirmwareScanTest, AMissingFolderGivesNothing) {
    const FirmwareScan scan = scanUpgradeFolder("/nonexistent/kalix/Upgrade", kModules, 6);
    EXPECT_TRUE(scan.entries.empty());
    EXPECT_EQ(scan.rows.size(), 6u);
    EXPECT_EQ(scan.accepted, 0);
}

TEST(FirmwareScanTest, TheRequestCarriesTheSlotFieldsAtTheirPlaces) {
    FirmwareSlot slot;
    slot.header.stamp = 0x01020304u;
    slot.header.module = 4;
    std::fill(slot.header.name.begin(), slot.header.name.end(), std::uint8_t{'N'});
    const FirmwareRequest r = slot.request();
    FirmwareRequest expected{};
    expected[4] = 1;
    expected[5] = 2;
    expected[6] = 3;
    expected[7] = 4;
    expected[16] = 4;
    std::fill(expected.begin() + 21, expected.begin() + 53, std::uint8_t{'N'});
    EXPECT_EQ(r, expected);
}

}  // namespace
}  // namespace kalix::app
