#include "cli/run_end.h"

namespace kalix::cli {

int exitStatus(RunEnd end) {
    switch (end) {
    case RunEnd::HelpShown:
    case RunEnd::ClosedByClient:
    case RunEnd::LocalDone: return 0;
    case RunEnd::UsageError: return 2;
    case RunEnd::ClientBeforeLogin:
    case RunEnd::EndedByRecorder:
    case RunEnd::ConnectionFailed:
    case RunEnd::NoAnswer:
    case RunEnd::Refused:
    case RunEnd::LocalFailed: return 3;
    }
    return 3;
}

std::string_view closedBy(RunEnd end) {
    switch (end) {
    case RunEnd::ClosedByClient:
    case RunEnd::ClientBeforeLogin:
    case RunEnd::Refused: return "client";
    case RunEnd::EndedByRecorder: return "recorder";
    case RunEnd::ConnectionFailed: return "failure";
    case RunEnd::NoAnswer: return "timeout";
    case RunEnd::HelpShown:
    case RunEnd::UsageError:
    case RunEnd::LocalDone:
    case RunEnd::LocalFailed: return {};
    }
    return {};
}

}  // namespace kalix::cli
