// kalix-cli logs and info against kalix-sim, as separate programs on
// 127.0.0.1: the log pages, the printout as a PDF, the local log and the
// information pages.

#include <gtest/gtest.h>

#include "cli_processes.h"

namespace {

using namespace kalix::integration;

// The simulator's log ends 360 s before this: 2024-06-15 12:34:56.
constexpr const char* kNow = "1718454896";

Finished cli(const SimProcess& sim, const std::string& command, std::vector<std::string> extra) {
    std::vector<std::string> args{KALIX_CLI_PATH, command, "--host", "127.0.0.1", "--port", sim.port(),
                                  "--user", "admin", "--password", "1234", "--json", "--no-log"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run(args);
}

std::vector<std::string> linesWith(const Finished& r, const std::string& part) {
    std::vector<std::string> out;
    for (const auto& l : r.lines())
        if (contains(l, part)) out.push_back(l);
    return out;
}

std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST(CliLogs, PagesListTheirRowsNewestFirstThenTheCount) {
    SimProcess sim({"--recordings-now", kNow});
    const Finished event = cli(sim, "logs", {"--page", "event"});
    EXPECT_EQ(event.status, 0) << event.out;
    const auto rows = linesWith(event, "\"log_row\"");
    ASSERT_EQ(rows.size(), 480u);
    EXPECT_EQ(rows[0],
              R"({"event":"log_row","cols":["02400","2024-06-15 12:28:56"," Tamper","System","16 "],"name_id":5134})");
    EXPECT_EQ(linesWith(event, "\"event\":\"log\"").at(0), R"({"event":"log","page":"event","rows":480})");
    EXPECT_TRUE(contains(event.lines().back(), "\"closed\"")) << event.lines().back();
    EXPECT_TRUE(contains(sim.trafficText(), "LOG_INFO_REQ"));

    // Operation types 13 and 14 are left out: no recorder reports the
    // extended log. Day-month-year dates on request.
    const Finished all = cli(sim, "logs", {"--page", "all", "--date-format", "2"});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(linesWith(all, "\"log_row\"").size(), 2400u - 64u);
    EXPECT_TRUE(contains(linesWith(all, "\"log_row\"").at(0), "\"15-06-2024 12:28:56\""));
    const Finished archive = cli(sim, "logs", {"--page", "archive"});
    EXPECT_EQ(archive.status, 0);
    EXPECT_EQ(linesWith(archive, "\"event\":\"log\"").at(0), R"({"event":"log","page":"archive","rows":0})");
}

TEST(CliLogs, RefusedLogEndsWithItsNoticeAndStatusThree) {
    SimProcess sim({"--refuse", "LOG_INFO_REQ:86"});
    const Finished r = cli(sim, "logs", {});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(linesWith(r, "\"log_row\"").empty());
    EXPECT_FALSE(linesWith(r, "\"notice\"").empty()) << r.out;
}

TEST(CliLogs, UsageErrorsExitTwoBeforeConnecting) {
    EXPECT_EQ(run({KALIX_CLI_PATH, "logs", "--page", "nothing", "--host", "127.0.0.1"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "logs", "--date-format", "3", "--host", "127.0.0.1"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "info", "--host", "127.0.0.1"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "logs", "--help"}).status, 0);
    EXPECT_EQ(run({KALIX_CLI_PATH, "logs", "--page", "local", "--bogus"}).status, 2);
}

TEST(CliLogs, PrintWritesOnePdfPagePerPrintedPage) {
    if (shell("command -v pdftotext").empty()) GTEST_SKIP() << "pdftotext is not installed";
    SimProcess sim({"--recordings-now", kNow});
    const fs::path pdf = sim.location().parent_path() / "event.pdf";
    const Finished r = cli(sim, "logs", {"--page", "event", "--print", pdf.string()});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string info = shell("pdfinfo '" + pdf.string() + "'");
    EXPECT_TRUE(contains(info, "Remote Log Event")) << info;
    const auto pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), 15) << info;
    const std::string first = shell("pdftotext -f 1 -l 1 -layout '" + pdf.string() + "' -");
    EXPECT_TRUE(contains(first, "Event Log")) << first;
    EXPECT_TRUE(contains(first, "02400")) << first;
    EXPECT_TRUE(contains(first, "2024-06-15 12:28:56")) << first;
    EXPECT_TRUE(contains(first, "- 1 / 15 -")) << first;
    const std::string last = shell("pdftotext -f 15 -l 15 '" + pdf.string() + "' -");
    EXPECT_TRUE(contains(last, "- 15 / 15 -")) << last;
}

TEST(CliLogs, LocalLogReadsTheStorageFolderWithoutConnecting) {
    SimProcess sim;
    const fs::path location = sim.location();
    // A login that writes the operation log: connected, then disconnected.
    const Finished login = run({KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--port", sim.port(), "--user",
                                "admin", "--password", "1234", "--json", "--location", location.string()});
    ASSERT_EQ(login.status, 0) << login.out;
    const Finished local = run({KALIX_CLI_PATH, "logs", "--page", "local", "--json", "--location", location.string()});
    EXPECT_EQ(local.status, 0) << local.out;
    const auto rows = linesWith(local, "\"log_row\"");
    ASSERT_EQ(rows.size(), 2u) << local.out;
    EXPECT_TRUE(contains(rows[0], R"("0002",)")) << rows[0];
    EXPECT_TRUE(contains(rows[0], R"("Disconnected","admin","127.0.0.1"],"name_id":5363})")) << rows[0];
    EXPECT_TRUE(contains(rows[1], R"("Connected","admin","127.0.0.1"],"name_id":5362})")) << rows[1];
    EXPECT_EQ(linesWith(local, "\"closed\"").size(), 0u);
    // A folder without a log: an empty page, still a success.
    const Finished empty = run({KALIX_CLI_PATH, "logs", "--page", "local", "--json", "--location",
                                (location / "none").string()});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.lines().back(), R"({"event":"log","page":"local","rows":0})");
}

TEST(CliInfo, StatusAsksTheRecorderAndSystemSendsNothing) {
    SimProcess sim({"--channels", "4"});
    const Finished status = cli(sim, "info", {"--page", "status"});
    EXPECT_EQ(status.status, 0) << status.out;
    const auto rows = linesWith(status, "\"info_row\"");
    ASSERT_EQ(rows.size(), 3u + 1 + 4 + 1 + 4);
    EXPECT_EQ(rows[0], R"({"event":"info_row","cols":["Total space","  1.82 TByte",""],"ids":[5135,null,null]})");
    EXPECT_EQ(rows[3], R"({"event":"info_row","cols":["","",""],"ids":[null,null,null]})");
    EXPECT_EQ(rows[4], R"({"event":"info_row","cols":["Channel 01","Recording",""],"ids":[5152,6140,null]})");
    EXPECT_TRUE(contains(sim.trafficText(), "STATUS_INFO_REQ"));

    SimProcess quiet;
    const Finished system = cli(quiet, "info", {"--page", "system"});
    EXPECT_EQ(system.status, 0) << system.out;
    const auto sys = linesWith(system, "\"info_row\"");
    ASSERT_GE(sys.size(), 5u);
    EXPECT_EQ(sys[3], R"({"event":"info_row","cols":["MAC address","00:1C:2D:3E:4F:50",""],"ids":[5145,null,null]})");
    EXPECT_FALSE(contains(quiet.trafficText(), "STATUS_INFO_REQ"));
}

}  // namespace
