#pragma once
// How a run of kalix-cli ended, and the one place that turns it into the
// exit status scripts see.

#include <string_view>

namespace kalix::cli {

enum class RunEnd {
    HelpShown,          // --help: the usage on standard output
    UsageError,         // a refused command line or input, before anything was sent
    ClosedByClient,     // logged in, and we closed: the time was up or the operator interrupted
    ClientBeforeLogin,  // the operator interrupted before the login was accepted
    EndedByRecorder,    // refusal, unsupported recorder, the recorder's close or a lost connection
    ConnectionFailed,   // no connection came about
    NoAnswer,           // the login, or the command's request, was not answered in time
    Refused,            // the recorder refused the command's request; we closed
    LocalDone,          // a command on local files succeeded
    LocalFailed,        // a command on local files failed
};

// 0 help and a session we closed ourselves, 2 usage errors, 3 a session
// that ended any other way.
int exitStatus(RunEnd end);

// Who ended the session, as the closing line names it: "client",
// "recorder", "failure" or "timeout"; empty when no session ran.
std::string_view closedBy(RunEnd end);

}  // namespace kalix::cli
