#include "ui/resource_bundle.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/string_table.h"
#include "ui/skin/skin_catalogue.h"

namespace kalix::ui {
namespace {

const QString kBundle = QStringLiteral(KALIX_BINARY_DIR "/kalixres.rcc");

class ResourceBundle : public ::testing::Test {
protected:
    void TearDown() override { unloadResourceBundle(); }
};

TEST_F(ResourceBundle, MissingOrForeignFileGivesEmptyTextsAndNoPictures) {
    EXPECT_FALSE(loadResourceBundle(QStringLiteral("/nonexistent/kalixres.rcc")));
    EXPECT_FALSE(resourceBundleLoaded());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString junk = dir.filePath(QStringLiteral("kalixres.rcc"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    EXPECT_FALSE(loadResourceBundle(junk));

    for (int id : {5051, 5092, 5410, 6062, 6141}) EXPECT_TRUE(resourceString(id).isEmpty()) << id;
    for (int id : {1500, 1584, 1595, 2031}) EXPECT_TRUE(skinPicture(id).isNull()) << id;
}

TEST_F(ResourceBundle, EveryStringOfTheTableResolves) {
    ASSERT_TRUE(loadResourceBundle(kBundle));
    for (const app::StringEntry& e : app::stringTable()) {
        const QString text = resourceString(e.id);
        EXPECT_EQ(text.toStdString(), std::string(e.text)) << e.id;
    }
    // Notices: every number 5051-5092 is present, with the table's text.
    for (int id = 5051; id <= 5092; ++id) EXPECT_FALSE(resourceString(id).isEmpty()) << id;
    EXPECT_EQ(resourceString(5541), QStringLiteral("OK"));
    EXPECT_EQ(resourceString(5093), QString());  // a number without text
    EXPECT_EQ(resourceString(-1), QString());
}

TEST_F(ResourceBundle, EveryPictureResolvesAtItsSize) {
    ASSERT_TRUE(loadResourceBundle(kBundle));
    for (const SkinPicture& p : skinCatalogue()) {
        const QImage image = skinPicture(p.id);
        ASSERT_FALSE(image.isNull()) << p.id;
        EXPECT_EQ(image.size(), QSize(p.width, p.height)) << p.id;
    }
    // The main window's regions (928 x 712 window, wall 54,67 - 874,661).
    EXPECT_EQ(skinPicture(1500).size(), QSize(928, 67));
    EXPECT_EQ(skinPicture(1501).size(), QSize(54, 594));
    EXPECT_EQ(skinPicture(1502).size(), QSize(54, 594));
    EXPECT_EQ(skinPicture(1503).size(), QSize(928, 66));
    EXPECT_EQ(skinPicture(1584).size(), QSize(427, 14));
    EXPECT_EQ(skinPicture(1595).size(), QSize(820, 594));
    EXPECT_EQ(skinPicture(skin::kDayFaces).size(), QSize(52, 25));
    EXPECT_TRUE(skinPicture(1499).isNull());
    EXPECT_TRUE(skinPicture(2322).isNull());
    EXPECT_TRUE(skinPicture(1599).isNull());  // inside the range, but no picture
}

// Faces of one button must be told apart by the operator, and every
// picture must draw something (not one flat colour).
TEST_F(ResourceBundle, FacesDifferAndPicturesAreNotBlank) {
    ASSERT_TRUE(loadResourceBundle(kBundle));
    for (const SkinPicture& p : skinCatalogue()) {
        const QImage image = skinPicture(p.id);
        if (p.width > 1) {
            bool varied = false;
            const QRgb first = image.pixel(0, 0);
            for (int y = 0; y < image.height() && !varied; ++y)
                for (int x = 0; x < image.width() && !varied; ++x) varied = image.pixel(x, y) != first;
            EXPECT_TRUE(varied) << p.id << " is one flat colour";
        }
        const SkinPicture* next = findSkinPicture(p.id + 1);
        if (p.look == SkinLook::Button && p.state == FaceState::Normal && next != nullptr &&
            next->state == FaceState::Pressed) {  // a normal, pressed, disabled set
            ASSERT_FALSE(skinPicture(p.id + 2).isNull()) << p.id;
            const QImage pressed = skinPicture(p.id + 1), disabled = skinPicture(p.id + 2);
            EXPECT_NE(image, pressed) << p.id;
            EXPECT_NE(image, disabled) << p.id;
            EXPECT_NE(pressed, disabled) << p.id;
        }
    }
    // Channel buttons carry their numbers: no two faces alike.
    for (int k = 1; k < 16; ++k)
        EXPECT_NE(skinPicture(skin::kChannelFirst + 3 * k), skinPicture(skin::kChannelFirst + 3 * (k - 1))) << k;
}

TEST_F(ResourceBundle, UnloadAndReloadReplaceTheBundle) {
    ASSERT_TRUE(loadResourceBundle(kBundle));
    ASSERT_TRUE(loadResourceBundle(kBundle));  // loading again replaces, no double registration
    EXPECT_FALSE(resourceString(5410).isEmpty());
    unloadResourceBundle();
    EXPECT_FALSE(resourceBundleLoaded());
    EXPECT_TRUE(resourceString(5410).isEmpty());
    EXPECT_TRUE(skinPicture(1500).isNull());
    // A failed load leaves no bundle behind, even after a good one.
    ASSERT_TRUE(loadResourceBundle(kBundle));
    EXPECT_FALSE(loadResourceBundle(QStringLiteral("/nonexistent/kalixres.rcc")));
    EXPECT_TRUE(resourceString(5410).isEmpty());
}

TEST_F(ResourceBundle, FoundBesideTheExecutableFirst) {
    EXPECT_TRUE(resourceBundleCandidates().constLast().endsWith(QStringLiteral("/kalix/kalixres.rcc")));

    int argc = 1;
    char name[] = "ui_resource_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QStringList candidates = resourceBundleCandidates();
    ASSERT_EQ(candidates.size(), 3);
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kalixres.rcc"));
    EXPECT_EQ(candidates.first(), beside);
    EXPECT_TRUE(candidates[1].endsWith(QStringLiteral("/../share/kalix/kalixres.rcc")));

    QFile::remove(beside);
    ASSERT_TRUE(QFile::copy(kBundle, beside));
    EXPECT_TRUE(loadResourceBundle());
    EXPECT_EQ(resourceString(5092), QStringLiteral("Kalix"));
    unloadResourceBundle();
    QFile::remove(beside);
}

}  // namespace
}  // namespace kalix::ui
