#pragma once
// Keeps the screen awake while the client runs: operators watch cameras
// without touching the mouse. Asks the desktop's screen saver service
// (org.freedesktop.ScreenSaver on the session bus) for an inhibition and
// gives it back when destroyed. Without a session bus or the service
// nothing happens.

#include <cstdint>
#include <optional>

namespace kalix::ui {

class ScreenKeeper {
public:
    ScreenKeeper();
    ~ScreenKeeper();
    ScreenKeeper(const ScreenKeeper&) = delete;
    ScreenKeeper& operator=(const ScreenKeeper&) = delete;

    bool inhibiting() const { return cookie_.has_value(); }

private:
    std::optional<std::uint32_t> cookie_;
};

}  // namespace kalix::ui
