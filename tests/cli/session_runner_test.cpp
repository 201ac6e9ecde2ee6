// The runner every session command shares: the common options, the order
// of a command's hooks, and how each kind of end is reached and reported.

#include "cli/session_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_end.h"
#include "cli_test_support.h"
#include "sim/recorder_sim.h"

namespace kalix::cli {
namespace {

using namespace std::chrono_literals;
using testing::Args;
using testing::Listener;

// A command that takes "--probe V" and "--flag", can refuse at each step,
// and writes down which hooks ran.
class ProbeCommand final : public SessionCommand {
public:
    std::string_view usage() const override { return "usage: kalix-cli probe ...\n\n"; }
    std::string_view optionHelp() const override { return "  --probe V        probe: a value\n"; }
    OptionArity option(std::string_view name) const override {
        if (name == "--probe") return OptionArity::Value;
        if (name == "--flag") return OptionArity::Flag;
        return OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view name, std::string_view value) override {
        if (value == "bad") return UsageError{"bad probe", std::string(value)};
        given.push_back(std::string(name) + "=" + std::string(value));
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (refuse_check) return UsageError{"missing", "--probe"};
        return std::nullopt;
    }
    bool prepare(const CommonOptions&) override {
        hooks.push_back("prepare");
        return !refuse_prepare;
    }
    void configure(session::SessionOptions& so) override {
        hooks.push_back("configure");
        so.live_stop_pause = 0ms;
    }
    void loginAccepted(SessionRun& run) override {
        hooks.push_back(run.session().loggedIn() ? "login" : "login before logged in");
    }
    void event(const session::Event& e, SessionRun&) override {
        if (std::holds_alternative<session::LoginAccepted>(e)) hooks.push_back("event login");
    }
    void beforeClose(SessionRun& run) override {
        hooks.push_back(run.ending() ? "before close" : "before close, not ending");
    }
    void afterClose(SessionRun& run) override {
        hooks.push_back(run.session().receiving() ? "after close, still receiving" : "after close");
    }

