// kalix-cli's command table and each command's command line: which options
// belong to which command, and what each requires.

#include "cli/commands/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "../cli_test_support.h"

namespace kalix::cli {
namespace {

using testing::Args;

TEST(CliCommandTable, NamesAreUniqueAndTheUsageListsEach) {
    std::set<std::string_view> names;
    for (const auto& c : kCommands) EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_EQ(names, (std::set<std::string_view>{"login", "live", "talk", "search", "play", "archive", "logs", "info",
                                                 "ptz", "snapshot", "firmware", "status", "record", "reboot",
                                                 "db-init", "config", "download", "bookmarks", "export"}));

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runCli(Args{"--help"}), RunEnd::HelpShown);
    const std::string usage = ::testing::internal::GetCapturedStderr();
    // Every command on a line of its own, its text in one column.
    for (const auto& c : kCommands) {
        const std::string line = "\n  " + std::string(c.name) + std::string(10 - c.name.size(), ' ') + std::string(c.summary) + "\n";
        EXPECT_NE(usage.find(line), std::string::npos) << usage;
    }
}

TEST(CliCommandTable, TheCommandLineFindsItsCommand) {
    EXPECT_EQ(runCli(Args{}), RunEnd::UsageError);
    EXPECT_EQ(runCli(Args{"-h"}), RunEnd::HelpShown);
    EXPECT_EQ(runCli(Args{"frobnicate"}), RunEnd::UsageError);
    EXPECT_EQ(runCli(Args{"--host"}), RunEnd::UsageError);
    for (const auto& c : kCommands) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(runCli(Args{std::string(c.name), "--help"}), RunEnd::HelpShown);
        const std::string help = ::testing::internal::GetCapturedStdout();
        // Commands on local files take no recorder address.
        const bool local = c.name == "archive" || c.name == "bookmarks" || c.name == "export";
        EXPECT_EQ(help.rfind("usage: kalix-cli " + std::string(c.name) + " ", 0), 0u) << help;
        const std::string first_line = help.substr(0, help.find("\n\n"));
        EXPECT_EQ(first_line.find("--host ADDR") == std::string::npos, local) << help;
        EXPECT_EQ(runCli(Args{std::string(c.name)}), RunEnd::UsageError);
    }
}

std::unique_ptr<SessionCommand> make(std::string_view name) {
    if (name == "login") return makeLoginCommand();
    if (name == "live") return makeLiveCommand();
    return makeTalkCommand();
}

// Each command's options on top of a complete common set.
TEST(CliCommandOptions, EachCommandTakesItsOwnOptionsAndRequiresItsOwn) {
    struct Case {
        std::string_view command;
        Args args;
        std::optional<UsageError> expected;  // nothing: accepted
    };
    const Case cases[] = {
        {"login", {}, std::nullopt},
        {"login", {"--seconds", "3"}, std::nullopt},
        {"login", {"--out", "d"}, UsageError{"unknown option", "--out"}},
        {"login", {"--audio-channel", "1"}, UsageError{"unknown option", "--audio-channel"}},
        {"login", {"--input", "f.wav"}, UsageError{"unknown option", "--input"}},

        {"live", {"--seconds", "2", "--out", "d"}, std::nullopt},
        {"live", {"--out", "d", "--seconds", "2", "--audio-channel", "0"}, std::nullopt},
        {"live", {"--out", "d", "--seconds", "2", "--audio-channel", "15"}, std::nullopt},
        {"live", {"--out", "d"}, UsageError{"missing", "--seconds"}},
        {"live", {"--seconds", "2"}, UsageError{"missing", "--out"}},
        {"live", {}, UsageError{"missing", "--seconds"}},
        {"live", {"--out", "d", "--seconds", "2", "--audio-channel", "16"}, UsageError{"invalid audio channel", "16"}},
        {"live", {"--out", "d", "--seconds", "2", "--audio-channel", "x"}, UsageError{"invalid audio channel", "x"}},
        {"live", {"--seconds", "2", "--out"}, UsageError{"missing value for", "--out"}},
        {"live", {"--seconds", "2", "--out", "d", "--input", "f.wav"}, UsageError{"unknown option", "--input"}},

        {"talk", {"--seconds", "2", "--input", "f.wav"}, std::nullopt},
        {"talk", {"--input", "f.wav"}, UsageError{"missing", "--seconds"}},
        {"talk", {"--seconds", "2"}, UsageError{"missing", "--input"}},
        {"talk", {"--seconds", "2", "--input", "f.wav", "--out", "d"}, UsageError{"unknown option", "--out"}},
        {"talk", {"--seconds", "2", "--input", "f.wav", "--audio-channel", "1"},
         UsageError{"unknown option", "--audio-channel"}},
    };
    for (const auto& c : cases) {
        Args args{"--host", "h", "--user", "u", "--password", "p"};
        for (const auto a : c.args.span()) args.add({std::string(a)});
        const auto command = make(c.command);
        const auto parsed = parseSessionOptions(*command, args);
        const auto* refused = std::get_if<UsageError>(&parsed);
        if (c.expected) {
            ASSERT_NE(refused, nullptr) << c.command << ": " << c.expected->what << " " << c.expected->arg;
            EXPECT_EQ(*refused, *c.expected) << c.command;
        } else {
            EXPECT_EQ(refused, nullptr) << c.command << ": " << refused->what << " " << refused->arg;
        }
    }
}

}  // namespace
}  // namespace kalix::cli
