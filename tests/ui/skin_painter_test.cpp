#include "skin_painter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "ui/skin/skin_catalogue.h"

namespace kalix::res {
namespace {

TEST(SkinPainter, PngDecodesToTheSamePixels) {
    Canvas c(7, 5, Rgba{10, 20, 30, 255});
    c.set(0, 0, {255, 0, 0, 255});
    c.set(6, 4, {0, 255, 0, 128});
    c.set(3, 2, {1, 2, 3, 0});
    const auto png = encodePng(c);
    const QImage image = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG")
                             .convertToFormat(QImage::Format_RGBA8888);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const Rgba want = c.pixel(x, y);
            const uchar* got = image.constScanLine(y) + 4 * x;
            EXPECT_EQ(got[0], want.r) << x << "," << y;
            EXPECT_EQ(got[1], want.g) << x << "," << y;
            EXPECT_EQ(got[2], want.b) << x << "," << y;
            EXPECT_EQ(got[3], want.a) << x << "," << y;
        }
}

// Odd widths need row padding; rows are stored bottom-up.
TEST(SkinPainter, BmpDecodesToTheSamePixelsWithoutAlpha) {
    Canvas c(7, 5, Rgba{10, 20, 30, 255});
    c.set(0, 0, {255, 0, 0, 255});
    c.set(6, 4, {0, 255, 0, 128});
    const auto bmp = encodeBmp(c);
    EXPECT_EQ(bmp.size(), 54u + 24u * 5u);  // 21 bytes a row, padded to 24
    const QImage image = QImage::fromData(bmp.data(), static_cast<int>(bmp.size()), "BMP");
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const Rgba want = c.pixel(x, y);
            EXPECT_EQ(image.pixel(x, y) & 0xFFFFFFu, qRgb(want.r, want.g, want.b) & 0xFFFFFFu) << x << "," << y;
        }
    const Canvas logo = paintClientPicture(ClientPicture::Logo);
    EXPECT_EQ(logo.width(), kClientPictureWidth);
    EXPECT_EQ(logo.height(), kClientPictureHeight);
}

TEST(SkinPainter, DrawingStaysInsideTheCanvas) {
    Canvas c(4, 4, Rgba{0, 0, 0, 255});
    c.fillRect(-10, -10, 100, 100, {9, 9, 9, 255});
    c.line(-5, -5, 20, 20, {1, 1, 1, 255});
    c.disc(2, 2, 30, {2, 2, 2, 255});
    c.text(-3, -3, "WWW", {3, 3, 3, 255}, 2);
    EXPECT_EQ(c.pixels().size(), 16u);
    EXPECT_THROW(c.text(0, 0, "~", {}, 1), std::invalid_argument);
}

// Captions are drawn in the pixel font and must fit their faces.
TEST(SkinPainter, CaptionsFitTheirButtons) {
    for (const ui::SkinPicture& p : ui::skinCatalogue()) {
        if (p.look != ui::SkinLook::Button || p.label.empty() || p.label.front() == '#') continue;
        EXPECT_LE(Canvas::textWidth(p.label, 1), p.width - 6) << p.id << " " << p.label;
        EXPECT_LE(7, p.height - 6) << p.id;
    }
    EXPECT_EQ(Canvas::textWidth("", 1), 0);
    EXPECT_EQ(Canvas::textWidth("AB", 2), 22);
}

TEST(SkinCatalogue, NumbersUniqueAndInTheBitmapRange) {
    const auto all = ui::skinCatalogue();
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_GE(all[i].id, 1500);
        EXPECT_LE(all[i].id, 2321);
        if (i > 0) {
            EXPECT_LT(all[i - 1].id, all[i].id);
        }
        EXPECT_EQ(ui::findSkinPicture(all[i].id), &all[i]);
    }
    EXPECT_EQ(ui::findSkinPicture(1499), nullptr);
    // Button faces come in threes: normal, pressed, disabled.
    for (int k = 0; k < 16; ++k) {
        const auto* n = ui::findSkinPicture(ui::skin::kChannelFirst + 3 * k);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->state, ui::FaceState::Normal);
        EXPECT_EQ(ui::findSkinPicture(n->id + 1)->state, ui::FaceState::Pressed);
        EXPECT_EQ(ui::findSkinPicture(n->id + 2)->state, ui::FaceState::Disabled);
    }
    for (int id = 1800; id <= 1820; ++id) EXPECT_NE(ui::findSkinPicture(id), nullptr) << id;
}

// The generator writes the same bytes on every run: the bundle is
// reproducible from the sources, down to the packed file.
TEST(SkinPainter, GeneratorIsDeterministic) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(QProcess::execute(QStringLiteral(KALIX_MAKE_BUNDLE), {dir.path()}), 0);
    const QDir built(QStringLiteral(KALIX_BUNDLE_SOURCES));
    int files = 0;
    QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(dir.path()).relativeFilePath(path);
        QFile a(path), b(built.filePath(rel));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly)) << rel.toStdString();
        ASSERT_TRUE(b.open(QIODevice::ReadOnly)) << rel.toStdString();
        EXPECT_EQ(a.readAll(), b.readAll()) << rel.toStdString();
        ++files;
    }
    EXPECT_EQ(files, static_cast<int>(ui::skinCatalogue().size()) + 4);  // + strings.txt, kalixres.qrc, two .bmp

    // Packed again with the fixed file date, the bundle is the one the build made.
    QProcess rcc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_RCC_SOURCE_DATE_OVERRIDE"), QStringLiteral("1"));
    rcc.setProcessEnvironment(env);
    rcc.setWorkingDirectory(dir.path());
    const QString packed = dir.filePath(QStringLiteral("again.rcc"));
    rcc.start(QStringLiteral(KALIX_RCC), {QStringLiteral("--binary"), QStringLiteral("--no-zstd"), QStringLiteral("-o"), packed,
                                          QStringLiteral("kalixres.qrc")});
    ASSERT_TRUE(rcc.waitForFinished(60000));
    ASSERT_EQ(rcc.exitCode(), 0);
    QFile again(packed), built_rcc(QStringLiteral(KALIX_BINARY_DIR "/kalixres.rcc"));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    ASSERT_TRUE(built_rcc.open(QIODevice::ReadOnly));
    EXPECT_TRUE(again.readAll() == built_rcc.readAll());
}

}  // namespace
}  // namespace kalix::res
