#pragma once
// What the commands that work on local files (no recorder) share: the
// usage refusal, the error line and the closing line {"event":"done","exit":N}.

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/event_printer.h"
#include "cli/run_end.h"
#include "cli/session_runner.h"

namespace kalix::cli {

// Prints "kalix-cli: <what> '<arg>'" and the usage on standard error.
RunEnd refuseLocalUsage(const UsageError& error, std::string_view usage);

// {"event":"error","reason":TEXT}
void printLocalError(const EventPrinter& out, const std::string& reason);

// Prints the closing line with `exit_status` (0 or 3) and maps it to the run's end.
RunEnd finishLocal(const EventPrinter& out, int exit_status);

// A local command from its usage, its parser and its work (exit status 0
// or 3): --help, a usage error before anything is touched, the work, the
// closing line. Options carries the output `format`.
template <typename Options>
RunEnd runLocalCommand(std::span<const std::string_view> args, std::string_view usage,
                       std::optional<UsageError> (*parse)(std::span<const std::string_view>, Options&),
                       int (*work)(const Options&, const EventPrinter&)) {
    for (const auto a : args)
        if (a == "--help" || a == "-h") {
            std::fwrite(usage.data(), 1, usage.size(), stdout);
            return RunEnd::HelpShown;
        }
    Options o;
    if (const auto error = parse(args, o)) return refuseLocalUsage(*error, usage);
    const EventPrinter out(o.format);
    return finishLocal(out, work(o, out));
}

}  // namespace kalix::cli