    bool refuse_check = false;
    bool refuse_prepare = false;
    std::vector<std::string> given;
    std::vector<std::string> hooks;
};

ParsedOptions parse(ProbeCommand& c, const Args& args) { return parseSessionOptions(c, args); }
ParsedOptions parse(const Args& args) {
    ProbeCommand c;
    return parseSessionOptions(c, args);
}

std::optional<UsageError> refusal(const ParsedOptions& p) {
    if (const auto* e = std::get_if<UsageError>(&p)) return *e;
    return std::nullopt;
}

const std::string kSixteen(16, 'u');
const std::string kSeventeen(17, 'u');

TEST(CliSessionOptions, DefaultsAndEveryCommonOptionInAnyOrder) {
    const auto defaults = parse({"--host", "h", "--user", "u", "--password", "p"});
    ASSERT_TRUE(std::holds_alternative<CommonOptions>(defaults));
    const auto& d = std::get<CommonOptions>(defaults);
    EXPECT_EQ(d.port, 2000);
    EXPECT_FALSE(d.seconds.has_value());
    EXPECT_EQ(d.answer_limit, 30s);
    EXPECT_EQ(d.format, LineFormat::Text);
    EXPECT_TRUE(d.log);
    EXPECT_FALSE(d.trace);
    EXPECT_TRUE(d.location.empty());

    const auto all = parse({"--json", "--password", "pw", "--seconds", "7", "--no-log", "--port", "65534", "--trace",
                            "--timeout", "0", "--location", "/tmp/x", "--user", "Admin", "--host", "rec.lan"});
    ASSERT_TRUE(std::holds_alternative<CommonOptions>(all)) << refusal(all)->what;
    const auto& o = std::get<CommonOptions>(all);
    EXPECT_EQ(o.host, "rec.lan");
    EXPECT_EQ(o.port, 65534);
    EXPECT_EQ(o.user, "Admin");
    EXPECT_EQ(o.password, "pw");
    EXPECT_EQ(o.seconds, 7s);
    EXPECT_EQ(o.answer_limit, 0s);
    EXPECT_EQ(o.format, LineFormat::Json);
    EXPECT_FALSE(o.log);
    EXPECT_TRUE(o.trace);
    EXPECT_EQ(o.location, "/tmp/x");
}

TEST(CliSessionOptions, BoundaryValuesAreAccepted) {
    for (const Args& args : {Args{"--host", "h", "--user", "u", "--password", "", "--port", "1"},
                             Args{"--host", "h", "--user", kSixteen, "--password", kSixteen},
                             Args{"--host", "h", "--user", "", "--password", "p", "--seconds", "1000000"}}) {
        const auto p = parse(args);
        EXPECT_TRUE(std::holds_alternative<CommonOptions>(p)) << refusal(p)->what << " " << refusal(p)->arg;
    }
}

TEST(CliSessionOptions, RefusalsNameTheCauseAndTheArgument) {
    struct Case {
        Args args;
        UsageError expected;
    };
    const Case cases[] = {
        {{}, {"missing", "--host"}},
        {{"--user", "u", "--password", "p"}, {"missing", "--host"}},
        {{"--host", "h", "--password", "p"}, {"missing", "--user"}},
        {{"--host", "h", "--user", "u"}, {"missing", "--password"}},
        {{"--host", "h", "--user", "u", "--password", "p", "--port", "0"}, {"invalid port", "0"}},
        {{"--host", "h", "--user", "u", "--password", "p", "--port", "65535"}, {"invalid port", "65535"}},
        {{"--host", "h", "--user", "u", "--password", "p", "--port", "20x"}, {"invalid port", "20x"}},
        {{"--host", "h", "--user", "u", "--password", "p", "--port", "-1"}, {"invalid port", "-1"}},
        {{"--host", "h", "--user", "u", "--password", "p", "--seconds", "1000001"},
         {"invalid number of seconds", "1000001"}},
        {{"--host", "h", "--user", "u", "--password", "p", "--seconds", ""}, {"invalid number of seconds", ""}},
        {{"--host", "h", "--user", "u", "--password", "p", "--timeout", "x"}, {"invalid number of seconds", "x"}},
        {{"--user", "u", "--password", "p", "--host"}, {"missing value for", "--host"}},
        {{"--host", "h", "--user", kSeventeen, "--password", "p"},
         {"user name longer than 16 characters:", kSeventeen}},
        {{"--host", "h", "--user", "u", "--password", kSeventeen}, {"password longer than 16 characters", "--password"}},
        {{"--host", "h", "--bogus", "--user", "u", "--password", "p"}, {"unknown option", "--bogus"}},
        {{"--host", "h", "--user", "u", "--password", "p", "host"}, {"unknown option", "host"}},
    };
    for (const auto& c : cases) {
        const auto p = parse(c.args);
        ASSERT_TRUE(refusal(p).has_value()) << c.expected.what << " " << c.expected.arg;
        EXPECT_EQ(*refusal(p), c.expected);
    }
}

TEST(CliSessionOptions, HelpCountsOnlyWhenNothingBeforeItWasRefused) {
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parse({"--help"})));
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parse({"--host", "h", "-h", "--bogus"})));
    EXPECT_EQ(refusal(parse({"--bogus", "--help"})), (UsageError{"unknown option", "--bogus"}));
    EXPECT_EQ(refusal(parse({"--port", "x", "--help"})), (UsageError{"invalid port", "x"}));
}

TEST(CliSessionOptions, TheCommandsOwnOptionsAndChecks) {
    ProbeCommand c;
    EXPECT_TRUE(std::holds_alternative<CommonOptions>(
        parse(c, {"--probe", "v", "--host", "h", "--flag", "--user", "u", "--password", "p"})));
    EXPECT_EQ(c.given, (std::vector<std::string>{"--probe=v", "--flag="}));
    // A flag never swallows the next argument as its value.
    ProbeCommand flagged;
    EXPECT_EQ(refusal(parse(flagged, {"--flag", "v"})), (UsageError{"unknown option", "v"}));

    EXPECT_EQ(refusal(parse({"--host", "h", "--probe"})), (UsageError{"missing value for", "--probe"}));
    EXPECT_EQ(refusal(parse({"--probe", "bad", "--help"})), (UsageError{"bad probe", "bad"}));

    // The command's check comes after the common required options and
    // before the length limits.
    ProbeCommand strict;
    strict.refuse_check = true;
    EXPECT_EQ(refusal(parse(strict, {"--host", "h", "--user", "u"})), (UsageError{"missing", "--password"}));
    EXPECT_EQ(refusal(parse(strict, {"--host", "h", "--user", kSeventeen, "--password", "p"})),
              (UsageError{"missing", "--probe"}));
}

TEST(CliSessionRunner, HelpGoesToStandardOutputWithTheCommandsOwnLines) {
    ProbeCommand c;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runSession(c, Args{"--help"}), RunEnd::HelpShown);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("usage: kalix-cli probe ...\n\n  --host ADDR", 0), 0u) << out;
    const auto seconds = out.find("  --seconds N");
    const auto probe = out.find("  --probe V        probe: a value\n");
    const auto json = out.find("  --json");
    EXPECT_LT(seconds, probe);
    EXPECT_LT(probe, json);
    EXPECT_NE(out.find("2 usage error\n"), std::string::npos);
    EXPECT_TRUE(c.hooks.empty());
}

