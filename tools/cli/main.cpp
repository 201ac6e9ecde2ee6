// kalix-cli: the client's core without windows, for scripts and backups.

#include <string_view>
#include <vector>

#include "cli/commands/commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return kalix::cli::exitStatus(kalix::cli::runCli(args));
}
