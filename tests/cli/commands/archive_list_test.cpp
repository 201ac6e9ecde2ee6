// kalix-cli archive list: the exact lines of a folder's catalogue.

#include <gtest/gtest.h>

#include <string>

#include "../../archive/archive_test_support.h"
#include "../cli_test_support.h"
#include "archive/archive_writer.h"
#include "cli/commands/archive_commands.h"
#include "cli/commands/commands.h"

namespace kalix::cli {
namespace {

using archive::testing::ScratchDir;
using archive::testing::videoUnit;
using testing::Args;

constexpr std::uint32_t kT = 1'700'000'000;

std::string listJson(const std::filesystem::path& dir, RunEnd expect = RunEnd::LocalDone) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runCli(Args{"archive", "list", dir.string(), "--json"}), expect);
    return ::testing::internal::GetCapturedStdout();
}

TEST(ArchiveList, PrintsPairsSegmentsEventsAndSkippedFiles) {
    ScratchDir dir;
    archive::WriterOptions o;
    o.folder = dir.path();
    o.clock = [] { return 0x65000000u; };
    archive::ArchiveWriter w(o);
    ASSERT_TRUE(w.open());
    w.appendUnit(archive::testing::eventLogUnit({{.time = kT + 1, .time2 = 5, .mask = 3, .kind = 2},
                                                {.time = kT + 2, .mask = 1, .kind = 4}}));
    w.appendUnit(videoUnit({.time = kT, .key = 1, .channel = 0}));
    w.appendUnit(archive::testing::audioUnit(0b11));
    w.appendUnit(videoUnit({.time = kT + 3, .key = 2, .channel = 1}));
    const auto stats = *w.close();
    archive::testing::writeFile(dir.path() / "junk.idx", {1, 2, 3});

    const std::string idx = stats.idx_path.string(), vid = stats.vid_path.string();
    const std::string second = std::to_string(64 + 292 + 160);
    const std::string end = std::to_string(64 + 292 + 160 + 292);
    const std::string expected =
        "{\"event\":\"pair\",\"idx\":\"" + idx + "\",\"vid\":\"" + vid +
        "\",\"key\":1694498816,\"split_in\":0,\"split_out\":0,\"first\":1700000000,\"last\":1700000003,"
        "\"blocks\":2,\"join_previous\":false,\"join_next\":false}\n"
        "{\"event\":\"segment\",\"block\":0,\"start\":1700000000,\"end\":1700000000,\"video_mask\":1,"
        "\"audio_mask\":1,\"begin\":64,\"end_offset\":" + second + "}\n"
        "{\"event\":\"segment\",\"block\":1,\"start\":1700000003,\"end\":1700000003,\"video_mask\":2,"
        "\"audio_mask\":0,\"begin\":" + second + ",\"end_offset\":" + end + "}\n"
        "{\"event\":\"archive_event\",\"idx\":\"" + idx +
        "\",\"time\":1700000001,\"time2\":5,\"channels\":3,\"kind\":2,\"number\":0}\n"
        "{\"event\":\"skipped\",\"path\":\"" + (dir.path() / "junk.idx").string() +
        "\",\"reason\":\"signature is not tarnrec9w\"}\n"
        "{\"event\":\"done\",\"exit\":0}\n";
    EXPECT_EQ(listJson(dir.path()), expected);
}

TEST(ArchiveList, CommandLine) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runCli(Args{"archive", "list"}), RunEnd::UsageError);
    EXPECT_EQ(runCli(Args{"archive", "list", "/tmp", "--frobnicate"}), RunEnd::UsageError);
    EXPECT_EQ(runCli(Args{"archive", "list", "/a", "/b"}), RunEnd::UsageError);
    EXPECT_EQ(runCli(Args{"archive", "sing"}), RunEnd::UsageError);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitStatus(RunEnd::LocalDone), 0);
    EXPECT_EQ(exitStatus(RunEnd::LocalFailed), 3);
    ScratchDir dir;
    EXPECT_EQ(listJson(dir.path() / "missing", RunEnd::LocalFailed).substr(0, 18), "{\"event\":\"error\",\"");
    EXPECT_EQ(listJson(dir.path()), "{\"event\":\"done\",\"exit\":0}\n");
}

}  // namespace
}  // namespace kalix::cli
