// kalix: the desktop client.
//
//   kalix [--demo] [--demo-restricted] [--demo-playback] [--demo-search DIR] [--rgb] [--quit-after SECONDS]
//   kalix [--demo] [--demo-playback] [--demo-search DIR] [--local-play T] [--rgb] [--quit-after SECONDS]
//   kalix [--demo] [--demo-playback] [--demo-search DIR] [--demo-backup DIR [--demo-backup-page PAGE]] [--rgb]
//         [--quit-after SECONDS]
//         [--screenshot FILE.png] [--full-screen-shot FILE.png] [--layout N] [--full-screen]
//         [--notice KIND] [--debug]
//   kalix [--demo] [--demo-save] [--demo-load FILE | --demo-load-dialog] [--quit-after SECONDS]
//   kalix --demo --demo-ptz pan|zoom|preset|dome [--ptz-shot FILE.png] [--quit-after SECONDS]
//
// --demo starts a simulated recorder inside the program and connects to it
// through the connect dialog's path; --quit-after ends the program in order
// after that time; --screenshot writes the main window, as grabbed just
// before quitting, to a PNG. The remaining options press buttons for
// headless screenshots: a split layout (1, 4, 6, 7, 8, 9, 10, 13, 16), Full,
// or an operator notice of the given kind. --demo-playback starts a remote
// playback once logged in (time search: all channels, 45 minutes ago, in
// the demo recorder's recordings of the last hour), so a screenshot shows
// the playback bar, the time display and the status strip. --demo-search
// goes through the remote search dialog against the demo recorder, writes
// its windows to DIR and plays from the day timeline (ui/demo_search.h).
// --demo-save presses Save once the pictures run; --demo-load opens the
// image viewer on FILE and --demo-load-dialog presses Load (the file dialog
// with its preview, the newest still selected) a moment later.
// --demo-ptz opens the PTZ panel in the pan or zoom form, the preset
// keypad or the dome pad, and --ptz-shot writes that window (ui/demo_ptz.h).

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPixmap>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/client_profile.h"
#include "app/debug_console.h"
#include "app/storage_medium.h"
#include "ui/demo_recorder.h"
#include "ui/demo_backup.h"
#include "ui/demo_ptz.h"
#include "ui/demo_search.h"
#include "ui/dialogs/image_preview_dialog.h"
#include "ui/dialogs/image_viewer.h"
#include "ui/main_window.h"
#include "ui/resource_bundle.h"

