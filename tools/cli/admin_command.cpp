#include "cli/admin_command.h"

#include "cli/json_line.h"

namespace kalix::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kMaxSettleSeconds = 3'600;

}  // namespace

void AdminCommand::waitForAnswer(SessionRun& run) {
    run.setDeadline(Clock::now() + admin_.answer_limit, RunEnd::NoAnswer);
}

void AdminCommand::refuse(SessionRun& run, std::string_view reason) {
    run.out().line(JsonLine("refused").add("reason", reason).str(), "refused: " + std::string(reason));
    run.endRun(RunEnd::Refused);
}

OptionArity AdminCommand::option(std::string_view name) const {
    if (name == "--settle" || name == "--date-format") return OptionArity::Value;
    return adminOption(name);
}

std::optional<UsageError> AdminCommand::setOption(std::string_view name, std::string_view value) {
    if (name == "--settle") {
        unsigned seconds = 0;
        if (!parseNumber(value, seconds) || seconds > kMaxSettleSeconds)
            return UsageError{"invalid number of seconds", std::string(value)};
        admin_.settle = std::chrono::seconds(seconds);
        return std::nullopt;
    }
    if (name == "--date-format") {
        unsigned format = 0;
        if (!parseNumber(value, format) || format > 2) return UsageError{"invalid date format", std::string(value)};
        admin_.date_format = static_cast<int>(format);
        return std::nullopt;
    }
    return setAdminOption(name, value);
}

bool AdminCommand::prepare(const CommonOptions& common) {
    admin_.answer_limit = common.answer_limit;
    return prepareAdmin(common);
}

void AdminCommand::loginAccepted(SessionRun& run) {
    phase_ = Phase::Settling;
    run.setDeadline(Clock::now() + admin_.settle, RunEnd::ClosedByClient);
}

void AdminCommand::event(const session::Event& event, SessionRun& run) {
    if (phase_ == Phase::Working && !run.ending()) answer(event, run);
}

bool AdminCommand::deadlineReached(SessionRun& run) {
    if (phase_ != Phase::Settling) return false;
    phase_ = Phase::Working;
    work(run);
    return true;
}

std::string_view AdminCommand::optionHelp() const {
    return "  --settle S       gather what the recorder sends for S seconds after the\n"
           "                   login before the work (default 1)\n"
           "  --date-format F  dates as 0 year-month-day (default), 1 month-day-year,\n"
           "                   2 day-month-year\n";
}

}  // namespace kalix::cli
