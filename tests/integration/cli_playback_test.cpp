// kalix-cli search and play against kalix-sim with a known recording
// schedule, as separate programs on 127.0.0.1.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "cli_processes.h"
#include "media/video/md5.h"
#include "sim/channel_picture.h"

namespace {

using namespace kalix::integration;

// Two channels recorded on 2024-02-29, with a gap on channel 1, and events.
constexpr const char* kSchedule =
    "rec 0 2024-02-29T10:00:00 2024-02-29T10:10:00 1\n"
    "rec 1 2024-02-29T10:00:00 2024-02-29T10:05:00 2\n"
    "rec 1 2024-02-29T11:00:00 2024-02-29T11:30:00\n"
    "rec 0 2023-12-31T23:00:00 2024-01-01T01:00:00\n"
    "event 2 0x3 2024-02-29T10:00:02 2024-02-29T10:00:04\n"
    "event 2 0x1 2024-02-29T10:05:00\n"
    "event 1 0x2 2024-02-29T11:00:00\n"
    "title 0 Lobby\n"
    "badtitle 1 Gate\n";

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        schedule_ = fs::temp_directory_path() / ("kalix-schedule-" + std::to_string(::getpid()) + ".txt");
        std::ofstream(schedule_) << kSchedule;
    }
    void TearDown() override { fs::remove(schedule_); }

    std::vector<std::string> simArgs(std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"--video", "--channels", "4", "--fps", "25", "--gop", "10",
                                      "--recordings", schedule_.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    static Finished cli(const SimProcess& sim, const std::string& command, std::vector<std::string> extra) {
        std::vector<std::string> args{KALIX_CLI_PATH, command, "--host", "127.0.0.1", "--port", sim.port(),
                                      "--user", "admin", "--password", "1234", "--json", "--no-log"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }
    fs::path schedule_;
};

std::vector<std::string> linesWith(const Finished& r, const std::string& part) {
    std::vector<std::string> out;
    for (const auto& l : r.lines())
        if (contains(l, part)) out.push_back(l);
    return out;
}

TEST_F(Playback, SearchPrintsMonthDayAndEventAnswersExactly) {
    SimProcess sim(simArgs());
    auto r = cli(sim, "search", {"--month", "2024-02"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(linesWith(r, R"("event":"month")"),
              std::vector<std::string>{R"({"event":"month","year":2024,"month":2,"days":[29],"years":[2023,2024]})"});
    r = cli(sim, "search", {"--month", "2023-12"});
    EXPECT_EQ(linesWith(r, R"("event":"month")"),
              std::vector<std::string>{R"({"event":"month","year":2023,"month":12,"days":[31],"years":[2023,2024]})"});

    r = cli(sim, "search", {"--day", "2024-02-29"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto stretches = linesWith(r, R"("event":"stretch")");
    ASSERT_FALSE(stretches.empty()) << r.out;
    EXPECT_TRUE(contains(r.out, R"("start":1709200800,)")) << r.out;  // 10:00:00
    EXPECT_TRUE(contains(r.out, R"("start_text":"2024-02-29 10:00:00")")) << r.out;
    EXPECT_TRUE(contains(r.out, R"("end_text":"2024-02-29 11:30:00")")) << r.out;
    EXPECT_EQ(linesWith(r, R"("event":"day")"),
              std::vector<std::string>{R"({"event":"day","date":"2024-02-29","count":)" +
                                       std::to_string(stretches.size()) + "}"});

    r = cli(sim, "search", {"--events", "2"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto records = linesWith(r, R"("event":"event_record")");
    ASSERT_EQ(records.size(), 2u) << r.out;
    EXPECT_TRUE(contains(records[0], R"({"event":"event_record","mask":3,"kind":2,"token":")")) << records[0];
    EXPECT_TRUE(contains(records[0], R"("time":1709200802,"time_text":"2024-02-29 10:00:02","time2":1709200804})"))
        << records[0];
    const auto page = linesWith(r, R"("event":"event_page")");
    ASSERT_EQ(page.size(), 1u);
    EXPECT_TRUE(contains(page[0], R"({"event":"event_page","kind":2,"page":0,"count":2,"word1":)")) << page[0];
}

TEST_F(Playback, SearchRefusalsEmptyMonthsAndUsageErrors) {
    SimProcess refusing(simArgs({"--refuse", "PLAY_INFO_DAY_REQ:1"}));
    auto r = cli(refusing, "search", {"--day", "2024-02-29"});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(linesWith(r, R"("event":"stretch")").empty());
    EXPECT_TRUE(linesWith(r, R"("event":"day")").empty());

    SimProcess empty({"--no-recordings"});
    r = cli(empty, "search", {"--month", "2024-02"});
    EXPECT_EQ(r.status, 0) << r.out;  // nothing recorded is an empty month
    EXPECT_EQ(linesWith(r, R"("event":"month")"),
              std::vector<std::string>{R"({"event":"month","year":2024,"month":2,"days":[],"years":[]})"});

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {},
             {"--month", "2024-02", "--day", "2024-02-01"},
             {"--month", "2024-13"},
             {"--day", "2023-02-29"},
             {"--events", "3"},
             {"--events", "1", "--page", "x"},
             {"--month", "2024-2"},
         }) {
        std::vector<std::string> args{KALIX_CLI_PATH, "search", "--host", "127.0.0.1", "--port", refusing.port(),
                                      "--user", "admin", "--password", "1234"};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(run(args).status, 2) << bad.size();
    }
}

// md5 of every picture the simulator's camera draws for a channel, by index.
std::map<std::string, std::uint32_t> cameraSums(int channel, std::uint32_t count) {
    std::map<std::string, std::uint32_t> sums;
    kalix::sim::ChannelPicture camera(channel, 352, 288);
    for (std::uint32_t i = 0; i < count; ++i) sums.emplace(kalix::media::md5Hex(camera.picture(i).bytes()), i);
    return sums;
}

struct Shown {
    int channel = 0;
    std::uint32_t index = 0;
    std::string sum;
};

std::vector<Shown> readMd5s(const fs::path& file) {
    std::vector<Shown> shown;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Shown s;
        int w = 0;
        int h = 0;
        fields >> s.channel >> s.index >> w >> h >> s.sum;
        shown.push_back(s);
    }
    return shown;
}

TEST_F(Playback, EveryPictureShownIsTheRecordedOneInOrder) {
    SimProcess sim(simArgs());
    const fs::path out = sim.location() / "play";
    const auto r = cli(sim, "play", {"--from", "2024-02-29 10:00:00", "--seconds", "3", "--out", out.string()});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"event":"playback","state":"started"})"));
    EXPECT_TRUE(contains(r.out, R"({"event":"play_channels","mask":3})")) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"event":"caption","channel":0,"title":"Lobby"})")) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"event":"caption","channel":1,"title":"CH2"})")) << r.out;
    // The stop, the picture counts and the closing line come in this order.
    const auto stopped = r.out.find(R"({"event":"playback","state":"stopped"})");
    const auto counts = r.out.find(R"({"event":"play_pictures","decoded":{"0":)");
    const auto closed = r.out.find(R"({"event":"closed","by":"client","logged_in":true,"exit":0})");
    ASSERT_NE(stopped, std::string::npos) << r.out;
    ASSERT_NE(counts, std::string::npos) << r.out;
    ASSERT_NE(closed, std::string::npos) << r.out;
    EXPECT_LT(stopped, counts);
    EXPECT_LT(counts, closed);

    const auto sums0 = cameraSums(0, 120);
    const auto sums1 = cameraSums(1, 120);
    std::map<int, std::uint32_t> next;
    const auto shown = readMd5s(out / "frames.md5");
    for (const auto& s : shown) {
        const auto& sums = s.channel == 0 ? sums0 : sums1;
        ASSERT_TRUE(s.channel == 0 || s.channel == 1) << s.channel;
        const auto found = sums.find(s.sum);
        ASSERT_NE(found, sums.end()) << s.channel << " " << s.index;
        // From the first recorded picture on, none missing, none twice.
        EXPECT_EQ(found->second, next[s.channel]) << s.channel;
        EXPECT_EQ(s.index, next[s.channel]++);
    }
    // Three seconds at 25 pictures a second, paced: about 70 each.
    EXPECT_GT(next[0], 55u);
    EXPECT_LT(next[0], 80u);
    EXPECT_TRUE(fs::exists(out / "ch01.png"));
    EXPECT_TRUE(fs::exists(out / "ch02.png"));
    EXPECT_FALSE(fs::exists(out / "ch03.png"));

    // The recorder was asked for the two channels at 10:00:00 with the
    // date-and-time search's filter, then granted 93, and told to stop.
    const std::string traffic = sim.trafficText();
    EXPECT_TRUE(contains(traffic, R"("name":"PLAY_ON_REQ","len":24,)")) << traffic.substr(0, 2000);
    // Every channel the recorder has, the date-and-time search's filter, 10:00:00.
    EXPECT_TRUE(contains(traffic, R"("payload":"0000000f3f000000000000000000000065e055a000000000")"));
    EXPECT_TRUE(contains(traffic, R"("name":"PLAY_STEP_DATA","len":4,)"));
    EXPECT_TRUE(contains(traffic, R"("payload":"0000005d")"));
    const auto stop = traffic.find(R"("name":"RPLAY_STOP")");
    const auto bye = traffic.find(R"("name":"BYE48")");
    ASSERT_NE(stop, std::string::npos);
    EXPECT_LT(stop, bye);
}

