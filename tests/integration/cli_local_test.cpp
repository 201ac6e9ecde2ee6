// kalix-cli's local commands as a script drives them: bookmarks and export.

#include <gtest/gtest.h>

#include "../archive/archive_test_support.h"
#include "archive/archive_writer.h"
#include "cli_processes.h"

namespace kalix::integration {
namespace {

using archive::testing::ScratchDir;

Finished cli(std::vector<std::string> args) {
    args.insert(args.begin(), KALIX_CLI_PATH);
    return run(args);
}

TEST(CliBookmarksTest, AddListDeleteClearFollowTheFile) {
    ScratchDir dir;
    const std::string loc = dir.path().string();
    EXPECT_EQ(cli({"bookmarks", "--location", loc, "list", "--json"}).out, "{\"event\":\"done\",\"exit\":0}\n");

    auto added = cli({"bookmarks", "--location", loc, "add", "--time", "2024-02-29T23:59:59", "--note", "a \"q\"",
                      "--path", "/d/1.vid", "--json"});
    EXPECT_EQ(added.status, 0);
    EXPECT_EQ(added.out, "{\"event\":\"bookmark_added\",\"slot\":0}\n{\"event\":\"done\",\"exit\":0}\n");
    cli({"bookmarks", "--location", loc, "add", "--time", "100", "--note", "b", "--json"});
    cli({"bookmarks", "--location", loc, "add", "--time", "200", "--note", "c", "--json"});
    EXPECT_EQ(cli({"bookmarks", "--location", loc, "delete", "--slot", "0", "--json"}).status, 0);
    const auto listed = cli({"bookmarks", "--location", loc, "list", "--json"}).lines();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0], "{\"event\":\"bookmark\",\"slot\":0,\"time\":100,\"note\":\"b\",\"path\":\"\"}");
    EXPECT_EQ(listed[1], "{\"event\":\"bookmark\",\"slot\":1,\"time\":200,\"note\":\"c\",\"path\":\"\"}");
    const fs::path file = dir.path() / "Log" / "BookMarkInfo.log";
    EXPECT_EQ(fs::file_size(file), 3u * 528);

    const auto freed = cli({"bookmarks", "--location", loc, "delete", "--slot", "2", "--json"});
    EXPECT_EQ(freed.status, 3);
    EXPECT_NE(freed.out.find("{\"event\":\"done\",\"exit\":3}"), std::string::npos);

    EXPECT_EQ(cli({"bookmarks", "--location", loc, "clear", "--json"}).status, 0);
    EXPECT_EQ(fs::file_size(file), 3u * 528);
    EXPECT_EQ(archive::testing::readFile(file), archive::testing::Bytes(3 * 528, 0));
}

TEST(CliBookmarksTest, AFullFileGivesTheNoticeAndStaysUnchanged) {
    ScratchDir dir;
    const std::string loc = dir.path().string();
    fs::create_directories(dir.path() / "Log");
    archive::testing::Bytes full(64 * 528, 0);
    for (std::size_t i = 0; i < 64; ++i) full[i * 528] = 1;
    archive::testing::writeFile(dir.path() / "Log" / "BookMarkInfo.log", full);
    const auto r = cli({"bookmarks", "--location", loc, "add", "--time", "5", "--note", "x", "--json"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("\"event\":\"notice\",\"kind\":18,\"detail\":0"), std::string::npos) << r.out;
    EXPECT_EQ(archive::testing::readFile(dir.path() / "Log" / "BookMarkInfo.log"), full);
}

TEST(CliBookmarksTest, RefusedCommandLinesTouchNothing) {
    ScratchDir dir;
    const std::string loc = dir.path().string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"bookmarks", "list"},
          {"bookmarks", "--location", loc, "add", "--time", "5", "--note", ""},
          {"bookmarks", "--location", loc, "add", "--note", "x"},
          {"bookmarks", "--location", loc, "add", "--time", "2024-13-01T00:00:00", "--note", "x"},
          {"bookmarks", "--location", loc, "delete", "--slot", "64"},
          {"bookmarks", "--location", loc, "frobnicate"}}) {
        EXPECT_EQ(cli(args).status, 2) << args.back();
    }
    EXPECT_FALSE(fs::exists(dir.path() / "Log"));
}

TEST(CliExportTest, WritesTheChannelAndRefusesARangeWithoutAKeyFrame) {
    ScratchDir dir;
    {
        archive::ArchiveWriter w(
            archive::WriterOptions{dir.path(), 3, archive::kDefaultSplitBytes, [] { return 1'700'000'000u; }, {}});
        ASSERT_TRUE(w.open());
        for (std::uint32_t i = 0; i < 6; ++i) {
            archive::testing::VideoSpec v;
            v.time = 1'700'000'000 + i;
            v.channel = 2;
            v.kind = i % 3 == 0 ? 0 : 1;
            // A bare IDR slice header is enough for the file; no decoding here.
            auto unit = archive::testing::videoUnit(v);
            unit[192] = 0;
            unit[193] = 0;
            unit[194] = 0;
            unit[195] = 1;
            unit[196] = v.kind == 0 ? 0x65 : 0x41;
            w.appendVideo(unit);
        }
        w.close();
    }
    const std::string out = (dir.path() / "c2.mp4").string();
    const auto r = cli({"export", dir.path().string(), "--channel", "2", "--out", out, "--from", "1700000001", "--json"});
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(r.lines().size(), 2u) << r.out;
    EXPECT_EQ(r.lines()[0], "{\"event\":\"exported\",\"path\":\"" + out + "\",\"frames\":3,\"width\":352,\"height\":288}");
    EXPECT_EQ(r.lines()[1], "{\"event\":\"done\",\"exit\":0}");
    EXPECT_TRUE(fs::exists(out));

    const std::string none = (dir.path() / "none.mp4").string();
    const auto refused = cli({"export", dir.path().string(), "--channel", "2", "--out", none, "--from",
                              "1700000004", "--to", "1700000005", "--json"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_FALSE(fs::exists(none));
    EXPECT_EQ(cli({"export", dir.path().string(), "--channel", "2", "--out", none, "--from", "9", "--to", "8"}).status,
              2);
    EXPECT_EQ(cli({"export", "--channel", "2", "--out", none}).status, 2);
}

}  // namespace
}  // namespace kalix::integration
