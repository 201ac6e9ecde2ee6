#include "cli/session_runner.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <variant>

#include "app/operation_log.h"
#include "base/wake_queue.h"
#include "cli/interrupt_watch.h"
#include "protocol/trace.h"
#include "session/address_resolver.h"

namespace kalix::cli {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxNameLength = 16;
constexpr unsigned kMaxSeconds = 1'000'000;

struct Interrupted {};
struct Woken {};
using Item = std::variant<session::Event, Interrupted, Woken>;

// Session events and the operator's interrupt meet in one queue, which the
// runner's thread empties.
class CliSink final : public session::EventSink {
public:
    void post(session::Event event) override { queue.push(Item(std::move(event))); }
    base::WakeQueue<Item> queue;
};

bool isCommonValueOption(std::string_view a) {
    return a == "--host" || a == "--port" || a == "--user" || a == "--password" || a == "--seconds" ||
           a == "--timeout" || a == "--location";
}

std::optional<UsageError> setCommonOption(CommonOptions& o, std::string_view name, std::string_view v) {
    if (name == "--host") {
        o.host = v;
    } else if (name == "--user") {
        o.user = v;
    } else if (name == "--password") {
        o.password = v;
    } else if (name == "--location") {
        o.location = v;
    } else if (name == "--port") {
        unsigned port = 0;
        if (!parseNumber(v, port) || port < 1 || port > 65534) return UsageError{"invalid port", std::string(v)};
        o.port = static_cast<std::uint16_t>(port);
    } else {
        unsigned seconds = 0;
        if (!parseNumber(v, seconds) || seconds > kMaxSeconds)
            return UsageError{"invalid number of seconds", std::string(v)};
        if (name == "--seconds")
            o.seconds = std::chrono::seconds(seconds);
        else
            o.answer_limit = std::chrono::seconds(seconds);
    }
    return std::nullopt;
}

// The runner's state for one session, and what the command's hooks see.
class Run final : public SessionRun {
public:
    Run(SessionCommand& command, const CommonOptions& options, const EventPrinter& out,
        session::DvrSession& dvr)
        : command_(command), options_(options), out_(out), dvr_(dvr) {}

    session::DvrSession& session() override { return dvr_; }
    const EventPrinter& out() const override { return out_; }
    bool ending() const override { return end_.has_value(); }
    void setDeadline(Clock::time_point at, RunEnd end) override {
        deadline_ = at;
        deadline_end_ = end;
    }
    void endRun(RunEnd end) override { endAs(end); }

    // From the moment the session was asked to connect.
    RunEnd runUntilEnd(CliSink& sink) {
        deadline_ = Clock::now() + options_.answer_limit;
        while (!end_) {
            const auto now = Clock::now();
            if (now >= deadline_) {
                const auto passed = deadline_;
                if (logged_in_ && deadline_end_ && command_.deadlineReached(*this) &&
                    (end_ || deadline_ != passed))
                    continue;
                end_ = deadline_end_.value_or(logged_in_ ? RunEnd::ClosedByClient : RunEnd::NoAnswer);
                break;
            }
            const auto wake = command_.wakeAt();
            if (wake && *wake <= now) {
                command_.wake(*this);
                continue;
            }
            const auto until = wake ? std::min(*wake, deadline_) : deadline_;
            if (auto taken = sink.queue.popFor(std::stop_token{}, until - now)) handle(taken->item);
        }
        command_.beforeClose(*this);
        dvr_.close();
        command_.afterClose(*this);
        // What the session posted on its way out still gets its lines.
        while (auto taken = sink.queue.tryPop()) handle(taken->item);
        // An interrupt closes as the client did; before the login it is no
        // session of ours to have closed.
        if (*end_ == RunEnd::ClosedByClient && !logged_in_) end_ = RunEnd::ClientBeforeLogin;
        out_.closed(closedBy(*end_), logged_in_, exitStatus(*end_));
        return *end_;
    }

private:
    void endAs(RunEnd end) {
        if (!end_) end_ = end;
    }

    void handle(const Item& item) {
        if (std::holds_alternative<Interrupted>(item)) {
            command_.interrupted(*this);
            endAs(RunEnd::ClosedByClient);
            return;
        }
        if (std::holds_alternative<Woken>(item)) return;
        const auto& event = std::get<session::Event>(item);
        if (const auto* n = std::get_if<session::Notice>(&event)) {
            // Once a kind-2 notice has closed the session, the one the
            // receive thread posts on its way out is the same news again.
            if (n->is(session::NoticeKind::ConnectionEnded) && kind2_seen_) return;
            out_.notice(*n);
            if (n->is(session::NoticeKind::ConnectionEnded)) {
                kind2_seen_ = true;
                endAs(RunEnd::EndedByRecorder);
            }
        } else if (const auto* box = std::get_if<session::MessageBoxRequest>(&event)) {
            out_.messageBox(box->text);
        } else if (const auto* login = std::get_if<session::LoginAccepted>(&event)) {
            logged_in_ = true;
            out_.login(login->identity);
            deadline_ = Clock::now() + options_.seconds.value_or(0s);
            command_.loginAccepted(*this);
        } else if (const auto* failed = std::get_if<session::ConnectFailed>(&event)) {
            out_.connectFailed(failed->error);
            endAs(RunEnd::ConnectionFailed);
        } else if (const auto* channels = std::get_if<session::LiveChannels>(&event)) {
            out_.liveChannels(channels->mask);
        }
        command_.event(event, *this);
    }

