// kalix-cli ptz: log in, choose the PTZ channel and, once the recorder says
// it has PTZ, send the steps in order; then close.

#include <chrono>
#include <string>
#include <vector>

#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/commands/ptz_steps.h"
#include "cli/json_line.h"

namespace kalix::cli {
namespace {

using Clock = std::chrono::steady_clock;
using session::PtzForm;

class PtzCommandLine final : public AdminCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli ptz --channel C [--form pan|zoom] STEP... --host ADDR [--port N]\n"
               "                     --user NAME --password PASS [--timeout N] [--json]\n"
               "\n"
               "Logs in, chooses channel C (0-15) for PTZ and, when the recorder says it has a\n"
               "PTZ camera, sends the steps in order, then closes the session. Steps:\n"
               "  up|down|left|right[:MS]  press the arrow, hold MS ms (300), release\n"
               "  preset-set:N preset-go:N (1-999)  tour:N (1-4)  pattern:N (1-9)\n"
               "  learn:N learn-stop  dome-open dome-enter dome-esc dome-close  wait:MS\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        static const std::string help = std::string(AdminCommand::optionHelp()) +
                                        "  --channel C      ptz: the channel, 0-15\n"
                                        "  --form F         ptz: pan (default) or zoom, the arrows' form\n";
        return help;
    }

    OptionArity adminOption(std::string_view name) const override {
        return name == "--channel" || name == "--form" ? OptionArity::Value : OptionArity::Unknown;
    }
    std::optional<UsageError> setAdminOption(std::string_view name, std::string_view value) override {
        if (name == "--channel") {
            unsigned c = 0;
            if (!parseNumber(value, c) || c > 15) return UsageError{"invalid channel", std::string(value)};
            channel_ = static_cast<int>(c);
        } else if (value == "pan") {
            form_ = PtzForm::Pan;
        } else if (value == "zoom") {
            form_ = PtzForm::Zoom;
        } else {
            return UsageError{"invalid form", std::string(value)};
        }
        return std::nullopt;
    }
    std::optional<UsageError> positional(std::string_view word) override {
        const auto step = parsePtzStep(word);
        if (!step) return UsageError{"invalid step", std::string(word)};
        steps_.push_back(*step);
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (channel_ < 0) return UsageError{"missing", "--channel"};
        if (steps_.empty()) return UsageError{"missing", "STEP"};
        auto steps = steps_;
        if (auto refused = checkPtzSteps(steps)) return UsageError{*refused, ""};
        return std::nullopt;
    }
    bool prepareAdmin(const CommonOptions& common) override {
        answer_limit_ = common.answer_limit;
        checkPtzSteps(steps_);
        return true;
    }

    // On the state gathered after the login: everything is checked before
    // anything is sent.
    void work(SessionRun& run) override {
        auto& dvr = run.session();
        bool allowed = dvr.mayDo(session::Right::Ptz) && dvr.channelVisible(channel_);
        for (const PtzStep& step : steps_)
            if (needsPresetRight(step)) allowed = allowed && dvr.administration().mayUsePresets();
        if (!allowed) {
            run.out().notice(session::Notice::of(session::NoticeKind::NotAllowed));
            failed(run);
            return;
        }
        // The run ends when the steps are done or the recorder says no; the
        // command keeps its own time.
        run.setDeadline(Clock::now() + std::chrono::hours(24), RunEnd::NoAnswer);
        start(run);
    }

    void answer(const session::Event& event, SessionRun& run) override {
        const auto* answer = std::get_if<session::PtzChannelAnswer>(&event);
        if (answer == nullptr || phase_ != Phase::Asked) return;
        answered(run, answer->ptz);
    }

    std::optional<Clock::time_point> wakeAt() const override {
        if (phase_ == Phase::Asked || phase_ == Phase::Holding || phase_ == Phase::Waiting) return wake_;
        return std::nullopt;
    }

    void wake(SessionRun& run) override {
        if (run.ending()) {
            phase_ = Phase::Done;
            return;
        }
        switch (phase_) {
        case Phase::Asked: answered(run, false); break;
        case Phase::Holding:
            run.session().ptz().stopMove();
            ++next_;
            runSteps(run);
            break;
        case Phase::Waiting:
            ++next_;
            runSteps(run);
            break;
        default: break;
        }
    }

    void beforeClose(SessionRun& run) override {
        // An arrow still held when the run ends is released.
        if (phase_ == Phase::Holding) run.session().ptz().stopMove();
        phase_ = Phase::Done;
    }

private:
    enum class Phase { Idle, Asked, Holding, Waiting, Done };

    void start(SessionRun& run) {
        run.session().ptz().requestChannel(channel_, form_);
        phase_ = Phase::Asked;
        wake_ = Clock::now() + answer_limit_;
    }

    void answered(SessionRun& run, bool ptz) {
        run.out().line(JsonLine("ptz_channel").add("channel", static_cast<std::int64_t>(channel_)).add("ptz", ptz).str(),
                       "ptz channel " + std::to_string(channel_) + (ptz ? " has PTZ" : " has no PTZ"));
        if (!ptz) {
            phase_ = Phase::Done;
            failed(run);
            return;
        }
        next_ = 0;
        runSteps(run);
    }

    // Sends steps until one has to wait, or all are sent.
    void runSteps(SessionRun& run) {
        auto& ptz = run.session().ptz();
        while (next_ < steps_.size()) {
            const PtzStep& step = steps_[next_];
            if (step.kind == PtzStep::Kind::Arrow) {
                // Inside an open dome menu the arrows move through it in the pan form.
                const PtzForm form = step.dome_open ? PtzForm::Pan : form_;
                ptz.move(session::arrowCommand(step.arrow, form));
                phase_ = Phase::Holding;
                wake_ = Clock::now() + step.hold;
                return;
            }
            if (step.kind == PtzStep::Kind::Wait) {
                phase_ = Phase::Waiting;
                wake_ = Clock::now() + step.hold;
                return;
            }
            ptz.move(step.command, step.number);
            ++next_;
        }
        phase_ = Phase::Done;
        done(run);
    }

    int channel_ = -1;
    PtzForm form_ = PtzForm::Pan;
    std::vector<PtzStep> steps_;
    std::chrono::seconds answer_limit_{30};
    Phase phase_ = Phase::Idle;
    std::size_t next_ = 0;
    Clock::time_point wake_{};
};

}  // namespace

std::unique_ptr<SessionCommand> makePtzCommand() { return std::make_unique<PtzCommandLine>(); }

}  // namespace kalix::cli
