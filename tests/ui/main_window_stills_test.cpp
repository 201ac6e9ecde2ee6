// Save and Load in the main window against a simulated recorder: Save
// writes one still per shown pane and comes back once the poll finds the
// jobs done; the Load dialog's preview and the image viewer on saved and
// broken files. With KALIX_GALLERY_DIR set, StillsGallery also writes the
// viewer and the Load dialog as PNG files for a person to look at:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='StillsGallery*'
#include "ui/main_window.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "sim_main_window.h"
#include "ui/dialogs/image_preview_dialog.h"
#include "ui/dialogs/image_viewer.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"

namespace kalix::ui {
namespace {

using app::ControlId;
namespace fs = std::filesystem;

using test::waitFor;

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) out.push_back(e.path());
    return out;
}

// A recorder of four channels with pictures, the window in 16 panes with the
// save format given.
class StillsTest : public ::testing::Test {
protected:
    void start(app::SaveFormat format) {
        sim::SimConfig config;
        config.channel_num = 4;
        config.video.enabled = true;
        config.video.frames_per_second.fill(5);
        auto store = std::make_unique<app::MemorySettingsStore>();
        store->writeNumber("LocalSetup/SaveFormat/SaveFormat", static_cast<std::uint32_t>(format));
        ASSERT_TRUE(rig_.start(std::move(config), std::move(store)));
        ASSERT_TRUE(waitFor([&] { return window_->wall().view().pictureChannels() == 0x000F; }));
        saved_ = app::savedFolder(window_->settings(), app::StorageMode::Writable);
    }

    // Presses Save and waits for the stills of every shown channel.
    void save(std::size_t expected) {
        QTest::mouseClick(window_->button(ControlId::Save), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return window_->controller().runningSaveJobs() == 0; }));
        ASSERT_EQ(filesIn(saved_).size(), expected);
    }

    QString savedStill() const {
        const auto files = filesIn(saved_);
        return files.empty() ? QString() : QString::fromStdString(files.front().string());
    }

    test::SimMainWindow rig_;
    QTemporaryDir& home_ = rig_.home;
    std::unique_ptr<sim::RecorderSim>& recorder_ = rig_.recorder;
    std::unique_ptr<MainWindow>& window_ = rig_.window;
    fs::path saved_;
};

TEST_F(StillsTest, SaveWritesOneStillPerShownPaneAndComesBackAfterThePoll) {
    start(app::SaveFormat::Bmp);
    QTest::mouseClick(window_->button(ControlId::Save), Qt::LeftButton);
    EXPECT_FALSE(window_->button(ControlId::Save)->isEnabled());
    EXPECT_EQ(window_->controller().runningSaveJobs(), 4u);
    // Save comes back once the once-a-second poll has found every job done.
    ASSERT_TRUE(waitFor([&] { return window_->button(ControlId::Save)->isEnabled(); }));
    EXPECT_EQ(window_->controller().runningSaveJobs(), 0u);
    ASSERT_EQ(filesIn(saved_).size(), 4u);

    std::set<std::string> channels;
    const std::regex name(R"(\d{14}_00(\d\d)\.bmp)");
    for (const auto& file : filesIn(saved_)) {
        std::smatch m;
        const std::string text = file.filename().string();
        ASSERT_TRUE(std::regex_match(text, m, name)) << text;
        channels.insert(m[1]);
        EXPECT_EQ(fs::file_size(file), 1'440'054u);
    }
    EXPECT_EQ(channels, (std::set<std::string>{"01", "02", "03", "04"}));
}

