#include "ui/demo_ptz.h"

#include <cstdio>

#include "ui/main_window.h"
#include "ui/widgets/dome_pad.h"
#include "ui/widgets/preset_panel.h"
#include "ui/widgets/ptz_panel.h"

namespace kalix::ui {
namespace {

constexpr int kPollMs = 250;
constexpr int kGiveUpPolls = 80;  // 20 s for any one stage
constexpr int kSettlePolls = 2;   // the windows paint before the shot

}  // namespace

bool DemoPtzScript::knownState(const QString& state) {
    return state == QLatin1String("pan") || state == QLatin1String("zoom") || state == QLatin1String("preset") ||
           state == QLatin1String("dome");
}

DemoPtzScript::DemoPtzScript(MainWindow& window, QString state, QString shot)
    : QObject(&window), window_(window), state_(std::move(state)), shot_(std::move(shot)) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    timer_.start();
}

void DemoPtzScript::step() {
    if (++waited_ > kGiveUpPolls) {
        std::fprintf(stderr, "kalix: the PTZ demo stopped waiting at stage %d\n", stage_);
        timer_.stop();
        return;
    }
    app::ClientController& controller = window_.controller();
    app::PtzPanels& panels = controller.ptzPanels();
    const auto next = [this] {
        ++stage_;
        waited_ = 0;
    };
    switch (stage_) {
        case 0:  // live view: Pan or Zoom
            if (controller.session() == nullptr || !controller.session()->liveOn()) return;
            controller.press(state_ == QLatin1String("zoom") ? app::ControlId::Zoom : app::ControlId::Pan);
            return next();
        case 1:  // the recorder's answer: the keypad, the dome pad
            if (!panels.arrowsEnabled()) return;
            if (state_ == QLatin1String("preset") || state_ == QLatin1String("dome")) {
                panels.centrePressed();
                panels.keypad().digit(1);
                panels.keypad().digit(2);
                if (state_ == QLatin1String("dome")) panels.keypadDome();
                controller.ptzChanged();
            }
            return next();
        case 2: {
            if (waited_ < kSettlePolls) return;
            timer_.stop();
            QWidget* shown = state_ == QLatin1String("dome")     ? static_cast<QWidget*>(window_.domePad())
                             : state_ == QLatin1String("preset") ? static_cast<QWidget*>(window_.presetPanel())
                                                                 : static_cast<QWidget*>(window_.ptzPanel());
            if (shot_.isEmpty()) return;
            if (shown == nullptr || !shown->grab().save(shot_, "PNG"))
                std::fprintf(stderr, "kalix: cannot write %s\n", qPrintable(shot_));
            return;
        }
        default: return;
    }
}

}  // namespace kalix::ui
