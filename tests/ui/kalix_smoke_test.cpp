// The kalix program end to end: the demo under the offscreen platform,
// quitting by itself and leaving a screenshot with live pictures in the
// wall.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace {

// Every run gets a home of its own: the program keeps its files there.
QProcessEnvironment runEnvironment(const QTemporaryDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // Read by sanitizer builds only.
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" KALIX_LSAN_SUPPRESSIONS));
    return env;
}

// (category, action) of every record of an operation log, oldest first
// (the ring has not wrapped in these short runs).
std::vector<std::pair<int, int>> operationRecords(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    const auto le32 = [&](qsizetype at) {
        return static_cast<int>(static_cast<quint8>(bytes[at]) | static_cast<quint8>(bytes[at + 1]) << 8 |
                                static_cast<quint8>(bytes[at + 2]) << 16 | static_cast<quint8>(bytes[at + 3]) << 24);
    };
    std::vector<std::pair<int, int>> records;
    const int next = bytes.size() >= 8 ? le32(4) : 0;
    for (int slot = 0; slot < next && 8 + (slot + 1) * 184 <= bytes.size(); ++slot)
        records.emplace_back(le32(8 + slot * 184 + 8), le32(8 + slot * 184 + 12));
    return records;
}

TEST(KalixSmokeTest, DemoQuitsInOrderAndTheScreenshotShowsPictures) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("demo.png"));
    QProcess kalix;
    QProcessEnvironment env = runEnvironment(dir);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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

    // The demo connects as an operator would, so its run leaves the
    // operation log a real one leaves: started, logged in, ended.
    const auto records = operationRecords(dir.filePath(QStringLiteral("Kalix/Log/kalix.log")));
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records.front(), std::make_pair(1, 1));
    EXPECT_NE(std::find(records.begin(), records.end(), std::make_pair(2, 1)), records.end());
    EXPECT_EQ(records.back(), std::make_pair(1, 2));
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
    QProcessEnvironment env = runEnvironment(dir);
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

namespace {

// Under Xvfb OpenGL works (Mesa), so the demo runs on the YUV path: the
// shader's colours, the trims and the captions painted over the pictures
// must all reach the screenshot.
TEST(KalixSmokeTest, DemoUnderXvfbDrawsOnTheYuvPath) {
    const QString xvfb_run = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb_run.isEmpty()) GTEST_SKIP() << "xvfb-run not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("yuv.png"));
    QProcess run;
    QProcessEnvironment env = runEnvironment(dir);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("KALIX_TRACE"), QStringLiteral("1"));
    // Sanitizer builds: Mesa's OpenGL driver, unloaded before the program's
    // end, leaves a few bytes the leak checker can no longer attribute to
    // any library, now and then. Memory errors are still caught here; leaks
    // are checked by the other program runs and the unit tests.
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    run.setProcessEnvironment(env);
    run.start(xvfb_run, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                         QStringLiteral(KALIX_PATH), QStringLiteral("--demo"), QStringLiteral("--quit-after"),
                         QStringLiteral("12"), QStringLiteral("--screenshot"), shot});
    ASSERT_TRUE(run.waitForFinished(180'000));
    const QByteArray err = run.readAllStandardError();
    EXPECT_EQ(run.exitCode(), 0) << err.right(2000).toStdString();
    EXPECT_TRUE(err.contains("[wall] draw path: YUV (OpenGL)"));

    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(928, 712));
    // The clip's colour bars in pane 0: red, then green. A moving line
    // crosses the bars, so most of a short column must have the bar's
    // colour, not every pixel.
    const auto share = [&](int x, auto is_colour) {
        int hits = 0;
        for (int y = 67 + 30; y < 67 + 110; ++y) hits += is_colour(image.pixelColor(x, y)) ? 1 : 0;
        return hits / 80.0;
    };
    EXPECT_GT(share(69, [](const QColor& c) { return c.red() > 200 && c.green() < 50; }), 0.8);
    EXPECT_GT(share(120, [](const QColor& c) { return c.green() > 200 && c.red() < 50; }), 0.8);
    // Caption line 2 at the bottom left of pane 0, over the red bar.
    int text_pixels = 0;
    for (int y = 67 + 125; y < 67 + 145; ++y)
        for (int x = 54 + 7; x < 54 + 32; ++x)
            if (image.pixelColor(x, y).green() > 150) ++text_pixels;
    EXPECT_GT(text_pixels, 5);
}

}  // namespace