TEST_F(Playback, PauseShowsNothingMoreAndForwardResumesAfterThePausedPicture) {
    SimProcess sim(simArgs());
    const fs::path out = sim.location() / "play";
    const auto r = cli(sim, "play", {"--from", "2024-02-29 10:00:00", "--seconds", "6", "--out", out.string(),
                                     "--channels", "1", "--control", "1 pause; 2.5 forward"});
    ASSERT_EQ(r.status, 0) << r.out;
    const auto sums = cameraSums(0, 200);
    const auto shown = readMd5s(out / "frames.md5");
    ASSERT_FALSE(shown.empty());
    std::int64_t last = -1;
    for (const auto& s : shown) {
        const auto found = sums.find(s.sum);
        ASSERT_NE(found, sums.end());
        EXPECT_GT(static_cast<std::int64_t>(found->second), last);  // never back, never twice
        last = found->second;
    }
    // One second before the pause; after the resume the recorder goes back
    // to the paused second, whose pictures up to the pause are passed over,
    // and the pictures go on from the next key picture.
    std::size_t before_pause = 0;
    while (before_pause < shown.size() && sums.at(shown[before_pause].sum) == before_pause) ++before_pause;
    EXPECT_GT(before_pause, 20u);
    EXPECT_LT(before_pause, 30u);
    EXPECT_GT(shown.size(), before_pause + 20);
    const std::string traffic = sim.trafficText();
    const auto pause = traffic.find(R"("name":"PLAY_PAUSE")");
    const auto forward = traffic.find(R"("name":"PLAY_FORWARD","len":24)");
    ASSERT_NE(pause, std::string::npos) << traffic.substr(0, 3000);
    ASSERT_NE(forward, std::string::npos);
    EXPECT_LT(pause, forward);
}

