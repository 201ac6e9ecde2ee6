#pragma once
// `kalix --demo --demo-ptz pan|zoom|preset|dome [--ptz-shot FILE.png]`: the
// PTZ windows against the demo recorder, for headless screenshots. Once
// live view runs it presses Pan (Zoom for "zoom"); once the recorder has
// said the channel has PTZ, "preset" opens the keypad with the centre
// button and enters 12, "dome" goes on to the keypad's Dome. The window
// the state ends in (panel, keypad or dome pad) is written to FILE.

#include <QObject>
#include <QString>
#include <QTimer>

namespace kalix::ui {

class MainWindow;

class DemoPtzScript final : public QObject {
public:
    // False for a state that is none of the four.
    static bool knownState(const QString& state);
    DemoPtzScript(MainWindow& window, QString state, QString shot);

private:
    void step();

    MainWindow& window_;
    QString state_;
    QString shot_;
    QTimer timer_;
    int stage_ = 0;
    int waited_ = 0;
};

}  // namespace kalix::ui
