#pragma once
// The main window logged in to a simulated recorder on this machine, as
// the window tests start it: RGB drawing, no mixer, a scratch home folder
// and settings in memory.

#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/settings_store.h"
#include "sim/recorder_sim.h"
#include "sim/sim_config.h"
#include "ui/main_window.h"
#include "ui/skin/skin_button.h"

namespace kalix::ui::test {

// Processes events until `pred` holds, for at most `ms` milliseconds.
template <typename Pred>
bool waitFor(Pred pred, int ms = 10'000) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (pred()) return true;
        QTest::qWait(20);
    }
    return pred();
}

struct SimMainWindow {
    SimMainWindow() = default;
    SimMainWindow(const SimMainWindow&) = delete;
    SimMainWindow& operator=(const SimMainWindow&) = delete;
    ~SimMainWindow() {
        window.reset();
        if (recorder) recorder->stop();
    }

    // Starts the recorder and the window, which connects as admin; false
    // when the recorder cannot listen or the folder cannot be made.
    bool start(sim::SimConfig config, std::unique_ptr<app::MemorySettingsStore> store = nullptr,
               app::ProgramVersion version = {}) {
        if (!home.isValid()) return false;
        recorder = std::make_unique<sim::RecorderSim>(std::move(config));
        if (!recorder->start()) return false;
        MainWindowSetup setup;
        setup.draw_path = DrawPathChoice::Rgb;
        setup.open_mixer = false;
        setup.home = home.path().toStdString();
        if (!store) store = std::make_unique<app::MemorySettingsStore>();
        settings = store.get();
        setup.settings = std::move(store);
        setup.version = version;
        app::ConnectRequest request;
        request.address = "127.0.0.1";
        request.port = recorder->port();
        request.user = "admin";
        request.password = "1234";
        setup.auto_connect = request;
        window = std::make_unique<MainWindow>(std::move(setup));
        window->show();
        window->start();
        return true;
    }
    // Logged in with live view on and its button usable.
    bool waitForLive() {
        return waitFor([&] {
            const auto* s = window->controller().session();
            return s != nullptr && s->liveOn() && window->button(app::ControlId::Live)->isEnabled();
        });
    }

    QTemporaryDir home;
    app::MemorySettingsStore* settings = nullptr;  // owned by the window
    std::unique_ptr<sim::RecorderSim> recorder;
    std::unique_ptr<MainWindow> window;
};

}  // namespace kalix::ui::test
