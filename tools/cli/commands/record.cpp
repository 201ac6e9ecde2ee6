// kalix-cli record, reboot and db-init: log in, gather what the recorder
// sends for --settle seconds, then press the record button, or ask the
// recorder to reboot or to initialise its database, and wait for the answer.
// What the rights do not allow is not sent (notice 15.0, exit status 3).

#include <string>

#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"

namespace kalix::cli {
namespace {

using session::AdminAnswer;
using session::AdminRequest;
using session::AdminSend;

enum class Action { Record, Reboot, DatabaseInit };

bool answers(Action action, AdminRequest request) {
    switch (action) {
    case Action::Record: return request == AdminRequest::RecordOn || request == AdminRequest::RecordOff;
    case Action::Reboot: return request == AdminRequest::Reboot;
    case Action::DatabaseInit: return request == AdminRequest::DatabaseInit;
    }
    return false;
}

class RequestCommand final : public AdminCommand {
public:
    explicit RequestCommand(Action action) : action_(action) {}

    std::string_view usage() const override {
        switch (action_) {
        case Action::Record:
            return "usage: kalix-cli record --host ADDR [--port N] --user NAME --password PASS\n"
                   "                        [--settle S] [--timeout N] [--json]\n"
                   "\n"
                   "The record button: switches the recorder's recording off while it reports\n"
                   "recording, else on, when the user's rights allow it, and prints the state\n"
                   "the recorder answers with.\n"
                   "\n";
        case Action::Reboot:
            return "usage: kalix-cli reboot --host ADDR [--port N] --user NAME --password PASS\n"
                   "                        [--settle S] [--timeout N] [--json]\n"
                   "\n"
                   "Asks the recorder to reboot (the user needs the reboot right).\n"
                   "\n";
        case Action::DatabaseInit:
            return "usage: kalix-cli db-init --host ADDR [--port N] --user NAME --password PASS\n"
                   "                         [--settle S] [--timeout N] [--json]\n"
                   "\n"
                   "Asks the recorder to initialise its database.\n"
                   "\n";
        }
        return {};
    }

    void work(SessionRun& run) override {
        auto& dvr = run.session();
        const AdminSend sent = action_ == Action::Record   ? dvr.recordButton()
                               : action_ == Action::Reboot ? dvr.reboot()
                                                           : dvr.databaseInit();
        if (sent == AdminSend::Sent) {
            waitForAnswer(run);
        } else {
            failed(run);  // not allowed: its notice says so
        }
    }

    void answer(const session::Event& event, SessionRun& run) override {
        const auto* a = std::get_if<AdminAnswer>(&event);
        if (a == nullptr || !answers(action_, a->request)) return;
        if (!a->accepted) {
            failed(run);
            return;
        }
        switch (action_) {
        case Action::Record:
            run.out().line(JsonLine("recording").add("recording", a->recording).str(),
                           std::string("recording ") + (a->recording ? "on" : "off"));
            break;
        case Action::Reboot: run.out().line(JsonLine("reboot").str(), "reboot accepted"); break;
        case Action::DatabaseInit: run.out().line(JsonLine("db_init").str(), "database initialisation accepted"); break;
        }
        done(run);
    }

private:
    Action action_;
};

}  // namespace

std::unique_ptr<SessionCommand> makeRecordCommand() { return std::make_unique<RequestCommand>(Action::Record); }
std::unique_ptr<SessionCommand> makeRebootCommand() { return std::make_unique<RequestCommand>(Action::Reboot); }
std::unique_ptr<SessionCommand> makeDbInitCommand() {
    return std::make_unique<RequestCommand>(Action::DatabaseInit);
}

}  // namespace kalix::cli
