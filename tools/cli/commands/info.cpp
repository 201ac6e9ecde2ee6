// kalix-cli info: log in and print the System Info page (from the login
// answer, nothing sent) or the Status Info page (STATUS_INFO_REQ).

#include <optional>
#include <string>

#include "app/info_pages.h"
#include "cli/commands/commands.h"
#include "cli/list_rows.h"

namespace kalix::cli {
namespace {

enum class InfoPage : std::uint8_t { System = 1, Status };

class InfoCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli info --page system|status --host ADDR [--port N] --user NAME --password PASS\n"
               "                      [--timeout N] [--json]\n"
               "\n"
               "Logs in and prints the rows of the System Info page (what the login answer\n"
               "told) or of the Status Info page (asked of the recorder). Exit status 3 when\n"
               "the recorder refuses or does not answer within --timeout seconds (default 30).\n"
               "\n";
    }
    std::string_view optionHelp() const override { return "  --page P         system or status\n"; }

    OptionArity option(std::string_view name) const override {
        return name == "--page" ? OptionArity::Value : OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view, std::string_view value) override {
        if (value == "system") page_ = InfoPage::System;
        else if (value == "status") page_ = InfoPage::Status;
        else return UsageError{"invalid page", std::string(value)};
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (!page_) return UsageError{"missing", "--page"};
        return std::nullopt;
    }
    bool prepare(const CommonOptions& common) override {
        answer_limit_ = common.answer_limit;
        address_ = common.host;
        port_ = common.port;
        return true;
    }

    void loginAccepted(SessionRun& run) override {
        auto& dvr = run.session();
        if (*page_ == InfoPage::Status) {
            run.setDeadline(std::chrono::steady_clock::now() + answer_limit_, RunEnd::NoAnswer);
            dvr.requestStatus();
            return;
        }
        app::SystemInfoSource source;
        source.address = address_;
        source.port = port_;
        source.identity = dvr.identity().value_or(session::RecorderIdentity{});
        for (const auto& row : app::systemInfoRows(source)) printInfoRow(run.out(), row);
        run.endRun(RunEnd::ClosedByClient);
    }

    void event(const session::Event& event, SessionRun& run) override {
        const auto* answer = std::get_if<session::StatusAnswer>(&event);
        if (answer == nullptr || run.ending()) return;
        if (answer->refused) {
            run.endRun(RunEnd::Refused);
            return;
        }
        const auto identity = run.session().identity();
        const int channels = identity ? identity->channel_num : 16;
        for (const auto& row : app::statusInfoRows(answer->bytes, channels)) printInfoRow(run.out(), row);
        run.endRun(RunEnd::ClosedByClient);
    }

private:
    std::optional<InfoPage> page_;
    std::string address_;
    std::uint16_t port_ = 0;
    std::chrono::seconds answer_limit_{30};
};

}  // namespace

std::unique_ptr<SessionCommand> makeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace kalix::cli
