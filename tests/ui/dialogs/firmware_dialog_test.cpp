// The upgrade window over its model: rows, Start and Stop, progress and
// statuses as the session's events arrive. With KALIX_GALLERY_DIR set it
// also leaves a picture of the window in the middle of an upload:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='FirmwareDialog*'

#include <QCheckBox>
#include <QDir>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

#include "../../app/firmware_test_files.h"
#include "ui/dialogs/firmware_dialog.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

using app::testing::newFormHeader;
using app::testing::TempFolder;
using app::testing::writeFile;
using session::FirmwareProgress;
using session::WindowMessage;
using session::WindowPost;

const std::vector<app::RecorderModule> kModules = {{"MAIN", 1000}, {"BOOT", 1000}, {"PANEL", 1000}, {"KERNEL", 1000},
                                                   {"ROOTFS", 1000}, {"WEB", 1000}, {"FRONT", 1000}};

struct CountingLink final : app::FirmwareLink {
    bool sendRequest(const app::FirmwareRequest&) override {
        ++requests;
        return true;
    }
    void startUpload(const std::filesystem::path&, int) override { ++uploads; }
    void stopUpload() override { ++stops; }
    int requests = 0, uploads = 0, stops = 0;
};

class FirmwareDialogTest : public ::testing::Test {
protected:
    FirmwareDialogTest() : folder_("kalix-fw-dialog") {
        writeFile(folder_.path() / "main.bin", newFormHeader("MAIN", 2000, 300));
        writeFile(folder_.path() / "kernel.bin", newFormHeader("KERNEL", 2000, 300));
        writeFile(folder_.path() / "web.bin", newFormHeader("WEB", 2000, 300));
        scan_ = app::scanUpgradeFolder(folder_.path(), kModules, 6);
    }
    template <typename T>
    static T* child(QWidget& w, const QString& name) {
        return w.findChild<T*>(name);
    }

    TempFolder folder_;
    app::FirmwareScan scan_;
    CountingLink link_;
};

TEST_F(FirmwareDialogTest, ShowsTheRunOfAnUpgrade) {
    FirmwareDialog dialog(scan_, kModules, link_, nullptr);
    auto* start = child<SkinButton>(dialog, "start");
    auto* stop = child<SkinButton>(dialog, "stop");
    ASSERT_TRUE(start && stop);
    EXPECT_TRUE(child<QCheckBox>(dialog, "row-1-check")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dialog, "row-3-check")->isEnabled());  // no file for module 4
    EXPECT_TRUE(start->isEnabled());

    // Unchecking every row with a file disables Start.
    for (const char* row : {"row-1-check", "row-2-check", "row-5-check"}) child<QCheckBox>(dialog, row)->setChecked(false);
    EXPECT_FALSE(start->isEnabled());
    child<QCheckBox>(dialog, "row-1-check")->setChecked(true);

    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(link_.requests, 1);
    EXPECT_TRUE(start->isHidden());
    EXPECT_FALSE(stop->isHidden());
    dialog.onEvent(WindowPost{WindowMessage::FirmwareAccepted, session::Owner::Firmware, 0});
    EXPECT_EQ(link_.uploads, 1);
    EXPECT_FALSE(child<QCheckBox>(dialog, "row-1-check")->isEnabled());
    dialog.onEvent(FirmwareProgress{1, 120, 300, 40, FirmwareProgress::End::None});
    EXPECT_EQ(child<QProgressBar>(dialog, "row-1-progress")->value(), 40);
    // Events for another window leave this one alone.
    dialog.onEvent(WindowPost{WindowMessage::FirmwareDone, session::Owner::MainWindow, 0});
    EXPECT_TRUE(child<SkinStatic>(dialog, "row-1-status")->text().isEmpty());

    dialog.onEvent(FirmwareProgress{1, 300, 300, 100, FirmwareProgress::End::Complete});
    dialog.onEvent(WindowPost{WindowMessage::FirmwareDone, session::Owner::Firmware, 0});
    EXPECT_EQ(child<SkinStatic>(dialog, "row-1-status")->text(), QStringLiteral("Upgraded"));
    EXPECT_FALSE(start->isHidden());  // only row 1 was checked: the sequence is over
}

TEST_F(FirmwareDialogTest, StopWritesStoppedIntoTheCurrentRow) {
    FirmwareDialog dialog(scan_, kModules, link_, nullptr);
    QTest::mouseClick(child<SkinButton>(dialog, "start"), Qt::LeftButton);
    dialog.onEvent(WindowPost{WindowMessage::FirmwareAccepted, session::Owner::Firmware, 0});
    QTest::mouseClick(child<SkinButton>(dialog, "stop"), Qt::LeftButton);
    EXPECT_GE(link_.stops, 1);
    EXPECT_EQ(child<SkinStatic>(dialog, "row-1-status")->text(), QStringLiteral("Stopped"));
    EXPECT_FALSE(child<SkinButton>(dialog, "start")->isHidden());
}

TEST_F(FirmwareDialogTest, GalleryPicture) {
    const QString dir = qEnvironmentVariable("KALIX_GALLERY_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the picture";
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE)));
    {
        FirmwareDialog dialog(scan_, kModules, link_, nullptr);
        QTest::mouseClick(child<SkinButton>(dialog, "start"), Qt::LeftButton);
        dialog.onEvent(WindowPost{WindowMessage::FirmwareRefused, session::Owner::Firmware, 18});
        dialog.onEvent(WindowPost{WindowMessage::FirmwareAccepted, session::Owner::Firmware, 0});
        dialog.onEvent(FirmwareProgress{2, 180, 300, 60, FirmwareProgress::End::None});
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_TRUE(dialog.grab().save(QDir(dir).filePath(QStringLiteral("firmware-upgrade.png"))));
    }
    unloadResourceBundle();
}

}  // namespace
}  // namespace kalix::ui
