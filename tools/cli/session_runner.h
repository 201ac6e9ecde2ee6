#pragma once
// What every kalix-cli command over a recorder session shares: the common
// options, the DvrSession, the loop over its events until the time is up,
// the operator interrupts or the session ends, the event lines, and the
// close. A command plugs in through SessionCommand and adds its own
// options, set-up, requests and results.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "cli/event_printer.h"
#include "cli/run_end.h"
#include "session/dvr_session.h"

namespace kalix::cli {

struct CommonOptions {
    std::string host;
    std::uint16_t port = session::kDefaultPort;
    std::string user;
    std::string password;
    std::optional<std::chrono::seconds> seconds;  // --seconds, when given
    std::chrono::seconds answer_limit{30};        // --timeout
    LineFormat format = LineFormat::Text;
    bool log = true;
    bool trace = false;
    std::string location;  // empty: ~/Kalix
};

// A refused command line; printed as "kalix-cli: <what> '<arg>'".
struct UsageError {
    std::string what;
    std::string arg;
    friend bool operator==(const UsageError&, const UsageError&) = default;
};

enum class OptionArity { Unknown, Flag, Value };

// What a command's hooks may use while the session runs.
class SessionRun {
public:
    virtual ~SessionRun() = default;
    virtual session::DvrSession& session() = 0;
    virtual const EventPrinter& out() const = 0;
    // The end of the run is decided: the session is about to close or has
    // closed, and nothing new should be started on it.
    virtual bool ending() const = 0;
    // The run ends at `at` (after the login the default is --seconds from
    // the login), as `end` when nothing else ended it first.
    virtual void setDeadline(std::chrono::steady_clock::time_point at, RunEnd end) = 0;
    // Decides the end now (the first decision holds).
    virtual void endRun(RunEnd end) = 0;
};

// One kalix-cli command over a recorder session. The runner calls, in order:
//   option() and setOption() for every option that is not a common one;
//   checkOptions() once the command line is read;
//   prepare() before anything is connected: false refuses the run as a
//     usage error (exit 2), the command having said why on standard error;
//   configure() to fill in the session's options;
//   loginAccepted() and event() as the session reports, after the runner has
//     printed its own line for the event;
//   beforeClose() once the run's end is decided, then the session closes,
//     then afterClose().
// Every hook runs on the runner's thread. What configure() hands to the
// session is called on the session's threads.
class SessionCommand {
public:
    virtual ~SessionCommand() = default;

    // "usage: kalix-cli NAME ..." and what the command does, above the
    // options every session command shares.
    virtual std::string_view usage() const = 0;
    // The command's own lines of the option list, after --seconds.
    virtual std::string_view optionHelp() const { return {}; }

    virtual OptionArity option(std::string_view /*name*/) const { return OptionArity::Unknown; }
    // `value` is empty for a flag.
    virtual std::optional<UsageError> setOption(std::string_view /*name*/, std::string_view /*value*/) {
        return std::nullopt;
    }
    // The command's required options, seen with the common ones.
    virtual std::optional<UsageError> checkOptions(const CommonOptions& /*common*/) const { return std::nullopt; }

    virtual bool prepare(const CommonOptions& /*common*/) { return true; }
    virtual void configure(session::SessionOptions& /*options*/) {}
    virtual void loginAccepted(SessionRun& /*run*/) {}
    virtual void event(const session::Event& /*event*/, SessionRun& /*run*/) {}
    // The deadline the command set with setDeadline() has passed. Return
    // true to go on, having set a later deadline or ended the run; false
    // ends the run as the deadline said.
    virtual bool deadlineReached(SessionRun& /*run*/) { return false; }
    // The operator interrupted (SIGINT, SIGTERM). A command may decide the
    // end first; otherwise the run ends as closed by the client.
    virtual void interrupted(SessionRun& /*run*/) {}
    virtual void beforeClose(SessionRun& /*run*/) {}
    // A word on the command line that is no option (ptz's steps); refused
    // unless the command takes such words.
    virtual std::optional<UsageError> positional(std::string_view word) {
        return UsageError{"unknown option", std::string(word)};
    }
    // A command that paces its own work asks to be woken at a time; wake()
    // runs on the runner's thread once that time has come.
    virtual std::optional<std::chrono::steady_clock::time_point> wakeAt() const { return std::nullopt; }
    virtual void wake(SessionRun& /*run*/) {}
    // Given before the session starts: wakes the runner's thread from any
    // thread (a decoder's, for instance), which then asks wakeAt() again.
    virtual void attachWaker(std::function<void()> /*wake*/) {}
    virtual void afterClose(SessionRun& /*run*/) {}
};

struct HelpRequested {};
using ParsedOptions = std::variant<CommonOptions, HelpRequested, UsageError>;

// Reads the command line after the command's name. Options come in any
// order; the first refusal ends the reading, so "--help" counts only when
// nothing before it was refused.
ParsedOptions parseSessionOptions(SessionCommand& command, std::span<const std::string_view> args);

void printSessionUsage(std::FILE* to, const SessionCommand& command);

// The whole run: the options, the command's set-up, the session until its
// end, the close, and the closing line.
RunEnd runSession(SessionCommand& command, std::span<const std::string_view> args);

// Parses a whole decimal number and nothing else.
bool parseNumber(std::string_view text, unsigned& out);

}  // namespace kalix::cli
