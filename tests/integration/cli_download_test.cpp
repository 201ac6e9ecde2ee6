// kalix-cli download against kalix-sim: whole downloads read back with the
// archive reader, splits, and every end the command knows.

#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "archive/archive_reader.h"
#include "cli_processes.h"

namespace {

using namespace kalix::integration;

// Two channels recorded for a minute, with events inside and outside it.
constexpr const char* kSchedule =
    "rec 0 2024-05-01T10:00:00 2024-05-01T10:01:00\n"
    "rec 1 2024-05-01T10:00:00 2024-05-01T10:00:30\n"
    "rec 1 2024-05-01T10:00:40 2024-05-01T10:01:00\n"
    "rec 0 2024-05-01T12:00:00 2024-05-01T13:00:00\n"
    "rec 1 2024-05-01T12:00:00 2024-05-01T13:00:00\n"
    "event 2 0x1 2024-05-01T10:00:05\n"
    "event 1 0x2 2024-05-01T10:00:45\n"
    "event 7 0x4 2024-05-01T10:00:20\n"
    "event 2 0x1 2024-05-01T11:00:00\n";

std::optional<std::int64_t> number(const std::string& line, const std::string& key) {
    const std::regex re("\"" + key + "\":(-?[0-9]+)");
    std::smatch m;
    if (!std::regex_search(line, m, re)) return std::nullopt;
    return std::stoll(m[1]);
}

std::string text(const std::string& line, const std::string& key) {
    const std::regex re("\"" + key + "\":\"([^\"]*)\"");
    std::smatch m;
    return std::regex_search(line, m, re) ? std::string(m[1]) : std::string();
}

std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (contains(l, part)) out.push_back(l);
    return out;
}

// The notices but the one every closed session ends with (kind 2).
std::vector<std::string> noticesBesidesTheClose(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& l : linesWith(lines, "\"notice\""))
        if (number(l, "kind") != 2) out.push_back(l);
    return out;
}

// What the units of one pair add up to, walked from the first unit to the
// trailer with the archive reader.
struct Walk {
    std::uint64_t video = 0;
    std::uint64_t audio = 0;
    std::uint64_t bytes = 0;
    bool whole = true;
};

