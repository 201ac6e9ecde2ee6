// kalix-cli status, record, reboot, db-init and config against kalix-sim:
// the state gathered after the login, the requests on the wire, the rights
// enforced before anything is sent, and the exit statuses.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli_processes.h"
#include "protocol/crc32.h"

namespace kalix::integration {
namespace {

Finished cli(const SimProcess& sim, const std::string& command, std::vector<std::string> extra = {},
             const std::string& user = "admin", const std::string& password = "1234") {
    std::vector<std::string> args{KALIX_CLI_PATH};
    if (command == "config get" || command == "config set") {
        args.push_back("config");
        args.push_back(command.substr(7));
    } else {
        args.push_back(command);
    }
    for (const std::string a : {"--host", "127.0.0.1", "--port"}) args.push_back(a);
    args.push_back(sim.port());
    for (const auto& a : {std::string("--user"), user, std::string("--password"), password, std::string("--json"),
                          std::string("--no-log"), std::string("--settle"), std::string("0.5"),
                          std::string("--timeout"), std::string("5")})
        args.push_back(a);
    args.insert(args.end(), extra.begin(), extra.end());
    return run(args);
}

std::string lineWith(const Finished& r, const std::string& part) {
    for (const auto& l : r.lines())
        if (contains(l, part)) return l;
    return {};
}

std::size_t sentCount(const SimProcess& sim, const std::string& name) {
    const std::string text = sim.trafficText();
    std::size_t n = 0;
    for (std::size_t at = text.find("\"" + name + "\""); at != std::string::npos;
         at = text.find("\"" + name + "\"", at + 1))
        ++n;
    return n;
}

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CliAdmin, StatusShowsRightsNamesHidingCamerasAndBlocks) {
    SimProcess sim({"--channels", "4", "--user", "admin:1234", "--user", "Guard:pw", "--user-rights",
                    "guard:100110111", "--channel-name", "1:Back Yard", "--covert", "0x4", "--live-rights",
                    "guard:0xFFF7", "--cameras", "0xB", "--recording", "0"});
    const Finished r = cli(sim, "status", {}, "guard", "pw");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lineWith(r, "\"status\""),
              "{\"event\":\"status\",\"recording\":false,\"user_index\":1,\"rights\":[1,0,0,1,1,0,1,1,1],"
              "\"ptz_preset\":1,\"channels\":["
              "{\"channel\":0,\"name\":\"Entrance\",\"covert\":0,\"live\":1,\"hidden\":0,\"camera\":1},"
              "{\"channel\":1,\"name\":\"Back Yard\",\"covert\":0,\"live\":1,\"hidden\":0,\"camera\":1},"
              "{\"channel\":2,\"name\":\"Car Park\",\"covert\":1,\"live\":1,\"hidden\":1,\"camera\":0},"
              "{\"channel\":3,\"name\":\"Office\",\"covert\":0,\"live\":0,\"hidden\":1,\"camera\":1}],"
              "\"blocks\":{\"sys_etc_info\":320,\"sys_etc_info_ex\":3200,\"dst_info\":1204,\"config\":4096}}");
    EXPECT_TRUE(contains(r.lines().back(), "\"closed\""));
}

TEST(CliAdmin, WrongSizedBlocksAreCountedAsNone) {
    SimProcess sim({"--channels", "4", "--bad-blocks"});
    const Finished r = cli(sim, "status");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(lineWith(r, "\"status\""),
                         "\"blocks\":{\"sys_etc_info\":0,\"sys_etc_info_ex\":0,\"dst_info\":1204,\"config\":4096}"))
        << r.out;
}

TEST(CliAdmin, RecordTogglesByTheReportedStateAndNeedsItsRight) {
    SimProcess sim({"--channels", "4", "--user", "admin:1234", "--user", "viewer:pw", "--user-rights",
                    "viewer:011111111"});
    Finished r = cli(sim, "record");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lineWith(r, "\"recording\""), "{\"event\":\"recording\",\"recording\":false}");
    EXPECT_EQ(sentCount(sim, "REC_OFF_REQ"), 1u);
    r = cli(sim, "record");
    EXPECT_EQ(lineWith(r, "\"recording\""), "{\"event\":\"recording\",\"recording\":true}");
    EXPECT_EQ(sentCount(sim, "REC_ON_REQ"), 1u);

    r = cli(sim, "record", {}, "viewer", "pw");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"kind\":15,\"detail\":0")) << r.out;
    EXPECT_EQ(sentCount(sim, "REC_ON_REQ") + sentCount(sim, "REC_OFF_REQ"), 2u);
}

