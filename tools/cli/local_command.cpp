#include "cli/local_command.h"

#include <cstdio>

#include "cli/json_line.h"

namespace kalix::cli {

RunEnd refuseLocalUsage(const UsageError& error, std::string_view usage) {
    std::fprintf(stderr, "kalix-cli: %s '%s'\n", error.what.c_str(), error.arg.c_str());
    std::fwrite(usage.data(), 1, usage.size(), stderr);
    return RunEnd::UsageError;
}

void printLocalError(const EventPrinter& out, const std::string& reason) {
    out.line(JsonLine("error").add("reason", reason).str(), "error: " + reason);
}

RunEnd finishLocal(const EventPrinter& out, int exit_status) {
    out.line(JsonLine("done").add("exit", std::int64_t{exit_status}).str(),
             "done, exit status " + std::to_string(exit_status));
    // The session ends stand for the two outcomes: 0 and 3.
    return exit_status == 0 ? RunEnd::ClosedByClient : RunEnd::Refused;
}

}  // namespace kalix::cli
