// kalix-cli login: log in, keep the session --seconds (default 0), close it.
// Everything it does is the runner's; the command adds only its usage.

#include "cli/commands/commands.h"

namespace kalix::cli {
namespace {

class LoginCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli login --host ADDR [--port N] --user NAME --password PASS\n"
               "                       [--seconds N] [--json]\n"
               "\n";
    }
};

}  // namespace

std::unique_ptr<SessionCommand> makeLoginCommand() { return std::make_unique<LoginCommand>(); }

}  // namespace kalix::cli
