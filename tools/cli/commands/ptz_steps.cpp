#include "cli/commands/ptz_steps.h"

#include "cli/session_runner.h"

namespace kalix::cli {
namespace {

using session::PtzCommand;

struct Named {
    std::string_view name;
    PtzCommand command;
    unsigned low = 0, high = 0;  // the number's range; 0, 0: no number
};

constexpr Named kCommands[] = {
    {"preset-set", PtzCommand::PresetSet, 1, 999}, {"preset-go", PtzCommand::PresetGo, 1, 999},
    {"tour", PtzCommand::TourRun, 1, 4},          {"learn", PtzCommand::LearnStart, 1, 999},
    {"pattern", PtzCommand::PatternRun, 1, 9},    {"learn-stop", PtzCommand::LearnStop},
    {"dome-open", PtzCommand::DomeOpen},          {"dome-enter", PtzCommand::DomeEnter},
    {"dome-esc", PtzCommand::DomeEscape},         {"dome-close", PtzCommand::DomeClose},
};

constexpr std::pair<std::string_view, session::PtzArrow> kArrows[] = {
    {"up", session::PtzArrow::Up},
    {"down", session::PtzArrow::Down},
    {"left", session::PtzArrow::Left},
    {"right", session::PtzArrow::Right},
};

// Up to a day of milliseconds: enough for any pause, far from overflow.
constexpr unsigned kMaxMilliseconds = 86'400'000;

}  // namespace

std::optional<PtzStep> parsePtzStep(std::string_view word) {
    const auto colon = word.find(':');
    const std::string_view name = word.substr(0, colon);
    const std::optional<std::string_view> arg =
        colon == std::string_view::npos ? std::nullopt : std::optional(word.substr(colon + 1));
    unsigned value = 0;
    if (arg && !parseNumber(*arg, value)) return std::nullopt;

    for (const auto& [arrow_name, arrow] : kArrows) {
        if (name != arrow_name) continue;
        PtzStep step{PtzStep::Kind::Arrow, arrow};
        if (arg) {
            if (value == 0 || value > kMaxMilliseconds) return std::nullopt;
            step.hold = std::chrono::milliseconds(value);
        }
        return step;
    }
    if (name == "wait") {
        if (!arg || value > kMaxMilliseconds) return std::nullopt;
        PtzStep step{PtzStep::Kind::Wait};
        step.hold = std::chrono::milliseconds(value);
        return step;
    }
    for (const Named& n : kCommands) {
        if (name != n.name) continue;
        const bool numbered = n.high != 0;
        if (numbered != arg.has_value()) return std::nullopt;
        if (numbered && (value < n.low || value > n.high)) return std::nullopt;
        PtzStep step{PtzStep::Kind::Command};
        step.command = n.command;
        step.number = numbered ? value : 0;
        return step;
    }
    return std::nullopt;
}

std::optional<std::string> checkPtzSteps(std::vector<PtzStep>& steps) {
    bool learning = false;
    unsigned learn_number = 0;
    bool dome = false;
    for (PtzStep& step : steps) {
        if (step.kind == PtzStep::Kind::Arrow) step.dome_open = dome;
        if (step.kind != PtzStep::Kind::Command) continue;
        switch (step.command) {
        case PtzCommand::LearnStart:
            learning = true;
            learn_number = step.number;
            break;
        case PtzCommand::LearnStop:
            if (!learning) return "learn-stop without learn";
            // The stop names the pattern being learned.
            step.number = learn_number;
            learning = false;
            break;
        case PtzCommand::DomeOpen: dome = true; break;
        case PtzCommand::DomeEnter:
        case PtzCommand::DomeEscape:
            if (!dome) return "dome key without dome-open";
            break;
        case PtzCommand::DomeClose:
            if (!dome) return "dome key without dome-open";
            dome = false;
            break;
        default: break;
        }
    }
    return std::nullopt;
}

bool needsPresetRight(const PtzStep& step) {
    return step.kind == PtzStep::Kind::Command &&
           (step.command == PtzCommand::PresetSet || step.command == PtzCommand::LearnStart ||
            step.command == PtzCommand::DomeOpen);
}

}  // namespace kalix::cli
