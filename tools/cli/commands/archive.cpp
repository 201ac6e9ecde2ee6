// kalix-cli archive SUBCOMMAND: the sub-commands over local archive pairs.

#include <cstdio>

#include "cli/commands/archive_commands.h"
#include "cli/commands/commands.h"

namespace kalix::cli {
namespace {

struct ArchiveSubcommand {
    std::string_view name;
    std::string_view synopsis;
    RunCommand run;
};

constexpr ArchiveSubcommand kArchiveSubcommands[] = {
    {"list", "kalix-cli archive list DIR [--json]", &runArchiveList},
    {"play", "kalix-cli archive play PATH --from T --out DIR [options] (archive play --help)", &runArchivePlay},
};

void printArchiveUsage(std::FILE* to) {
    const char* lead = "usage: ";
    for (const auto& s : kArchiveSubcommands) {
        std::fprintf(to, "%s%.*s\n", lead, static_cast<int>(s.synopsis.size()), s.synopsis.data());
        lead = "       ";
    }
}

}  // namespace

RunEnd runArchive(std::span<const std::string_view> args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        printArchiveUsage(stdout);
        return RunEnd::HelpShown;
    }
    if (!args.empty())
        for (const auto& s : kArchiveSubcommands)
            if (s.name == args[0]) return s.run(args.subspan(1));
    printArchiveUsage(stderr);
    return RunEnd::UsageError;
}

}  // namespace kalix::cli
