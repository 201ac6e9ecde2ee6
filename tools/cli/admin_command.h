#pragma once
// What the administration commands (status, record, reboot, db-init,
// config, logs, info, …) share on top of the session runner:
//   the options --settle S (default 1) and --date-format 0|1|2;
//   log in (live view starts as after any login), gather for S seconds what
//     the recorder sends unasked (rights, channel names, recording state,
//     stored blocks, the configuration block);
//   then the command's work(), which sends its request and waits with
//     waitForAnswer() at most --timeout seconds for each answer, or ends
//     the run at once;
//   close as login does, the "closed" line last.
// Exit status 0 when the work was done (done()), 3 when it was not allowed,
// refused, not answered or the session ended first, 2 for usage errors.
// kalix-cli's own refusals print {"event":"refused","reason":T}.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "cli/session_runner.h"

namespace kalix::cli {

struct AdminOptions {
    std::chrono::seconds settle{1};
    int date_format = 0;  // 0 year-month-day, 1 month-day-year, 2 day-month-year
    std::chrono::seconds answer_limit{30};
};

class AdminCommand : public SessionCommand {
public:
    // -- for the command's own hooks --
    const AdminOptions& adminOptions() const { return admin_; }
    // Waits at most --timeout seconds from now; the run ends as "no answer"
    // when nothing ends it first.
    void waitForAnswer(SessionRun& run);
    // The work is done: the run ends, exit status 0.
    static void done(SessionRun& run) { run.endRun(RunEnd::ClosedByClient); }
    // The recorder refused or the rights did not allow it (its notice has
    // been printed): exit status 3.
    static void failed(SessionRun& run) { run.endRun(RunEnd::Refused); }
    // kalix-cli itself refuses: {"event":"refused","reason":T}, exit status 3.
    static void refuse(SessionRun& run, std::string_view reason);

    // -- what a command provides --
    // After the settle time, on the gathered state. Must send its request
    // and call waitForAnswer(), or end the run.
    virtual void work(SessionRun& run) = 0;
    // Events once work() has run (the answers).
    virtual void answer(const session::Event& /*event*/, SessionRun& /*run*/) {}
    // The command's own options besides --settle and --date-format.
    virtual OptionArity adminOption(std::string_view /*name*/) const { return OptionArity::Unknown; }
    virtual std::optional<UsageError> setAdminOption(std::string_view /*name*/, std::string_view /*value*/) {
        return std::nullopt;
    }
    // Checks before anything is connected (files to read, …); false
    // refuses the run as a usage error, having said why on standard error.
    virtual bool prepareAdmin(const CommonOptions& /*common*/) { return true; }

    // -- SessionCommand, final here --
    OptionArity option(std::string_view name) const final;
    std::optional<UsageError> setOption(std::string_view name, std::string_view value) final;
    bool prepare(const CommonOptions& common) final;
    void loginAccepted(SessionRun& run) final;
    void event(const session::Event& event, SessionRun& run) final;
    bool deadlineReached(SessionRun& run) final;
    std::string_view optionHelp() const override;

private:
    enum class Phase { BeforeLogin, Settling, Working };
    AdminOptions admin_;
    Phase phase_ = Phase::BeforeLogin;
};

}  // namespace kalix::cli
