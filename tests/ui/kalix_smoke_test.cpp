// The kalix program end to end: the demo under the offscreen platform,
// quitting by itself and leaving a screenshot with live pictures in the
// wall.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(KalixSmokeTest, DemoQuitsInOrderAndTheScreenshotShowsPictures) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("demo.png"));
    QProcess kalix;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // Read by sanitizer builds only.
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" KALIX_LSAN_SUPPRESSIONS));
    kalix.setProcessEnvironment(env);
    kalix.setProcessChannelMode(QProcess::ForwardedChannels);
    kalix.start(QStringLiteral(KALIX_PATH),
                {QStringLiteral("--demo"), QStringLiteral("--quit-after"), QStringLiteral("4"),
                 QStringLiteral("--screenshot"), shot});
    ASSERT_TRUE(kalix.waitForStarted(10'000));
    ASSERT_TRUE(kalix.waitForFinished(180'000)) << "kalix did not quit";
    EXPECT_EQ(kalix.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kalix.exitCode(), 0);

    QImage image(shot);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(928, 712));
    // Inside the wall rectangle 54, 67 - 874, 661: most pixels are picture,
    // not the grey background, and they are many colours, not one fill.
    const QRgb background = qRgb(150, 150, 150) & 0xFFFFFF;
    long picture_pixels = 0;
    long total = 0;
    std::set<QRgb> colours;
    for (int y = 67; y < 661; ++y) {
        for (int x = 54; x < 874; ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            ++total;
            if (c != background) ++picture_pixels;
            colours.insert(c);
        }
    }
    EXPECT_GT(picture_pixels * 2, total) << picture_pixels << " of " << total;
    EXPECT_GT(colours.size(), 20u);
}

}  // namespace

namespace {

// Without a session every pane shows the logo, taken from ComMark.bmp in
// the working folder.
TEST(KalixSmokeTest, LogoPictureComesFromTheWorkingFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage logo(64, 48, QImage::Format_RGB888);
    logo.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(logo.save(dir.filePath(QStringLiteral("ComMark.bmp")), "BMP"));
    const QString shot = dir.filePath(QStringLiteral("idle.png"));
    QProcess kalix;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kalix.setProcessEnvironment(env);
    kalix.setWorkingDirectory(dir.path());
    kalix.setProcessChannelMode(QProcess::ForwardedChannels);
    kalix.start(QStringLiteral(KALIX_PATH), {QStringLiteral("--quit-after"), QStringLiteral("0.5"),
                                             QStringLiteral("--screenshot"), shot});
    ASSERT_TRUE(kalix.waitForFinished(60'000));
    EXPECT_EQ(kalix.exitCode(), 0);
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    // Pane 0 of the 16-pane wall, and the last pane.
    EXPECT_EQ(image.pixel(54 + 100, 67 + 70) & 0xFFFFFF, qRgb(10, 200, 30) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(54 + 700, 67 + 520) & 0xFFFFFF, qRgb(10, 200, 30) & 0xFFFFFF);
    // The background between them stays grey.
    EXPECT_EQ(image.pixel(54 + 205, 67 + 70) & 0xFFFFFF, qRgb(150, 150, 150) & 0xFFFFFF);
}

}  // namespace
