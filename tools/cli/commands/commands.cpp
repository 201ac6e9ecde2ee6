#include "cli/commands/commands.h"

#include <cstdio>

namespace kalix::cli {
namespace {

void printUsage() {
    std::fputs(
        "usage: kalix-cli COMMAND [options]\n"
        "\n"
        "commands:\n",
        stderr);
    for (const auto& c : kCommands)
        std::fprintf(stderr, "  %-9.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.summary.size()), c.summary.data());
    std::fputs(
        "\n"
        "kalix-cli COMMAND --help shows the options of a command.\n",
        stderr);
}

}  // namespace

RunEnd runCli(std::span<const std::string_view> args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        printUsage();
        return args.empty() ? RunEnd::UsageError : RunEnd::HelpShown;
    }
    const std::string_view name = args[0];
    for (const auto& c : kCommands)
        if (c.name == name) return c.run(args.subspan(1));
    std::fprintf(stderr, "kalix-cli: unknown command '%.*s'\n", static_cast<int>(name.size()), name.data());
    printUsage();
    return RunEnd::UsageError;
}

}  // namespace kalix::cli
