// kalix-cli logs: log in, ask the recorder for its log and print one log
// page newest first (or, with --page local, read the operation log of the
// storage folder without connecting), optionally printed to a PDF.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/local_log.h"
#include "app/log_printout.h"
#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"
#include "cli/list_rows.h"
#include "cli/pdf_writer.h"

namespace kalix::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: kalix-cli logs --host ADDR [--port N] --user NAME --password PASS\n"
    "                      [--page all|power|record|operation|client|event|archive] [--print FILE.pdf]\n"
    "                      [--date-format 0|1|2] [--settle S] [--timeout N] [--json]\n"
    "       kalix-cli logs --page local [--location DIR] [--print FILE.pdf] [--date-format 0|1|2] [--json]\n"
    "\n"
    "Logs in, asks the recorder for its log and prints the rows of one log page,\n"
    "newest first, then the row count; --print also writes the page's printout\n"
    "as a PDF. --page local reads the operation log in the storage folder and\n"
    "connects to nothing. Exit status 3 when the recorder refuses or does not\n"
    "answer within --timeout seconds (default 30).\n"
    "\n";

constexpr std::string_view kOptionHelp =
    "  --page P         the log page (default all); local: the operation log\n"
    "  --print FILE     also write the page's printout as a PDF\n";

// Prints the rows, the count and the printout; false when the PDF could
// not be written.
bool showPage(const EventPrinter& out, app::LogPage page, const std::vector<app::ListRow>& rows,
              const std::string& print_to) {
    for (const auto& row : rows) printLogRow(out, row);
    printLogSummary(out, page, rows.size());
    if (print_to.empty()) return true;
    if (writePdf(print_to, app::layoutPrintout(page, rows))) return true;
    out.line(JsonLine("refused").add("reason", "the PDF could not be written").str(),
             "refused: the PDF could not be written to " + print_to);
    return false;
}

class LogsCommand final : public AdminCommand {
public:
    std::string_view usage() const override { return kUsage; }
    std::string_view optionHelp() const override { return help_; }

    OptionArity adminOption(std::string_view name) const override {
        return name == "--page" || name == "--print" ? OptionArity::Value : OptionArity::Unknown;
    }
    std::optional<UsageError> setAdminOption(std::string_view name, std::string_view value) override {
        if (name == "--page") {
            const auto page = app::logPageFromKey(value);
            if (!page || *page == app::LogPage::Local) return UsageError{"invalid page", std::string(value)};
            page_ = *page;
        } else {
            if (value.empty()) return UsageError{"invalid file", std::string(value)};
            print_to_ = value;
        }
        return std::nullopt;
    }

    void work(SessionRun& run) override {
        if (!searchPagesAllowed(run.session())) {
            run.out().notice(session::Notice::of(session::NoticeKind::NotAllowed));
            failed(run);
            return;
        }
        run.session().requestLog();
        waitForAnswer(run);
    }

    void answer(const session::Event& event, SessionRun& run) override {
        const auto* answer = std::get_if<session::LogAnswer>(&event);
        if (answer == nullptr || run.ending()) return;
        if (answer->refused) {
            failed(run);
            return;
        }
        // No recorder reports the extended log.
        const auto format = static_cast<app::DateFormat>(adminOptions().date_format);
        const app::LogPageModel model(page_, answer->entries, format, false);
        if (showPage(run.out(), page_, model.rows(), print_to_))
            done(run);
        else
            failed(run);
    }

private:
    app::LogPage page_ = app::LogPage::All;
    std::string print_to_;
    std::string help_ = std::string(kOptionHelp) + std::string(AdminCommand::optionHelp());
};

bool isValueOption(std::string_view a) {
    return a == "--host" || a == "--port" || a == "--user" || a == "--password" || a == "--seconds" ||
           a == "--timeout" || a == "--settle" || a == "--location" || a == "--page" || a == "--print" ||
           a == "--date-format";
}

RunEnd usageError(const std::string& what, std::string_view arg) {
    std::fprintf(stderr, "kalix-cli: %s '%.*s'\n%.*s", what.c_str(), static_cast<int>(arg.size()), arg.data(),
                 static_cast<int>(kUsage.size()), kUsage.data());
    return RunEnd::UsageError;
}

// --page local: the operation log of the storage folder; the session's
// options are accepted and have nothing to do.
RunEnd runLocalLog(std::span<const std::string_view> args) {
    std::string location;
    std::string print_to;
    app::DateFormat format = app::DateFormat::YearMonthDay;
    LineFormat line_format = LineFormat::Text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--help" || a == "-h") {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            std::fwrite(kOptionHelp.data(), 1, kOptionHelp.size(), stdout);
            std::fputs("  --date-format F  0 year-month-day (default), 1 month-day-year, 2 day-month-year\n"
                       "  --location DIR   storage folder of the operation log (default ~/Kalix)\n",
                       stdout);
            return RunEnd::HelpShown;
        }
        if (a == "--json") {
            line_format = LineFormat::Json;
            continue;
        }
        if (a == "--no-log" || a == "--trace") continue;
        if (!isValueOption(a)) return usageError("unknown option", a);
        if (i + 1 >= args.size()) return usageError("missing value of", a);
        const std::string_view v = args[++i];
        if (a == "--location") {
            location = v;
        } else if (a == "--print") {
            if (v.empty()) return usageError("invalid file", v);
            print_to = v;
        } else if (a == "--date-format" && !parseDateFormat(v, format)) {
            return usageError("invalid date format", v);
        }
    }
    if (location.empty()) {
        const char* home = std::getenv("HOME");
        location = std::string(home != nullptr ? home : ".") + "/Kalix";
    }
    const EventPrinter out(line_format);
    return showPage(out, app::LogPage::Local, app::readLocalLog(location, format), print_to) ? RunEnd::ClosedByClient
                                                                                             : RunEnd::Refused;
}

}  // namespace

std::unique_ptr<SessionCommand> makeLogsCommand() { return std::make_unique<LogsCommand>(); }

RunEnd runLogsCommand(std::span<const std::string_view> args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--page" && args[i + 1] == "local") return runLocalLog(args);
    return runSessionCommand<makeLogsCommand>(args);
}

}  // namespace kalix::cli
