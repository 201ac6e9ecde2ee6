#pragma once
// `kalix --demo --demo-backup DIR`: a backup as an operator makes it,
// against the demo recorder, for headless screenshots. Once logged in it
// presses RSearch, opens the Backup tab, picks the minute that ended a
// minute ago on all channels, presses "Calculate", writes the page with its
// size to DIR/backup-calculated.png, presses "Backup" and writes the
// progress window to DIR/backup-progress.png while the transfer runs.

#include <QObject>
#include <QString>
#include <QTimer>

namespace kalix::ui {

class MainWindow;

class DemoBackupScript final : public QObject {
public:
    DemoBackupScript(MainWindow& window, QString folder);

private:
    void step();
    void save(QWidget& widget, const char* name);

    MainWindow& window_;
    QString folder_;
    QTimer timer_;
    int stage_ = 0;
    int waited_ = 0;
};

}  // namespace kalix::ui
