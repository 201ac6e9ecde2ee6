// kalix-cli firmware against kalix-sim: the scan's lines, the request, the
// pieces on the wire, the verdicts, refusals and a recorder that goes away.

#include <gtest/gtest.h>

#include <sstream>

#include "../app/firmware_test_files.h"
#include "cli_processes.h"

namespace {

using namespace kalix::integration;
using kalix::app::testing::newFormHeader;
using kalix::app::testing::writeFile;

const std::vector<std::string> kModules = {"--firm", "MAIN=1000", "--firm", "BOOT=1000",
                                           "--firm", "PANEL=1000", "--firm", "KERNEL=1000"};

class Firmware : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalix-fw-cli-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(counter_++));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void standardFiles() const {
        writeFile(dir_ / "kernel.bin", newFormHeader("KERNEL", 2000, 20000));
        writeFile(dir_ / "main.bin", newFormHeader("MAIN", 3000, 8001));
        writeFile(dir_ / "old.bin", newFormHeader("KERNEL", 500, 300));
        writeFile(dir_ / "short.bin", {1, 2, 3});
    }
    static std::vector<std::string> simArgs(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = kModules;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    Finished cli(const SimProcess& sim, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{KALIX_CLI_PATH, "firmware", "--host", "127.0.0.1", "--port", sim.port(),
                                      "--user", "admin", "--password", "1234", "--json", "--no-log",
                                      "--settle", "0", "--timeout", "5", "--dir", dir_.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }

    fs::path dir_;
    static inline int counter_ = 0;
};

std::vector<std::string> linesWith(const Finished& r, const std::string& part) {
    std::vector<std::string> out;
    for (const auto& l : r.lines())
        if (contains(l, part)) out.push_back(l);
    return out;
}

std::vector<std::string> trafficWith(const SimProcess& sim, const std::string& part) {
    std::vector<std::string> out;
    std::istringstream in(sim.trafficText());
    for (std::string l; std::getline(in, l);)
        if (contains(l, part)) out.push_back(l);
    return out;
}

TEST_F(Firmware, UpgradesEveryRowInOrderWithPiecesAndVerdicts) {
    standardFiles();
    SimProcess sim(simArgs());
    const Finished r = cli(sim);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(linesWith(r, "firmware_file"),
              (std::vector<std::string>{
                  R"({"event":"firmware_file","file":"kernel.bin","module":3,"stamp":2000,"accepted":true})",
                  R"({"event":"firmware_file","file":"main.bin","module":0,"stamp":3000,"accepted":true})",
                  R"({"event":"firmware_file","file":"old.bin","module":3,"stamp":500,"accepted":false})",
                  R"({"event":"firmware_file","file":"short.bin","module":null,"stamp":null,"accepted":false})"}));
    const auto rows = linesWith(r, "firmware_row");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], R"({"event":"firmware_row","row":1,"module":0,"file":"main.bin"})");
    EXPECT_EQ(rows[1], R"({"event":"firmware_row","row":2,"module":3,"file":"kernel.bin"})");
    EXPECT_EQ(rows[3], R"({"event":"firmware_row","row":4,"module":2,"file":null})");
    EXPECT_EQ(linesWith(r, "firmware_progress"),
              (std::vector<std::string>{R"({"event":"firmware_progress","row":1,"percent":99})",
                                        R"({"event":"firmware_progress","row":1,"percent":100})",
                                        R"({"event":"firmware_progress","row":2,"percent":40})",
                                        R"({"event":"firmware_progress","row":2,"percent":80})",
                                        R"({"event":"firmware_progress","row":2,"percent":100})"}));
    EXPECT_EQ(linesWith(r, "firmware_result"),
              (std::vector<std::string>{
                  R"({"event":"firmware_result","row":1,"module":0,"result":"done","reason":null,"status_id":5194})",
                  R"({"event":"firmware_result","row":2,"module":3,"result":"done","reason":null,"status_id":5194})"}));
    EXPECT_TRUE(contains(r.lines().back(), R"("event":"closed")"));

    // On the wire: the two requests, each followed by its pieces.
    const auto data = trafficWith(sim, R"("name":"FW_DATA")");
    ASSERT_EQ(data.size(), 5u);
    EXPECT_TRUE(contains(data[0], R"("len":8000,)") && contains(data[0], R"("last":false)"));
    EXPECT_TRUE(contains(data[1], R"("len":1,)") && contains(data[1], R"("last":true)"));
    EXPECT_TRUE(contains(data[4], R"("len":4000,)") && contains(data[4], R"("last":true)"));
    const auto requests = trafficWith(sim, R"("name":"FW_UPDATE_REQ")");
    ASSERT_EQ(requests.size(), 2u);
    // 4 zero bytes, the stamp, 8 zero bytes, the module, 4 zero bytes, the name.
    EXPECT_TRUE(contains(requests[0], "0000000000000bb8" "0000000000000000" "00" "00000000" "4d41494e")) << requests[0];
    EXPECT_EQ(trafficWith(sim, R"("name":"FW_DATA_RX_DONE")").size(), 2u);
}

