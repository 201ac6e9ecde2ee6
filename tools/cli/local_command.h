#pragma once
// What the commands that work on local files (no recorder) share: the
// usage refusal, the error line and the closing line {"event":"done","exit":N}.

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

}  // namespace kalix::cli