Walk walk(kalix::archive::ArchivePair& pair) {
    Walk w;
    std::uint64_t at = 64;
    while (at < pair.vidTrailerOffset()) {
        const auto read = pair.readUnit(at);
        if (!read.unit) {
            w.whole = false;
            break;
        }
        (read.unit->kind == kalix::archive::UnitKind::Video ? w.video : w.audio) += 1;
        w.bytes += read.unit->next() - at;
        at = read.unit->next();
    }
    w.whole = w.whole && at == pair.vidTrailerOffset();
    return w;
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalix-download-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        std::ofstream(dir_ / "schedule.txt") << kSchedule;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> simArgs(std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"--video", "--audio", "--channels", "4", "--fps", "10", "--gop", "10",
                                      "--recordings", (dir_ / "schedule.txt").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    std::vector<std::string> cliArgs(const SimProcess& sim, std::vector<std::string> extra) const {
        std::vector<std::string> args{KALIX_CLI_PATH, "download", "--host", "127.0.0.1", "--port", sim.port(),
                                      "--user",       "admin",    "--password", "1234",  "--json", "--no-log",
                                      "--out",        out().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    Finished download(const SimProcess& sim, std::vector<std::string> extra) const { return run(cliArgs(sim, extra)); }
    fs::path out() const { return dir_ / "out" / "Download"; }

    fs::path dir_;
};

const std::vector<std::string> kMinute{"--channels", "0x3", "--from", "2024-05-01T10:00:00", "--to",
                                       "2024-05-01T10:00:59"};

TEST_F(Download, WholeRangeIsStoredAndReadsBackUnitForUnit) {
    SimProcess sim(simArgs());
    const auto r = download(sim, kMinute);
    ASSERT_EQ(r.status, 0) << r.out;
    const auto lines = r.lines();
    ASSERT_EQ(linesWith(lines, "\"download_size\"").size(), 1u);
    EXPECT_GT(number(linesWith(lines, "\"download_size\"")[0], "kib").value_or(0), 0);

    const auto ends = linesWith(lines, "\"download_end\"");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(text(ends[0], "reason"), "done");
    const auto bytes = number(ends[0], "bytes").value_or(-1);

    // Progress: never backwards, the last one the total.
    std::int64_t last = -1;
    for (const auto& l : linesWith(lines, "\"download_progress\"")) {
        const auto kib = number(l, "kib").value_or(-1);
        EXPECT_GE(kib, last);
        last = kib;
    }
    EXPECT_EQ(last, bytes >> 10);

    const auto pairs = linesWith(lines, "\"archive_pair\"");
    ASSERT_EQ(pairs.size(), 1u);
    kalix::archive::ArchivePair pair;
    ASSERT_TRUE(pair.open(text(pairs[0], "idx"))) << pair.failure();
    EXPECT_EQ(fs::path(text(pairs[0], "vid")).parent_path(), out());
    const Walk w = walk(pair);
    EXPECT_TRUE(w.whole);
    EXPECT_EQ(static_cast<std::int64_t>(w.video), number(pairs[0], "video_units"));
    EXPECT_EQ(static_cast<std::int64_t>(w.audio), number(pairs[0], "audio_units"));
    // 10 fps: channel 0 for 60 s, channel 1 for 50 s.
    EXPECT_EQ(w.video, 1100u);
    EXPECT_GT(w.audio, 0u);
    // Two events of the range on channels 0 and 1; the one on channel 2 is
    // not asked for, the one at 11:00 is outside.
    EXPECT_EQ(number(pairs[0], "events"), 2);
    EXPECT_EQ(pair.readEvents().size(), 2u);
    // Every byte received went into the pair, but for the event-log unit.
    EXPECT_EQ(static_cast<std::int64_t>(w.bytes + 64 + 2 * 32), bytes);

    const auto traffic = sim.trafficText();
    EXPECT_TRUE(contains(traffic, "TRANS_ON_REQ"));
    EXPECT_TRUE(contains(traffic, "TRANS_DATA_REQ"));
    EXPECT_TRUE(contains(traffic, "TRANS_OFF_REQ"));
    EXPECT_TRUE(contains(lines.back(), "\"closed\""));
}

TEST_F(Download, SplitPairsChainAndKeepTheirEvents) {
    SimProcess sim(simArgs());
    auto args = kMinute;
    args.insert(args.end(), {"--split-bytes", "400000"});
    const auto r = download(sim, args);
    ASSERT_EQ(r.status, 0) << r.out;
    const auto pairs = linesWith(r.lines(), "\"archive_pair\"");
    ASSERT_GE(pairs.size(), 2u);
    std::int64_t events = 0;
    std::uint64_t video = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        kalix::archive::ArchivePair pair;
        ASSERT_TRUE(pair.open(text(pairs[i], "idx"))) << pair.failure();
        EXPECT_TRUE(walk(pair).whole);
        video += walk(pair).video;
        events += number(pairs[i], "events").value_or(0);
        if (i > 0) {
            EXPECT_NE(number(pairs[i], "split_in"), 0);
            EXPECT_EQ(number(pairs[i], "split_in"), number(pairs[i - 1], "split_out"));
        }
        // Never a name twice, though several pairs open in one second.
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(text(pairs[i], "idx"), text(pairs[j], "idx"));
    }
    EXPECT_EQ(video, 1100u);
    EXPECT_EQ(events, 2);
}

TEST_F(Download, RefusalEmptyAndNoSpaceEndBeforeAnyTransfer) {
    {
        SimProcess sim(simArgs({"--refuse", "TRANS_ON_REQ:87"}));
        const auto r = download(sim, kMinute);
        EXPECT_EQ(r.status, 3);
        const auto notices = noticesBesidesTheClose(r.lines());
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(number(notices[0], "kind"), 6);
        EXPECT_EQ(number(notices[0], "detail"), 5);
        EXPECT_TRUE(contains(r.out, "\"reason\":\"refused\""));
    }
    {
        SimProcess sim(simArgs());
        const auto r = download(sim, {"--channels", "1", "--from", "2024-05-01T11:00:00", "--to",
                                      "2024-05-01T11:30:00"});
        EXPECT_EQ(r.status, 3);
        EXPECT_TRUE(contains(r.out, "{\"event\":\"download_size\",\"kib\":0}"));
        EXPECT_TRUE(contains(r.out, "\"reason\":\"empty\""));
        EXPECT_FALSE(contains(sim.trafficText(), "TRANS_DATA_REQ"));
    }
    {
        // 4 TiB: more than this disk has; unsigned it would wrap to a pass.
        SimProcess sim(simArgs({"--backup-size", "4294967295"}));
        const auto r = download(sim, kMinute);
        EXPECT_EQ(r.status, 3);
        const auto notices = noticesBesidesTheClose(r.lines());
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(number(notices[0], "kind"), 13);
        EXPECT_TRUE(contains(r.out, "\"reason\":\"no_space\""));
        EXPECT_FALSE(contains(sim.trafficText(), "TRANS_DATA_REQ"));
        EXPECT_FALSE(fs::exists(out()));
    }
}

TEST_F(Download, UsageErrorsComeBeforeAnyConnection) {
    SimProcess sim(simArgs());
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--channels", "0", "--from", "100", "--to", "200"},
             {"--channels", "0x10000", "--from", "100", "--to", "200"},
             {"--channels", "1", "--from", "300", "--to", "200"},
             {"--channels", "1", "--from", "2024-05-01 10:00:00", "--to", "2024-05-01T10:00:01"},
             {"--channels", "1", "--to", "200"}}) {
        EXPECT_EQ(download(sim, bad).status, 2);
    }
    auto args = cliArgs(sim, {"--channels", "1", "--from", "1", "--to", "2"});
    args.erase(args.begin() + 12, args.begin() + 14);  // no --out
    EXPECT_EQ(run(args).status, 2);
    EXPECT_FALSE(contains(sim.trafficText(), "HELLO"));
}