TEST_F(Playback, RefusalAndFailureExitThreeAndAFailureGoesBackToLive) {
    SimProcess refusing(simArgs({"--refuse", "PLAY_ON_REQ:1"}));
    auto r = cli(refusing, "play",
                 {"--from", "2024-02-29 10:00:00", "--seconds", "3", "--out", (refusing.location() / "p").string()});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_FALSE(contains(r.out, R"("state":"started")"));
    EXPECT_TRUE(contains(r.out, R"("event":"notice")")) << r.out;

    SimProcess failing(simArgs({"--play-fail", "20:1"}));
    r = cli(failing, "play",
            {"--from", "2024-02-29 10:00:00", "--seconds", "5", "--out", (failing.location() / "p").string()});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"event":"playback","state":"stopped"})")) << r.out;
    const std::string traffic = failing.trafficText();
    const auto stop = traffic.find(R"("name":"RPLAY_STOP")");
    const auto live = traffic.find(R"("name":"LIVE_REQ")", traffic.find(R"("name":"PLAY_ON_FAIL")"));
    const auto bye = traffic.find(R"("name":"BYE48")");
    ASSERT_NE(stop, std::string::npos) << traffic.substr(0, 3000);
    ASSERT_NE(live, std::string::npos);
    EXPECT_LT(stop, live);
    EXPECT_LT(live, bye);
}

TEST_F(Playback, EventPlaybackSendsTheTokenAndJumps) {
    SimProcess sim(simArgs());
    const auto events = cli(sim, "search", {"--events", "2"});
    const auto records = linesWith(events, R"("event":"event_record")");
    ASSERT_FALSE(records.empty()) << events.out;
    const auto at = records[0].find(R"("token":")") + 9;
    const std::string token = records[0].substr(at, 16);
    const auto r = cli(sim, "play", {"--from", "2024-02-29 10:00:02", "--seconds", "3", "--out",
                                     (sim.location() / "e").string(), "--event", "2:" + token, "--control",
                                     "1 event-next"});
    EXPECT_EQ(r.status, 0) << r.out;
    const std::string traffic = sim.trafficText();
    EXPECT_TRUE(contains(traffic, R"("name":"EVENT_PLAY_REQ","len":24,)")) << traffic.substr(0, 3000);
    EXPECT_TRUE(contains(traffic, "\"payload\":\"0000000f04000000" + token + "65e055a27fe8177f\""))
        << traffic.substr(0, 3000);
    const auto pause = traffic.find(R"("name":"PLAY_PAUSE")");
    const auto jump = traffic.find(R"("name":"EVENT_JUMP_FORWARD","len":16)");
    ASSERT_NE(jump, std::string::npos);
    EXPECT_LT(pause, jump);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--seconds", "1", "--out", "x"},
             {"--from", "2024-02-30 10:00:00", "--seconds", "1", "--out", "x"},
             {"--from", "2024-02-29 10:00:00", "--out", "x"},
             {"--from", "2024-02-29 10:00:00", "--seconds", "1"},
             {"--from", "2024-02-29 10:00:00", "--seconds", "1", "--out", "x", "--channels", "0x10000"},
             {"--from", "2024-02-29 10:00:00", "--seconds", "1", "--out", "x", "--event", "3:0011223344556677"},
             {"--from", "2024-02-29 10:00:00", "--seconds", "1", "--out", "x", "--event", "1:00112233"},
             {"--from", "2024-02-29 10:00:00", "--seconds", "1", "--out", "x", "--control", "1 rewind"},
             {"--from", "2024-02-29 10:00:00", "--seconds", "1", "--out", "x", "--control", "1 event-next"},
         }) {
        std::vector<std::string> args{KALIX_CLI_PATH, "play", "--host", "127.0.0.1", "--port", sim.port(),
                                      "--user", "admin", "--password", "1234"};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(run(args).status, 2) << bad.size();
    }
}

}  // namespace