TEST_F(Firmware, TheRecorderReportsTheNewStampAfterItsRestart) {
    writeFile(dir_ / "kernel.bin", newFormHeader("KERNEL", 2000, 9000));
    SimProcess sim(simArgs({"--fw-restart-ms", "100"}));
    ASSERT_EQ(cli(sim).status, 0);
    const Finished login = run({KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--port", sim.port(), "--user",
                                "admin", "--password", "1234", "--json", "--no-log"});
    EXPECT_TRUE(contains(login.out, R"({"name":"KERNEL","version":2000})")) << login.out;
    // Nothing newer is left to offer now.
    EXPECT_EQ(cli(sim, {"--dry-run"}).status, 3);
}

TEST_F(Firmware, RefusalsSetTheirStatusAndTheNextRowStillGoes) {
    standardFiles();
    SimProcess sim(simArgs({"--fw-refuse", "17"}));
    const Finished r = cli(sim);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(linesWith(r, "firmware_result"),
              (std::vector<std::string>{
                  R"({"event":"firmware_result","row":1,"module":0,"result":"refused","reason":17,"status_id":5191})",
                  R"({"event":"firmware_result","row":2,"module":3,"result":"refused","reason":17,"status_id":5191})"}));
    EXPECT_TRUE(trafficWith(sim, R"("name":"FW_DATA")").empty());
}

TEST_F(Firmware, ARefusalWithAnotherReasonLeavesTheStatus) {
    writeFile(dir_ / "main.bin", newFormHeader("MAIN", 3000, 300));
    SimProcess sim(simArgs({"--fw-refuse", "5"}));
    const Finished r = cli(sim);
    EXPECT_EQ(linesWith(r, "firmware_result"),
              (std::vector<std::string>{
                  R"({"event":"firmware_result","row":1,"module":0,"result":"refused","reason":5,"status_id":null})"}));
}

TEST_F(Firmware, DataFailureMidWayStopsThatUploadAndTheNextRowArrivesWhole) {
    writeFile(dir_ / "main.bin", newFormHeader("MAIN", 3000, 80000));
    writeFile(dir_ / "kernel.bin", newFormHeader("KERNEL", 2000, 20000));
    SimProcess sim(simArgs({"--fw-data-fail", "16000:4"}));
    const Finished r = cli(sim);
    EXPECT_EQ(r.status, 3);
    const auto results = linesWith(r, "firmware_result");
    ASSERT_EQ(results.size(), 2u) << r.out;
    EXPECT_EQ(results[0],
              R"({"event":"firmware_result","row":1,"module":0,"result":"data_failed","reason":4,"status_id":5193})");
    // The fail rule applies to every upload: the kernel fails the same way,
    // after its own 16,000 bytes, not after leftovers of the first file.
    EXPECT_EQ(results[1],
              R"({"event":"firmware_result","row":2,"module":3,"result":"data_failed","reason":4,"status_id":5193})");
    EXPECT_EQ(trafficWith(sim, R"("name":"FW_DATA_RX_FAIL")").size(), 2u);
}

TEST_F(Firmware, AFailedUpgradeIsReportedWithItsReason) {
    writeFile(dir_ / "main.bin", newFormHeader("MAIN", 3000, 300));
    SimProcess sim(simArgs({"--fw-update-fail", "9"}));
    const Finished r = cli(sim);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(linesWith(r, "firmware_result"),
              (std::vector<std::string>{
                  R"({"event":"firmware_result","row":1,"module":0,"result":"failed","reason":9,"status_id":5193})"}));
}

TEST_F(Firmware, ARecorderClosingMidUploadEndsTheRunWithoutAVerdict) {
    writeFile(dir_ / "main.bin", newFormHeader("MAIN", 3000, 400000));
    SimProcess sim(simArgs({"--fw-close-after", "8000"}));
    const Finished r = cli(sim);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(linesWith(r, "firmware_result"),
              (std::vector<std::string>{
                  R"({"event":"firmware_result","row":1,"module":0,"result":"no_answer","reason":null,"status_id":null})"}));
    EXPECT_TRUE(contains(r.lines().back(), R"("event":"closed")"));
}

TEST_F(Firmware, DryRunAndNothingToOffer) {
    standardFiles();
    SimProcess sim(simArgs());
    const Finished dry = cli(sim, {"--dry-run"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(linesWith(dry, "firmware_row").size(), 6u);
    EXPECT_TRUE(trafficWith(sim, "FW_UPDATE_REQ").empty());

    fs::remove(dir_ / "kernel.bin");
    fs::remove(dir_ / "main.bin");
    const Finished none = cli(sim);
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(linesWith(none, R"("event":"notice","kind":11,"detail":1)").size(), 1u) << none.out;
    EXPECT_TRUE(trafficWith(sim, "FW_UPDATE_REQ").empty());
}

TEST_F(Firmware, AFolderThatIsNoFolderIsAUsageErrorBeforeConnecting) {
    SimProcess sim(simArgs());
    writeFile(dir_ / "plain-file", {1});
    std::vector<std::string> args{KALIX_CLI_PATH, "firmware", "--host", "127.0.0.1", "--port", sim.port(),
                                  "--user", "admin", "--password", "1234", "--json", "--no-log",
                                  "--dir", (dir_ / "plain-file").string()};
    EXPECT_EQ(run(args).status, 2);
    EXPECT_TRUE(trafficWith(sim, "HELLO").empty());
    EXPECT_EQ(run({KALIX_CLI_PATH, "firmware", "--help"}).status, 0);
}

}  // namespace
