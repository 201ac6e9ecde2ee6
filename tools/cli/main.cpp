// kalix-cli: the client's core without windows, for scripts and backups.

#include <cstdio>
#include <string_view>
#include <vector>

#include "session_commands.h"

namespace {

void printUsage() {
    std::fputs(
        "usage: kalix-cli COMMAND [options]\n"
        "\n"
        "commands:\n"
        "  login   log in to a recorder, keep the session, close it\n"
        "  live    log in, run live view, record picture checksums, snapshots and sound\n"
        "  talk    log in and speak a WAV file to the recorder's site\n"
        "\n"
        "kalix-cli COMMAND --help shows the options of a command.\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        printUsage();
        return args.empty() ? kalix::cli::kExitUsage : kalix::cli::kExitOk;
    }
    const std::string_view command = args[0];
    const std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
    if (command == "login") return kalix::cli::runLogin(rest);
    if (command == "live") return kalix::cli::runLive(rest);
    if (command == "talk") return kalix::cli::runTalk(rest);
    std::fprintf(stderr, "kalix-cli: unknown command '%.*s'\n", static_cast<int>(command.size()),
                 command.data());
    printUsage();
    return kalix::cli::kExitUsage;
}
