#pragma once
// The preset keypad: mode keys (Preset, Learn), action keys (Set, Call,
// Tour), the digits, OK, Dome and X, over a display of the mode, the
// action and the number entered. One command per opening: OK (with a
// number) or Dome sends it and the keypad closes; X closes it unsent. Set
// and Dome need the user's preset set-up right.

#include <QString>

#include <array>
#include <functional>

#include "app/ptz_panels.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;

inline constexpr QSize kPresetPanelSize{320, 200};

class PresetPanel final : public SkinDialog {
    Q_OBJECT

public:
    enum class Key { Preset, Learn, Set, Call, Tour, Digit0, Ok = Digit0 + 10, Dome, Close };
    static constexpr int kKeys = static_cast<int>(Key::Close) + 1;

    // `changed` runs after OK, Dome and X (what the panels show changes).
    PresetPanel(app::PtzPanels& panels, std::function<void()> changed, QWidget* parent = nullptr);

    void refresh();
    SkinButton* key(Key which) const { return keys_[static_cast<std::size_t>(which)]; }
    static Key digitKey(int d) { return static_cast<Key>(static_cast<int>(Key::Digit0) + d); }
    // The display's two texts: mode and action, and the number.
    QString modeText() const;
    QString numberText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void press(Key which);

    app::PtzPanels& panels_;
    std::function<void()> changed_;
    std::array<SkinButton*, kKeys> keys_{};
};

}  // namespace kalix::ui