TEST_F(Download, InterruptStopsTheTransferAndLeavesAReadablePair) {
    SimProcess sim(simArgs());
    CliProcess cli(cliArgs(sim, {"--channels", "0x3", "--from", "2024-05-01T12:00:00", "--to",
                                 "2024-05-01T13:00:00"}));
    std::string line;
    while (!(line = cli.line()).empty() && !contains(line, "download_progress")) {
    }
    ASSERT_FALSE(line.empty());
    cli.interrupt();
    std::vector<std::string> rest;
    while (!(line = cli.line()).empty()) rest.push_back(line);
    EXPECT_EQ(cli.wait(), 3);
    const auto ends = linesWith(rest, "\"download_end\"");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(text(ends[0], "reason"), "cancelled");
    const auto pairs = linesWith(rest, "\"archive_pair\"");
    ASSERT_EQ(pairs.size(), 1u);
    kalix::archive::ArchivePair pair;
    ASSERT_TRUE(pair.open(text(pairs[0], "idx"))) << pair.failure();
    EXPECT_TRUE(walk(pair).whole);
    EXPECT_TRUE(contains(sim.trafficText(), "TRANS_OFF_REQ"));
}

TEST_F(Download, RecorderGoneOrFailingEndsWithAReadablePair) {
    {
        SimProcess sim(simArgs({"--backup-close-after", "300"}));
        const auto r = download(sim, kMinute);
        EXPECT_EQ(r.status, 3);
        EXPECT_TRUE(contains(r.out, "\"reason\":\"lost\""));
        const auto notices = linesWith(r.lines(), "\"notice\"");
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(number(notices[0], "kind"), 2);
        const auto pairs = linesWith(r.lines(), "\"archive_pair\"");
        ASSERT_EQ(pairs.size(), 1u);
        kalix::archive::ArchivePair pair;
        ASSERT_TRUE(pair.open(text(pairs[0], "idx"))) << pair.failure();
        const Walk w = walk(pair);
        EXPECT_TRUE(w.whole);
        // Every unit sent before the close is there: 300 less the event log.
        EXPECT_EQ(w.video + w.audio, 299u);
        EXPECT_FALSE(contains(sim.trafficText(), "TRANS_OFF_REQ"));
    }
    {
        SimProcess sim(simArgs({"--backup-fail", "100:53"}));
        const auto r = download(sim, kMinute);
        EXPECT_EQ(r.status, 3);
        EXPECT_TRUE(contains(r.out, "\"reason\":\"failed\""));
        EXPECT_TRUE(contains(r.out, "\"kind\":6,\"detail\":4"));
        const auto pairs = linesWith(r.lines(), "\"archive_pair\"");
        ASSERT_EQ(pairs.size(), 1u);
        kalix::archive::ArchivePair pair;
        ASSERT_TRUE(pair.open(text(pairs[0], "idx"))) << pair.failure();
        EXPECT_EQ(walk(pair).video + walk(pair).audio, 99u);
    }
}

TEST_F(Download, FolderThatCannotBeMadeIsAWriteError) {
    SimProcess sim(simArgs());
    fs::create_directories(out().parent_path());
    std::ofstream(out()) << "a file in the way";
    const auto r = download(sim, kMinute);
    EXPECT_EQ(r.status, 3);
    const auto ends = linesWith(r.lines(), "\"download_end\"");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(text(ends[0], "reason"), "write_error");
    EXPECT_FALSE(text(ends[0], "error").empty());
    EXPECT_TRUE(contains(sim.trafficText(), "TRANS_OFF_REQ"));
}

}  // namespace