TEST_F(StillsTest, LoadPreviewsSavedStillsAndNothingForBrokenFiles) {
    start(app::SaveFormat::Tiff);
    window_->controller().press(app::splitButton(0));
    save(1);
    const QString still = savedStill();
    QFile broken(QString::fromStdString((saved_ / "broken.jpg").string()));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();

    window_->controller().press(ControlId::Load);
    ImagePreviewDialog* dialog = window_->imagePreviewDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Image");
    EXPECT_EQ(fs::path(dialog->directory().absolutePath().toStdString()), fs::canonical(saved_));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    // The file list's current file (what a click sets) reaches the preview.
    dialog->selectFile(still);
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(waitFor([&] { return !list->selectionModel()->selectedIndexes().isEmpty(); }, 3000));
    list->setCurrentIndex(list->selectionModel()->selectedIndexes().front());
    ASSERT_TRUE(waitFor([&] { return dialog->sizeText() == "(800 x 600)"; }, 3000)) << dialog->sizeText().toStdString();
    EXPECT_EQ(dialog->previewImage().size(), QSize(800, 600));

    dialog->previewFile(broken.fileName());
    EXPECT_EQ(dialog->sizeText(), "");
    EXPECT_TRUE(dialog->previewImage().isNull());

    dialog->previewFile(still);
    dialog->setDirectory(home_.path());
    Q_EMIT dialog->directoryEntered(home_.path());
    EXPECT_EQ(dialog->sizeText(), "");

    // A second press brings the same dialog forward.
    window_->controller().press(ControlId::Load);
    EXPECT_EQ(window_->imagePreviewDialog(), dialog);
}

TEST_F(StillsTest, ViewerShowsAStillAndClosesItselfOnABadFile) {
    start(app::SaveFormat::Tiff);
    window_->controller().press(app::splitButton(0));
    save(1);
    ImageViewer* viewer = window_->openImageViewer(savedStill());
    ASSERT_TRUE(viewer->loaded());
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->image().size(), QSize(800, 600));

    const QString bad = QString::fromStdString((saved_ / "empty.tif").string());
    QFile(bad).open(QIODevice::WriteOnly);
    QPointer<ImageViewer> closing = window_->openImageViewer(bad);
    EXPECT_FALSE(closing->loaded());
    EXPECT_TRUE(waitFor([&] { return closing.isNull(); }, 2000));
    EXPECT_EQ(window_->imageViewer(), nullptr);
}

TEST(ImageLoading, TheExtensionDecidesAndUnreadableFilesGiveNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(40, 30, QImage::Format_RGB888);
    picture.fill(Qt::red);
    const QString bmp = dir.filePath("a.bmp");
    ASSERT_TRUE(picture.save(bmp, "BMP"));
    EXPECT_EQ(loadDisplayImage(bmp)->size(), QSize(40, 30));
    // The same bytes under another name: only the three kinds are read,
    // and a ".tif" inside the path does not make it a TIFF file.
    const QString png_named = dir.filePath("a.png");
    QFile::copy(bmp, png_named);
    EXPECT_FALSE(loadDisplayImage(png_named));
    ASSERT_TRUE(QDir(dir.path()).mkdir("x.tif"));
    const QString in_tif_folder = dir.filePath("x.tif/B.BMP");
    QFile::copy(bmp, in_tif_folder);
    EXPECT_TRUE(loadDisplayImage(in_tif_folder));
    EXPECT_FALSE(loadDisplayImage(dir.filePath("missing.jpg")));
}

class StillsGallery : public StillsTest {
protected:
    void SetUp() override {
        dir_ = qEnvironmentVariable("KALIX_GALLERY_DIR");
        if (dir_.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the gallery";
        ASSERT_TRUE(QDir().mkpath(dir_));
        ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE)));
    }
    void TearDown() override {
        StillsTest::TearDown();
        unloadResourceBundle();
    }
    void grab(QWidget& widget, const QString& name) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        QTest::qWait(200);
        const QString file = QDir(dir_).filePath(name + QStringLiteral(".png"));
        ASSERT_TRUE(widget.grab().save(file)) << file.toStdString();
    }
    QString dir_;
};

TEST_F(StillsGallery, ViewerAndLoadDialog) {
    start(app::SaveFormat::Jpeg);
    window_->controller().press(app::splitButton(0));
    save(1);
    ImageViewer* viewer = window_->openImageViewer(savedStill());
    ASSERT_TRUE(viewer->loaded());
    grab(*viewer, QStringLiteral("image_viewer"));
    viewer->close();

    window_->controller().press(ControlId::Load);
    ImagePreviewDialog* dialog = window_->imagePreviewDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(savedStill());
    dialog->previewFile(savedStill());
    grab(*dialog, QStringLiteral("image_load_dialog"));
}

}  // namespace
}  // namespace kalix::ui