namespace {

using kalix::app::ControlId;

// Paths as the core takes them: `first`, then the program's data places.
std::vector<std::filesystem::path> candidates(const std::filesystem::path& first, const char* name) {
    std::vector<std::filesystem::path> out{first};
    for (const QString& path : kalix::ui::clientDataCandidates(QString::fromLatin1(name)))
        out.emplace_back(path.toStdString());
    return out;
}

kalix::app::ProgramVersion programVersion() {
    kalix::app::ProgramVersion version;
    const QStringList parts = QStringLiteral(KALIX_VERSION).split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < parts.size(); ++i) version.parts[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(parts[i].toUInt());
    return version;
}

int splitIndexOf(int panes) {
    const int counts[] = {1, 4, 6, 7, 8, 9, 10, 13, 16};
    for (int i = 0; i < 9; ++i)
        if (counts[i] == panes) return i;
    return -1;
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
    const QCommandLineOption full_shot(QStringLiteral("full-screen-shot"),
                                       QStringLiteral("Write the full-screen wall to FILE (PNG) just before quitting."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption rgb(QStringLiteral("rgb"),
                                 QStringLiteral("Draw pictures on the RGB path even where OpenGL works."));
    const QCommandLineOption layout(QStringLiteral("layout"),
                                    QStringLiteral("Press the split button of N panes once connected."), QStringLiteral("N"));
    const QCommandLineOption full(QStringLiteral("full-screen"), QStringLiteral("Press Full once connected."));
    const QCommandLineOption notice(QStringLiteral("notice"),
                                    QStringLiteral("Show the operator notice of KIND (0x13: version) once connected."),
                                    QStringLiteral("KIND"));
    const QCommandLineOption demo_restricted(
        QStringLiteral("demo-restricted"),
        QStringLiteral("The demo's account holds few rights: record, web setup and search disabled, a covert and a "
                       "forbidden channel hidden."));
    const QCommandLineOption demo_playback(
        QStringLiteral("demo-playback"),
        QStringLiteral("Once logged in, play the recorder's recordings back from 45 minutes ago, as the time search does."));
    const QCommandLineOption demo_search(
        QStringLiteral("demo-search"),
        QStringLiteral("Once logged in, go through the remote search, write its windows to DIR and play from the timeline."),
        QStringLiteral("DIR"));
    const QCommandLineOption local_play(
        QStringLiteral("local-play"),
        QStringLiteral("Start local playback at T (seconds since 1970) from the storage location's Download folder."),
        QStringLiteral("T"));
    const QCommandLineOption demo_backup(
        QStringLiteral("demo-backup"),
        QStringLiteral("Once logged in, download a minute through the Backup tab, writing its windows to DIR."),
        QStringLiteral("DIR"));
    const QCommandLineOption demo_save(QStringLiteral("demo-save"),
                                       QStringLiteral("Press Save once the pictures run (stills go to the Saved folder)."));
    const QCommandLineOption demo_load(QStringLiteral("demo-load"),
                                       QStringLiteral("Open the image viewer on FILE after the pictures have begun."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption demo_load_dialog(
        QStringLiteral("demo-load-dialog"),
        QStringLiteral("Press Load after the pictures have begun; the newest still in Saved is selected."));
    const QCommandLineOption image_shot(
        QStringLiteral("image-shot"),
        QStringLiteral("Write the image viewer, or Load's file dialog when no viewer is open, to FILE (PNG) just "
                       "before quitting."),
        QStringLiteral("FILE"));
    const QCommandLineOption demo_backup_page(
        QStringLiteral("demo-backup-page"),
        QStringLiteral("With --demo-backup: the Backup page to show: range (the default), calendar, day, event or channels."),
        QStringLiteral("PAGE"));
    const QCommandLineOption demo_ptz(
        QStringLiteral("demo-ptz"),
        QStringLiteral("Once live view runs, open the PTZ panel in STATE: pan, zoom, preset (the keypad) or dome (the "
                       "dome pad)."),
        QStringLiteral("STATE"));
    const QCommandLineOption ptz_shot(QStringLiteral("ptz-shot"),
                                      QStringLiteral("Write the PTZ window --demo-ptz opened to FILE.png."),
                                      QStringLiteral("FILE.png"));
    const QCommandLineOption debug(QStringLiteral("debug"),
                                   QStringLiteral("Print the debug console's lines on standard error (as KALIX_DEBUG=1)."));
    for (const auto* o : {&demo, &rgb, &quit_after, &screenshot, &full_shot, &layout, &full, &notice, &demo_playback,
                          &demo_search, &demo_backup, &demo_backup_page, &local_play, &debug, &demo_restricted,
                          &demo_save, &demo_load, &demo_load_dialog, &image_shot, &demo_ptz, &ptz_shot})
        parser.addOption(*o);
    parser.process(app);
    if (parser.isSet(debug)) kalix::app::enableDebugConsole(true);

    double quit_seconds = 0;
    if (parser.isSet(quit_after)) {
        bool ok = false;
        quit_seconds = parser.value(quit_after).toDouble(&ok);
        if (!ok || quit_seconds < 0) {
            std::fprintf(stderr, "kalix: --quit-after needs a number of seconds\n");
            return 2;
        }
    }
    if (parser.isSet(demo_ptz) && !kalix::ui::DemoPtzScript::knownState(parser.value(demo_ptz))) {
        std::fprintf(stderr, "kalix: --demo-ptz takes pan, zoom, preset or dome\n");
        return 2;
    }
    int split_index = -1;
    if (parser.isSet(layout) && (split_index = splitIndexOf(parser.value(layout).toInt())) < 0) {
        std::fprintf(stderr, "kalix: --layout takes 1, 4, 6, 7, 8, 9, 10, 13 or 16\n");
        return 2;
    }

    // Start-up: the branding file, the medium we run from, the UTC offset,
    // the resource bundle.
    kalix::ui::MainWindowSetup setup;
    setup.profile = kalix::app::loadClientProfile(
        candidates(std::filesystem::current_path() / kalix::app::kProfileFileName, kalix::app::kProfileFileName));
    setup.storage = kalix::app::storageOf(QCoreApplication::applicationFilePath().toStdString());
    setup.utc_offset = kalix::protocol::UtcOffset::measure(std::time(nullptr));
    setup.version = programVersion();
    // The settings' draw mode decides unless the RGB path is asked for.
    setup.draw_path = parser.isSet(rgb) ? kalix::ui::DrawPathChoice::Rgb : kalix::ui::DrawPathChoice::YuvWhereAvailable;
    // The decoders are FFmpeg's, linked into the program: always present.
    kalix::app::consolePrint("H.264 decoder: FFmpeg (linked)\n");
    if (!kalix::ui::loadResourceBundle()) {
        kalix::app::consolePrint("kalixres.rcc not found.\n");
        std::fprintf(stderr, "kalix: kalixres.rcc not found; no skin and no texts\n");
    }

    // Declared before the window: the window's session closes first, then
    // the recorder stops.
    std::unique_ptr<kalix::ui::DemoRecorder> recorder;
    if (parser.isSet(demo)) {
        // The demo's clip: in the program's data places, or in the source
        // tree it was built from.
        std::vector<std::string> clips;
        for (const QString& path : kalix::ui::clientDataCandidates(QStringLiteral("clip704x576.264")))
            clips.push_back(path.toStdString());
        clips.push_back(std::string(KALIX_SOURCE_DIR) + "/tests/data/h264/clip704x576.264");
        recorder = std::make_unique<kalix::ui::DemoRecorder>(clips, parser.isSet(demo_restricted));
        if (!recorder->start()) {
            std::fprintf(stderr, "kalix: the demo recorder could not start\n");
            return 1;
        }
        if (recorder->clipPath().empty())
            std::fprintf(stderr, "kalix: demo clip not found; the recorder sends its camera pictures\n");
        kalix::app::ConnectRequest request;
        request.address = "127.0.0.1";
        request.port = recorder->port();
        request.user = "admin";
        request.password = "1234";
        request.description = "Demo recorder";
        setup.auto_connect = request;
    }
    kalix::ui::MainWindow window(std::move(setup));
    window.show();
    QTimer::singleShot(0, &window, [&window] { window.start(); });

    // The screenshot options press their buttons a moment after the
    // pictures have begun.
    if (split_index >= 0 || parser.isSet(full) || parser.isSet(notice)) {
        const int notice_kind = parser.value(notice).toInt(nullptr, 0);
        const bool want_notice = parser.isSet(notice), want_full = parser.isSet(full);
        QTimer::singleShot(1500, &window, [&window, split_index, want_full, want_notice, notice_kind] {
            if (split_index >= 0) window.controller().press(kalix::app::splitButton(split_index));
            if (want_full) window.controller().press(ControlId::Full);
            if (want_notice)
                window.controller().requestNotice(
                    kalix::session::Notice{static_cast<std::uint16_t>(notice_kind), 0, kalix::session::Owner::MainWindow});
        });
    }

    // Remote playback as the date-and-time search starts it: every channel,
    // 45 minutes before the recorder's clock (the PC's local time), well
    // inside the demo recorder's first stretch of the last hour. Tried until
    // the session has logged in.
    if (parser.isSet(demo_playback)) {
        auto* retry = new QTimer(&window);
        retry->setInterval(250);
        QObject::connect(retry, &QTimer::timeout, &window, [&window, retry, tries = 0]() mutable {
            const kalix::protocol::RecorderTime start =
                kalix::protocol::localWallClock(std::time(nullptr), kalix::protocol::UtcOffset::measure(std::time(nullptr))) - 45 * 60;
            const kalix::session::PlayStart request{kalix::session::kAllChannels, 0x3F, start};
            const kalix::app::RemotePlayInit init{kalix::app::PlayOrigin::TimeSearch, start, kalix::session::kAllChannels, {}, {}};
            if (window.controller().startRemotePlayback(request, init) || ++tries >= 40) retry->stop();
        });
        QTimer::singleShot(1000, retry, qOverload<>(&QTimer::start));
    }

    if (parser.isSet(demo_search)) new kalix::ui::DemoSearchScript(window, parser.value(demo_search));
    if (parser.isSet(demo_backup)) {
        const auto page = kalix::ui::demoBackupPage(parser.value(demo_backup_page));
        if (parser.isSet(demo_backup_page) && !page) {
            std::fprintf(stderr, "kalix: --demo-backup-page: range, calendar, day, event or channels\n");
            return 2;
        }
        new kalix::ui::DemoBackupScript(window, parser.value(demo_backup), page.value_or(kalix::ui::DemoBackupPage::Range));
    }
    if (parser.isSet(demo_ptz)) new kalix::ui::DemoPtzScript(window, parser.value(demo_ptz), parser.value(ptz_shot));

    if (parser.isSet(local_play)) {
        const auto t = static_cast<kalix::protocol::RecorderTime>(parser.value(local_play).toULongLong());
        QTimer::singleShot(500, &window, [&window, t] { window.controller().startLocalPlayback(t); });
    }

    if (parser.isSet(demo_save))
        QTimer::singleShot(1500, &window, [&window] { window.controller().press(ControlId::Save); });
    if (parser.isSet(demo_load)) {
        const QString file = parser.value(demo_load);
        QTimer::singleShot(2500, &window, [&window, file] { window.openImageViewer(file); });
    }
    if (parser.isSet(demo_load_dialog)) {
        QTimer::singleShot(3000, &window, [&window] {
            window.controller().press(ControlId::Load);
            kalix::ui::ImagePreviewDialog* dialog = window.imagePreviewDialog();
            if (!dialog) return;
            const QDir saved(dialog->directory());
            const QStringList stills =
                saved.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.bmp"), QStringLiteral("*.tif")}, QDir::Files,
                                QDir::Time);
            if (stills.isEmpty()) return;
            dialog->selectFile(stills.front());
            dialog->previewFile(saved.filePath(stills.front()));
        });
    }

    int status = 0;
    if (parser.isSet(quit_after)) {
        const QString shot = parser.value(screenshot);
        const QString wall_shot = parser.value(full_shot);
        const QString picture_shot = parser.value(image_shot);
        QTimer::singleShot(static_cast<int>(quit_seconds * 1000), &window, [&window, &status, shot, wall_shot, picture_shot] {
            if (!shot.isEmpty() && !window.screenshot().save(shot, "PNG")) {
                std::fprintf(stderr, "kalix: cannot write %s\n", qPrintable(shot));
                status = 1;
            }
            if (!wall_shot.isEmpty() && !window.fullScreenShot().save(wall_shot, "PNG")) {
                std::fprintf(stderr, "kalix: cannot write %s (is the wall full screen?)\n", qPrintable(wall_shot));
                status = 1;
            }
            if (!picture_shot.isEmpty()) {
                QWidget* shown = window.imageViewer();
                if (!shown) shown = window.imagePreviewDialog();
                if (!shown || !shown->grab().save(picture_shot, "PNG")) {
                    std::fprintf(stderr, "kalix: cannot write %s (no viewer or Load dialog open)\n",
                                 qPrintable(picture_shot));
                    status = 1;
                }
            }
            window.quit();
        });
    }
    const int loop_status = app.exec();
    // The shutdown steps talk to the recorder: they run before the demo's
    // recorder stops.
    window.controller().shutdown();
    if (recorder) recorder->stop();
    return loop_status != 0 ? loop_status : status;
}
