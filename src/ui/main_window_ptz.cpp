// The main window's part of PTZ control: the panel, the preset keypad and
// the dome pad open, close and redraw as the controller's PTZ model says.
// The windows press through the model and then tell the controller, which
// redraws Pan and Zoom and calls back here.

#include "ui/main_window.h"
#include "ui/widgets/dome_pad.h"
#include "ui/widgets/preset_panel.h"
#include "ui/widgets/ptz_panel.h"

namespace kalix::ui {
namespace {

// A window that should be open is made (shown at `where` in the main
// window's client coordinates) or refreshed; one that should not is hidden
// and deleted later: the call may come from inside its own button.
template <typename Window, typename Make>
void follow(QPointer<Window>& window, bool open, Make make) {
    if (!open) {
        if (Window* w = window.data()) {
            window = nullptr;
            w->hide();
            w->deleteLater();
        }
        return;
    }
    if (!window) {
        window = make();
        return;
    }
    if constexpr (requires(Window& w) { w.refresh(); }) window->refresh();
}

}  // namespace

void MainWindow::ptzWindowsChanged() {
    app::PtzPanels& panels = controller_->ptzPanels();
    const std::uint8_t alpha = settings_.alpha(app::OpacitySlot::PtzAndEventBar);
    const auto changed = [this] { controller_->ptzChanged(); };
    const auto place = [this, alpha](SkinDialog* w, QPoint client) {
        w->setOpacityByte(alpha);
        w->show();  // the first showing centres a skinned dialog: moved after it
        w->move(mapToGlobal(client));
    };
    follow(ptz_panel_, panels.panelOpen(), [&] {
        auto* w = new PtzPanel(panels, changed, this);
        place(w, kPtzPanelPos);
        w->setFocus();
        return w;
    });
    follow(preset_panel_, panels.keypadOpen(), [&] {
        auto* w = new PresetPanel(panels, changed, this);
        place(w, QPoint(0, height() - kPresetPanelAboveBottom));
        return w;
    });
    follow(dome_pad_, panels.domePadOpen(), [&] {
        auto* w = new DomePad(panels, changed, this);
        place(w, QPoint(width() - kDomePadFromRight, height() - kDomePadAboveBottom));
        return w;
    });
}

PtzPanel* MainWindow::ptzPanel() const { return ptz_panel_.data(); }
PresetPanel* MainWindow::presetPanel() const { return preset_panel_.data(); }
DomePad* MainWindow::domePad() const { return dome_pad_.data(); }

}  // namespace kalix::ui
