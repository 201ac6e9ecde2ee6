#pragma once
// The dome-menu pad: while a dome camera shows its own on-screen menu, Sel
// enters and Prev leaves a menu level (the panel's arrows move through the
// menu); X closes the camera's menu and the pad.

#include <array>
#include <functional>

#include "app/ptz_panels.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;

inline constexpr QSize kDomePadSize{54, 171};

class DomePad final : public SkinDialog {
    Q_OBJECT

public:
    enum class Key { Select, Previous, Close };

    // `changed` runs after X.
    DomePad(app::PtzPanels& panels, std::function<void()> changed, QWidget* parent = nullptr);

    SkinButton* key(Key which) const { return keys_[static_cast<std::size_t>(which)]; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void press(Key which);

    app::PtzPanels& panels_;
    std::function<void()> changed_;
    std::array<SkinButton*, 3> keys_{};
};

}  // namespace kalix::ui
