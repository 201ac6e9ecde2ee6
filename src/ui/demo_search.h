#pragma once
// `kalix --demo --demo-search DIR`: the remote search as an operator goes
// through it, against the demo recorder, for headless screenshots. Once
// logged in it presses RSearch, opens the calendar, picks the last recorded
// day before the newest one, zooms the day timeline into the working day and
// places the cursor, opens the event list, then plays from the timeline and
// closes the dialog so that the wall shows the remote playback. Each window
// is written to DIR as a PNG when it is up.

#include <QObject>
#include <QString>
#include <QTimer>

namespace kalix::ui {

class MainWindow;

class DemoSearchScript final : public QObject {
public:
    DemoSearchScript(MainWindow& window, QString folder);

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
