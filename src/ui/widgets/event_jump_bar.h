#pragma once
// The event-jump bar in its remote-playback form: seven skinned buttons on
// a small panel over the wall. The controller decides which buttons act
// (previous and next event, when the playback started at an event); the
// bar shows that and reports presses.

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>

#include "app/client_controller.h"

namespace kalix::ui {

class SkinButton;

inline constexpr QSize kEventJumpBarSize{246, 36};

class EventJumpBar final : public QWidget {
    Q_OBJECT

public:
    explicit EventJumpBar(std::function<app::ButtonState(app::EventJumpButton)> states, QWidget* parent = nullptr);

    // Reads every button's state again.
    void refresh();
    SkinButton* button(app::EventJumpButton which) const;

signals:
    void pressed(app::EventJumpButton button);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<app::ButtonState(app::EventJumpButton)> states_;
    std::array<SkinButton*, app::kEventJumpButtons> buttons_{};
    QImage panel_;
};

}  // namespace kalix::ui
