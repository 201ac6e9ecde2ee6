#include "app/ptz_panels.h"

namespace kalix::app {

using session::PtzCommand;
using session::PtzForm;

namespace {
constexpr unsigned kNumberLimit = 1000;
constexpr int kChannels = 16;

bool usable(int channel, std::uint32_t blocked) {
    return channel >= 0 && channel < kChannels && ((blocked >> channel) & 1u) == 0;
}
}  // namespace

std::optional<int> choosePtzChannel(int current, std::span<const int> shown_in_pane_order, std::uint32_t blocked) {
    for (int c : shown_in_pane_order)
        if (c == current && usable(c, blocked)) return c;
    for (int c : shown_in_pane_order)
        if (usable(c, blocked)) return c;
    return std::nullopt;
}

void PresetKeypad::presetButton() {
    mode_ = PresetMode::Preset;
    action_ = PresetAction::Call;
    number_ = 0;
}

void PresetKeypad::learnButton() {
    mode_ = PresetMode::Learn;
    action_ = PresetAction::Call;
    number_ = 0;
}

void PresetKeypad::setButton(bool allowed) {
    if (!allowed) return;
    action_ = PresetAction::Set;
    number_ = 0;
}

void PresetKeypad::callButton() {
    action_ = PresetAction::Call;
    number_ = 0;
}

void PresetKeypad::tourButton() {
    action_ = action_ == PresetAction::Tour ? PresetAction::Call : PresetAction::Tour;
    number_ = 0;
}

void PresetKeypad::digit(unsigned d) {
    if (d > 9) return;
    if (mode_ == PresetMode::Learn) {
        number_ = d;
    } else if (action_ == PresetAction::Tour) {
        number_ = d >= 1 && d <= 4 ? d : 0;
    } else {
        // Digits append; the number keeps its last three.
        number_ = (number_ * 10 + d) % kNumberLimit;
    }
}

std::optional<PtzCommand> PresetKeypad::okCommand() const {
    if (number_ == 0) return std::nullopt;
    if (mode_ == PresetMode::Learn) return action_ == PresetAction::Set ? PtzCommand::LearnStart : PtzCommand::PatternRun;
    switch (action_) {
    case PresetAction::Set: return PtzCommand::PresetSet;
    case PresetAction::Tour: return PtzCommand::TourRun;
    default: return PtzCommand::PresetGo;
    }
}

void PtzPanels::formButton(PtzForm form) {
    if (panel_open_ && form_ == form) {
        arrowReleased();  // a camera still moving would go on without a panel to stop it
        closeSmallWindows();
        panel_open_ = false;
        return;
    }
    form_ = form;
    if (!panel_open_) {
        panel_open_ = true;
        arrows_enabled_ = false;  // until the recorder says the channel has PTZ
    }
}

void PtzPanels::arrowPressed(session::PtzArrow arrow) {
    if (!panel_open_ || !arrows_enabled_ || holding_) return;
    link_.move(session::arrowCommand(arrow, form_), 0);
    holding_ = true;
}

void PtzPanels::arrowReleased() {
    if (!holding_) return;
    holding_ = false;
    link_.stopMove();
}

void PtzPanels::centrePressed() {
    if (!panel_open_ || !arrows_enabled_) return;
    if (learn_pending_) {
        link_.move(PtzCommand::LearnStop, learn_number_);
        learn_pending_ = false;
        keypad_open_ = false;
        return;
    }
    keypad_.presetButton();
    keypad_open_ = true;
}

void PtzPanels::keypadOk() {
    if (!keypad_open_) return;
    const auto command = keypad_.okCommand();
    if (!command) return;  // number 0 sends nothing
    link_.move(*command, keypad_.number());
    if (*command == PtzCommand::LearnStart) {
        learn_pending_ = true;
        learn_number_ = keypad_.number();
    }
    keypad_open_ = false;
}

void PtzPanels::keypadDome() {
    if (!keypad_open_ || !link_.presetSetupAllowed()) return;
    link_.move(PtzCommand::DomeOpen, 0);
    keypad_open_ = false;
    dome_open_ = true;
    // The arrows move through the dome menu in the pan form.
    form_ = PtzForm::Pan;
}

void PtzPanels::domeClose() {
    if (!dome_open_) return;
    link_.move(PtzCommand::DomeClose, 0);
    dome_open_ = false;
}

void PtzPanels::closeSmallWindows() {
    keypad_open_ = false;
    dome_open_ = false;
}

void PtzPanels::reset() {
    arrowReleased();
    if (learn_pending_) {
        link_.move(PtzCommand::LearnStop, learn_number_);
        learn_pending_ = false;
    }
    closeSmallWindows();
    panel_open_ = false;
    arrows_enabled_ = false;
}

}  // namespace kalix::app
