// kalix: the desktop client.
//
//   kalix [--demo] [--rgb] [--quit-after SECONDS] [--screenshot FILE.png]
//
// --demo starts a simulated recorder inside the program and connects to it;
// --quit-after ends the program in order after that time; --screenshot
// writes the main window, as grabbed just before quitting, to a PNG.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/demo_recorder.h"
#include "ui/main_window.h"

namespace {

// The demo's clip: beside the program, in its data folder, or in the
// source tree it was built from.
std::vector<std::string> clipCandidates() {
    const QString dir = QCoreApplication::applicationDirPath();
    const char* const name = "clip704x576.264";
    return {
        QDir(dir).filePath(QString::fromLatin1(name)).toStdString(),
        QDir(dir).filePath(QStringLiteral("../share/kalix/") + QString::fromLatin1(name)).toStdString(),
        std::string(KALIX_SOURCE_DIR) + "/tests/data/h264/" + name,
    };
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KALIX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Client for networked video recorders"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Connect to a simulated recorder run inside the program."));
    const QCommandLineOption quit_after(QStringLiteral("quit-after"), QStringLiteral("End the program after SECONDS."),
                                        QStringLiteral("SECONDS"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write the main window to FILE (PNG) just before quitting."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption rgb(QStringLiteral("rgb"),
                                 QStringLiteral("Draw pictures on the RGB path even where OpenGL works."));
    parser.addOption(demo);
    parser.addOption(rgb);
    parser.addOption(quit_after);
    parser.addOption(screenshot);
    parser.process(app);

    double quit_seconds = 0;
    if (parser.isSet(quit_after)) {
        bool ok = false;
        quit_seconds = parser.value(quit_after).toDouble(&ok);
        if (!ok || quit_seconds < 0) {
            std::fprintf(stderr, "kalix: --quit-after needs a number of seconds\n");
            return 2;
        }
    }

    // Declared before the window: the window's session closes first, then
    // the recorder stops.
    std::unique_ptr<kalix::ui::DemoRecorder> recorder;
    kalix::ui::MainWindow window(parser.isSet(rgb) ? kalix::ui::DrawPathChoice::Rgb
                                                   : kalix::ui::DrawPathChoice::YuvWhereAvailable);
    if (parser.isSet(demo)) {
        recorder = std::make_unique<kalix::ui::DemoRecorder>(clipCandidates());
        if (!recorder->start()) {
            std::fprintf(stderr, "kalix: the demo recorder could not start\n");
            return 1;
        }
        if (recorder->clipPath().empty())
            std::fprintf(stderr, "kalix: demo clip not found; the recorder sends its camera pictures\n");
        window.connectTo({"127.0.0.1", recorder->port(), "admin", "1234"});
    }
    window.show();

    int status = 0;
    if (parser.isSet(quit_after)) {
        const QString shot = parser.value(screenshot);
        QTimer::singleShot(static_cast<int>(quit_seconds * 1000), &window, [&window, &status, shot] {
            if (!shot.isEmpty() && !window.screenshot().save(shot, "PNG")) {
                std::fprintf(stderr, "kalix: cannot write %s\n", qPrintable(shot));
                status = 1;
            }
            QCoreApplication::quit();
        });
    }
    const int loop_status = app.exec();
    window.disconnectSession();
    if (recorder) recorder->stop();
    return loop_status != 0 ? loop_status : status;
}
