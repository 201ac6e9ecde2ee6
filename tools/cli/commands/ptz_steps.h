#pragma once
// The steps of kalix-cli ptz, read from the command line: arrows held for a
// while, preset, pattern, tour and dome-menu commands, and pauses.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/ptz.h"

namespace kalix::cli {

struct PtzStep {
    enum class Kind { Arrow, Command, Wait };
    Kind kind = Kind::Command;
    session::PtzArrow arrow = session::PtzArrow::Up;
    session::PtzCommand command = session::PtzCommand::PresetGo;
    unsigned number = 0;
    std::chrono::milliseconds hold{300};  // Arrow: how long; Wait: the pause
    bool dome_open = false;               // Arrow: sent while the dome menu is open (pan form)
    friend bool operator==(const PtzStep&, const PtzStep&) = default;
};

// Reads one step; nothing when the word is no step or its number is out of
// range.
std::optional<PtzStep> parsePtzStep(std::string_view word);

// Checks the sequence as a whole and marks the arrows inside an open dome
// menu: a learn stop needs a learn started before it, and the dome keys an
// open dome menu. The refusal's text, or nothing.
std::optional<std::string> checkPtzSteps(std::vector<PtzStep>& steps);

// Whether a step needs the preset set-up right (preset-set, learn,
// dome-open).
bool needsPresetRight(const PtzStep& step);

}  // namespace kalix::cli