    SessionCommand& command_;
    const CommonOptions& options_;
    const EventPrinter& out_;
    session::DvrSession& dvr_;
    Clock::time_point deadline_;  // the login's answer, then the end of --seconds
    std::optional<RunEnd> deadline_end_;  // set by the command with its deadline
    std::optional<RunEnd> end_;  // decided once, by the first cause
    bool logged_in_ = false;
    bool kind2_seen_ = false;
};

}  // namespace

bool parseNumber(std::string_view text, unsigned& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

ParsedOptions parseSessionOptions(SessionCommand& command, std::span<const std::string_view> args) {
    CommonOptions o;
    bool have_user = false;
    bool have_password = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--help" || a == "-h") return HelpRequested{};
        if (a == "--json") {
            o.format = LineFormat::Json;
            continue;
        }
        if (a == "--no-log") {
            o.log = false;
            continue;
        }
        if (a == "--trace") {
            o.trace = true;
            continue;
        }
        if (!a.starts_with("-")) {
            if (auto refused = command.positional(a)) return *refused;
            continue;
        }
        const bool common = isCommonValueOption(a);
        const OptionArity arity = common ? OptionArity::Value : command.option(a);
        if (arity == OptionArity::Unknown) return UsageError{"unknown option", std::string(a)};
        std::string_view value;
        if (arity == OptionArity::Value) {
            if (i + 1 >= args.size()) return UsageError{"missing value for", std::string(a)};
            value = args[++i];
        }
        const auto refused = common ? setCommonOption(o, a, value) : command.setOption(a, value);
        if (refused) return *refused;
        if (a == "--user") have_user = true;
        if (a == "--password") have_password = true;
    }
    if (o.host.empty()) return UsageError{"missing", "--host"};
    if (!have_user) return UsageError{"missing", "--user"};
    if (!have_password) return UsageError{"missing", "--password"};
    if (auto refused = command.checkOptions(o)) return *refused;
    if (o.user.size() > kMaxNameLength) return UsageError{"user name longer than 16 characters:", o.user};
    if (o.password.size() > kMaxNameLength) return UsageError{"password longer than 16 characters", "--password"};
    return o;
}

void printSessionUsage(std::FILE* to, const SessionCommand& command) {
    const std::string_view usage = command.usage();
    const std::string_view own = command.optionHelp();
    if (!usage.empty()) std::fwrite(usage.data(), 1, usage.size(), to);
    std::fputs(
        "  --host ADDR      recorder address, dotted or a host name\n"
        "  --port N         recorder port, 1-65534 (default 2000)\n"
        "  --user NAME      user name (up to 16 characters)\n"
        "  --password PASS  password (up to 16 characters)\n"
        "  --seconds N      keep the session N seconds after the login (login: default 0)\n",
        to);
    if (!own.empty()) std::fwrite(own.data(), 1, own.size(), to);  // a command may add nothing
    std::fputs(
        "  --json           one JSON object per line\n"
        "  --timeout N      give up when the recorder has not answered the login\n"
        "                   within N seconds (default 30)\n"
        "  --location DIR   storage folder of the operation log (default ~/Kalix)\n"
        "  --no-log         write no operation log\n"
        "  --trace          trace every message on standard error\n"
        "\n"
        "exit status: 0 logged in and closed by us, 3 the session ended otherwise\n"
        "(refusal, unsupported recorder, connection failure or loss), 2 usage error\n",
        to);
}

RunEnd runSession(SessionCommand& command, std::span<const std::string_view> args) {
    const ParsedOptions parsed = parseSessionOptions(command, args);
    if (std::holds_alternative<HelpRequested>(parsed)) {
        printSessionUsage(stdout, command);
        return RunEnd::HelpShown;
    }
    if (const auto* refused = std::get_if<UsageError>(&parsed)) {
        std::fprintf(stderr, "kalix-cli: %s '%s'\n", refused->what.c_str(), refused->arg.c_str());
        printSessionUsage(stderr, command);
        return RunEnd::UsageError;
    }
    const auto& options = std::get<CommonOptions>(parsed);
    if (options.trace) protocol::enableTrace(true);
    const EventPrinter out(options.format);
    if (!command.prepare(options)) return RunEnd::UsageError;

    const protocol::UtcOffset offset = protocol::UtcOffset::measure(std::time(nullptr));
    std::string location = options.location;
    if (location.empty()) {
        const char* home = std::getenv("HOME");
        location = std::string(home != nullptr ? home : ".") + "/Kalix";
    }
    app::OperationLog log(location, app::StorageMode::Writable, offset);

    session::SessionOptions so;
    so.address = session::resolveRecorderAddress(options.host);
    so.port = options.port;
    so.user = options.user;
    so.password = options.password;
    command.configure(so);
    CliSink sink;
    session::DvrSession dvr(so, sink, options.log ? &log : nullptr);
    // Before the session starts any thread, so that the signals reach only
    // the watch.
    InterruptWatch interrupts([&sink] { sink.queue.push(Item(Interrupted{})); });
    command.attachWaker([&sink] { sink.queue.push(Item(Woken{})); });
    Run run(command, options, out, dvr);
    dvr.connect();
    return run.runUntilEnd(sink);
}

}  // namespace kalix::cli