TEST(CliSessionRunner, RefusalsEndTheRunBeforeAnythingConnects) {
    Listener recorder;
    const Args base{"--host", "127.0.0.1", "--port", recorder.port(), "--user", "u", "--password", "p", "--no-log"};

    ProbeCommand refused_line;
    Args bad = base;
    bad.add({"--probe", "bad"});
    EXPECT_EQ(runSession(refused_line, bad), RunEnd::UsageError);
    EXPECT_TRUE(refused_line.hooks.empty());

    ProbeCommand refused_check;
    refused_check.refuse_check = true;
    EXPECT_EQ(runSession(refused_check, base), RunEnd::UsageError);
    EXPECT_TRUE(refused_check.hooks.empty());

    ProbeCommand refused_prepare;
    refused_prepare.refuse_prepare = true;
    EXPECT_EQ(runSession(refused_prepare, base), RunEnd::UsageError);
    EXPECT_EQ(refused_prepare.hooks, std::vector<std::string>{"prepare"});

    EXPECT_FALSE(recorder.connected());
}

std::string lastLine(const std::string& out) {
    const auto end = out.find_last_not_of('\n');
    if (end == std::string::npos) return {};
    const auto begin = out.find_last_of('\n', end);
    return out.substr(begin == std::string::npos ? 0 : begin + 1, end - (begin == std::string::npos ? 0 : begin + 1) + 1);
}

struct Outcome {
    RunEnd end;
    std::string out;
};

Outcome runCaptured(SessionCommand& c, const Args& args) {
    ::testing::internal::CaptureStdout();
    const RunEnd end = runSession(c, args);
    return {end, ::testing::internal::GetCapturedStdout()};
}

TEST(CliSessionRunner, ALoginClosedByUsRunsEveryHookInOrderAndExitsZero) {
    sim::RecorderSim recorder({});
    ASSERT_TRUE(recorder.start());
    ProbeCommand c;
    const auto r = runCaptured(c, {"--host", "127.0.0.1", "--port", std::to_string(recorder.port()), "--user",
                                   "admin", "--password", "1234", "--json", "--no-log"});
    EXPECT_EQ(r.end, RunEnd::ClosedByClient) << r.out;
    EXPECT_EQ(c.hooks, (std::vector<std::string>{"prepare", "configure", "login", "event login", "before close",
                                                 "after close"}));
    EXPECT_EQ(r.out.rfind(R"({"event":"login",)", 0), 0u) << r.out;
    EXPECT_EQ(lastLine(r.out), R"({"event":"closed","by":"client","logged_in":true,"exit":0})");
    EXPECT_TRUE(recorder.waitForCount(protocol::Code::BYE48, 1, 5s));
}

TEST(CliSessionRunner, ARefusedLoginEndsByTheRecorderAndStillCloses) {
    sim::RecorderSim recorder({});
    ASSERT_TRUE(recorder.start());
    ProbeCommand c;
    const auto r = runCaptured(c, {"--host", "127.0.0.1", "--port", std::to_string(recorder.port()), "--user",
                                   "admin", "--password", "wrong", "--no-log"});
    EXPECT_EQ(r.end, RunEnd::EndedByRecorder) << r.out;
    EXPECT_EQ(c.hooks, (std::vector<std::string>{"prepare", "configure", "before close", "after close"}));
    EXPECT_EQ(lastLine(r.out), "closed by recorder, exit status 3");
}

TEST(CliSessionRunner, AnUnansweredLoginEndsAtTheTimeLimit) {
    Listener silent;
    ProbeCommand c;
    const auto started = std::chrono::steady_clock::now();
    const auto r = runCaptured(c, {"--host", "127.0.0.1", "--port", silent.port(), "--user", "u", "--password",
                                   "p", "--timeout", "1", "--seconds", "60", "--no-log"});
    EXPECT_EQ(r.end, RunEnd::NoAnswer) << r.out;
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(silent.connected());
    EXPECT_EQ(lastLine(r.out), "closed by timeout, exit status 3");
}

TEST(CliSessionRunner, NothingListeningEndsAsAConnectionFailure) {
    ProbeCommand c;
    const auto r = runCaptured(c, {"--host", "127.0.0.1", "--port", testing::closedPort(), "--user", "u",
                                   "--password", "p", "--json", "--no-log"});
    EXPECT_EQ(r.end, RunEnd::ConnectionFailed) << r.out;
    EXPECT_EQ(lastLine(r.out), R"({"event":"closed","by":"failure","logged_in":false,"exit":3})");
    EXPECT_EQ(c.hooks, (std::vector<std::string>{"prepare", "configure", "before close", "after close"}));
}

}  // namespace
}  // namespace kalix::cli
