#pragma once
// The behaviour of the three PTZ windows without widgets: the PTZ panel
// (four arrows in the pan or zoom form and a centre button), the preset
// keypad (presets, learned patterns, tours) and the dome-menu pad. The
// windows draw this state and forward presses; what goes to the recorder
// leaves through the PtzLink the owner gives.

#include <cstdint>
#include <optional>
#include <span>

#include "session/ptz.h"

namespace kalix::app {

// What the panels ask of the session and the rights.
class PtzLink {
public:
    virtual ~PtzLink() = default;
    virtual void move(session::PtzCommand command, unsigned number) = 0;
    virtual void stopMove() = 0;
    // The user may set presets, learn patterns and open the dome menu.
    virtual bool presetSetupAllowed() const = 0;
};

// The channel the PTZ commands go to when the panel opens: the current one
// while it is on screen and not blocked, else the first channel on screen
// (in pane order) that is not blocked. None when the screen shows no such
// channel: then no camera is asked for, rather than one the operator
// cannot see or may not watch.
std::optional<int> choosePtzChannel(int current, std::span<const int> shown_in_pane_order, std::uint32_t blocked);

enum class PresetMode : std::uint8_t { Preset = 0, Learn = 1 };
enum class PresetAction : std::uint8_t { Set = 0, Call = 1, Tour = 2 };

// The numeric keypad of the preset panel.
class PresetKeypad {
public:
    void presetButton();  // preset mode, call, number cleared
    void learnButton();   // learn mode, call, number cleared
    void setButton(bool allowed);
    void callButton();
    void tourButton();  // toggles between tour and call
    void digit(unsigned d);
    // The command OK sends, if any: nothing for number 0.
    std::optional<session::PtzCommand> okCommand() const;

    PresetMode mode() const { return mode_; }
    PresetAction action() const { return action_; }
    unsigned number() const { return number_; }

private:
    PresetMode mode_ = PresetMode::Preset;
    PresetAction action_ = PresetAction::Call;
    unsigned number_ = 0;
};

class PtzPanels {
public:
    explicit PtzPanels(PtzLink& link) : link_(link) {}

    // Pan and Zoom buttons: open in the form, switch to it, or close when
    // the panel already shows it.
    void formButton(session::PtzForm form);
    // The recorder's answer for the PTZ channel: arrows and centre enabled.
    void channelAnswer(bool has_ptz) { arrows_enabled_ = has_ptz; }

    // Arrow buttons and the arrow keys while the panel has focus.
    void arrowPressed(session::PtzArrow arrow);
    void arrowReleased();
    // The centre button: the preset keypad, or the end of a pending learn.
    void centrePressed();

    // Preset keypad.
    PresetKeypad& keypad() { return keypad_; }
    const PresetKeypad& keypad() const { return keypad_; }
    // Set, as far as the user holds the set-up right.
    void keypadSet() { keypad_.setButton(link_.presetSetupAllowed()); }
    bool setupAllowed() const { return link_.presetSetupAllowed(); }
    void keypadOk();
    void keypadDome();
    void keypadClose() { keypad_open_ = false; }

    // Dome pad.
    void domeSelect() { link_.move(session::PtzCommand::DomeEnter, 0); }
    void domePrevious() { link_.move(session::PtzCommand::DomeEscape, 0); }
    void domeClose();

    // Everything closes (live view stopped, rights withdrawn); a pending
    // learn is stopped first.
    void reset();

    bool panelOpen() const { return panel_open_; }
    session::PtzForm form() const { return form_; }
    bool arrowsEnabled() const { return arrows_enabled_; }
    bool keypadOpen() const { return keypad_open_; }
    bool domePadOpen() const { return dome_open_; }
    // While the dome menu is open the main window ignores its channel and
    // split buttons.
    bool domeMenuMode() const { return dome_open_; }
    bool learnPending() const { return learn_pending_; }
    // An arrow is held: its release sends the stop.
    bool holding() const { return holding_; }
    unsigned learnNumber() const { return learn_number_; }

private:
    void closeSmallWindows();

    PtzLink& link_;
    bool panel_open_ = false;
    session::PtzForm form_ = session::PtzForm::Pan;
    bool arrows_enabled_ = false;
    bool keypad_open_ = false;
    bool dome_open_ = false;
    bool learn_pending_ = false;
    unsigned learn_number_ = 0;
    bool holding_ = false;
    PresetKeypad keypad_;
};

}  // namespace kalix::app