TEST(CliAdmin, RecorderRefusalsExitThreeWithTheirNotice) {
    SimProcess sim({"--channels", "4", "--refuse", "REC_OFF_REQ:65", "--refuse", "DB_INIT_REQ:97"});
    Finished r = cli(sim, "record");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"kind\":5,\"detail\":1")) << r.out;
    r = cli(sim, "db-init");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"kind\":6,\"detail\":7")) << r.out;
}

TEST(CliAdmin, RebootNeedsItsRightAndTheRecorderClosesAfterwards) {
    SimProcess sim({"--channels", "4", "--user", "admin:1234", "--user", "op:pw", "--user-rights", "op:111111101"});
    Finished r = cli(sim, "reboot", {}, "op", "pw");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"kind\":15,\"detail\":0"));
    EXPECT_EQ(sentCount(sim, "REBOOT_REQ"), 0u);

    r = cli(sim, "reboot");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lineWith(r, "\"reboot\""), "{\"event\":\"reboot\"}");
    EXPECT_EQ(sentCount(sim, "REBOOT_REQ"), 1u);
    r = cli(sim, "db-init");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(sentCount(sim, "DB_INIT_REQ"), 1u);
}

TEST(CliAdmin, RightsThatNoLongerListTheUserEndTheSession) {
    SimProcess sim({"--channels", "4", "--rights-change", "0.3:admin:111111100"});
    const Finished r = cli(sim, "status", {"--settle", "3"});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"kind\":15,\"detail\":0")) << r.out;
    EXPECT_TRUE(lineWith(r, "\"status\"").empty());
}

TEST(CliAdmin, ConfigGetWritesTheBlockAndSetSendsItBackWithItsCrc) {
    SimProcess sim({"--channels", "4", "--config-size", "70000"});
    const fs::path out = sim.location().parent_path() / "config.bin";
    Finished r = cli(sim, "config get", {"--out", out.string()});
    EXPECT_EQ(r.status, 0) << r.out;
    auto block = fileBytes(out);
    ASSERT_EQ(block.size(), 70'000u);
    EXPECT_EQ(lineWith(r, "\"config\""),
              "{\"event\":\"config\",\"size\":70000,\"crc\":" + std::to_string(protocol::crc32(block)) + "}");

    // The same length in one message would need 70,004 bytes: refused, unsent.
    r = cli(sim, "config set", {"--in", out.string()});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"event\":\"refused\"")) << r.out;
    EXPECT_EQ(sentCount(sim, "DB_UPDATE_REQ"), 0u);
}

TEST(CliAdmin, ConfigSetStoresAnEditedBlockOfTheRecordersLength) {
    SimProcess sim({"--channels", "4", "--config-size", "2000"});
    const fs::path out = sim.location().parent_path() / "config.bin";
    ASSERT_EQ(cli(sim, "config get", {"--out", out.string()}).status, 0);
    auto block = fileBytes(out);
    block[10] ^= 0xFF;
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(block.data()),
                                               static_cast<std::streamsize>(block.size()));
    Finished r = cli(sim, "config set", {"--in", out.string()});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "\"kind\":10,\"detail\":0"));
    // The recorder keeps it: the next connection gets the edited block.
    const fs::path again = sim.location().parent_path() / "again.bin";
    ASSERT_EQ(cli(sim, "config get", {"--out", again.string()}).status, 0);
    EXPECT_EQ(fileBytes(again), block);

    block.pop_back();
    std::ofstream(out, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    r = cli(sim, "config set", {"--in", out.string()});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"event\":\"refused\""));
    EXPECT_EQ(sentCount(sim, "DB_UPDATE_REQ"), 1u);

    EXPECT_EQ(cli(sim, "config set", {"--in", (sim.location() / "missing.bin").string()}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "config", "get", "--help"}).status, 0);
    EXPECT_EQ(run({KALIX_CLI_PATH, "status", "--help"}).status, 0);
    EXPECT_EQ(run({KALIX_CLI_PATH, "config", "put"}).status, 2);
    EXPECT_EQ(cli(sim, "status", {"--settle", "x"}).status, 2);
}

}  // namespace
}  // namespace kalix::integration
