// kalix-cli info: log in and print the System Info page (from the login
// answer, nothing sent) or the Status Info page (STATUS_INFO_REQ).

#include <optional>
#include <string>

#include "app/info_pages.h"
#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/list_rows.h"

namespace kalix::cli {
namespace {

enum class InfoPage : std::uint8_t { System = 1, Status };

class InfoCommand final : public AdminCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli info --page system|status --host ADDR [--port N] --user NAME --password PASS\n"
               "                      [--settle S] [--timeout N] [--json]\n"
               "\n"
               "Logs in and prints the rows of the System Info page (what the login answer\n"
               "told) or of the Status Info page (asked of the recorder). Exit status 3 when\n"
               "the recorder refuses or does not answer within --timeout seconds (default 30).\n"
               "\n";
    }
    std::string_view optionHelp() const override { return help_; }

    OptionArity adminOption(std::string_view name) const override {
        return name == "--page" ? OptionArity::Value : OptionArity::Unknown;
    }
    std::optional<UsageError> setAdminOption(std::string_view, std::string_view value) override {
        if (value == "system") page_ = InfoPage::System;
        else if (value == "status") page_ = InfoPage::Status;
        else return UsageError{"invalid page", std::string(value)};
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (!page_) return UsageError{"missing", "--page"};
        return std::nullopt;
    }
    bool prepareAdmin(const CommonOptions& common) override {
        address_ = common.host;
        port_ = common.port;
        return true;
    }

    void work(SessionRun& run) override {
        auto& dvr = run.session();
        if (!searchPagesAllowed(dvr)) {
            run.out().notice(session::Notice::of(session::NoticeKind::NotAllowed));
            failed(run);
            return;
        }
        if (*page_ == InfoPage::Status) {
            dvr.requestStatus();
            waitForAnswer(run);
            return;
        }
        app::SystemInfoSource source;
        source.address = address_;
        source.port = port_;
        source.identity = dvr.identity().value_or(session::RecorderIdentity{});
        for (const auto& row : app::systemInfoRows(source)) printInfoRow(run.out(), row);
        done(run);
    }

    void answer(const session::Event& event, SessionRun& run) override {
        const auto* answer = std::get_if<session::StatusAnswer>(&event);
        if (answer == nullptr || run.ending()) return;
        if (answer->refused) {
            failed(run);
            return;
        }
        const auto identity = run.session().identity();
        const int channels = identity ? identity->channel_num : 16;
        for (const auto& row : app::statusInfoRows(answer->bytes, channels)) printInfoRow(run.out(), row);
        done(run);
    }

private:
    std::optional<InfoPage> page_;
    std::string address_;
    std::uint16_t port_ = 0;
    std::string help_ = "  --page P         system or status\n" + std::string(AdminCommand::optionHelp());
};

}  // namespace

std::unique_ptr<SessionCommand> makeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace kalix::cli
