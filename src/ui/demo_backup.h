#pragma once
// `kalix --demo --demo-backup DIR [--demo-backup-page PAGE]`: the Backup
// tab as an operator uses it, against the demo recorder, for headless
// screenshots. Once logged in it presses RSearch and opens the Backup tab,
// then by PAGE:
//   range     (the default) picks the minute that ended a minute ago on all
//             channels, presses "Calculate", writes the page with its size
//             to DIR/backup-calculated.png, presses "Backup" and writes the
//             progress window to DIR/backup-progress.png;
//   calendar  opens the Calendar sub-tab: DIR/backup-calendar.png;
//   day       picks the newest recorded day there: DIR/backup-day.png, then
//             takes its stretch with OK: DIR/backup-day-range.png;
//   event     opens the Event sub-tab: DIR/backup-events.png, then takes
//             the first event with OK: DIR/backup-event-range.png;
//   channels  opens Select Channel and clears channel 2:
//             DIR/backup-channels.png.

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace kalix::ui {

class BackupPageWidget;
class MainWindow;

enum class DemoBackupPage : int { Range, Calendar, Day, Event, Channels };
// The page named on the command line; nothing for an unknown name.
std::optional<DemoBackupPage> demoBackupPage(const QString& name);

class DemoBackupScript final : public QObject {
public:
    DemoBackupScript(MainWindow& window, QString folder, DemoBackupPage page = DemoBackupPage::Range);

private:
    void step();
    // The stages after the Backup tab is up; true when the stage is done.
    bool rangeStage(BackupPageWidget* page);  // null once the dialog has gone
    bool calendarStage(BackupPageWidget& page);
    bool eventStage(BackupPageWidget& page);
    bool channelStage(BackupPageWidget& page);
    void save(QWidget& widget, const char* name);

    MainWindow& window_;
    QString folder_;
    DemoBackupPage page_;
    QTimer timer_;
    int stage_ = 0;
    int waited_ = 0;
};

}  // namespace kalix::ui
