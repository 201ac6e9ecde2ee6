#include "sim/sim_config.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace kalix::sim {
namespace {

std::optional<CommandLine> parse(std::vector<std::string_view> args, std::string& error) {
    return parseArguments(args, error);
}

TEST(SimConfigTest, DefaultsWithoutArguments) {
    std::string error;
    const auto cmd = parse({}, error);
    ASSERT_TRUE(cmd) << error;
    EXPECT_EQ(cmd->config.port, 0);
    ASSERT_EQ(cmd->config.users.size(), 1u);
    EXPECT_EQ(cmd->config.users[0].name, "admin");
    EXPECT_EQ(cmd->config.users[0].password, "1234");
    EXPECT_TRUE(cmd->config.answer_live_req);
    EXPECT_TRUE(cmd->config.log_events);
    EXPECT_FALSE(cmd->help);
}

TEST(SimConfigTest, EveryOptionReachesTheConfiguration) {
    std::string error;
    const auto cmd = parse({"--port", "2000", "--port-file", "/tmp/p", "--user", "Op:Secret",
                            "--user", "guest:", "--product", "12", "--channels", "4", "--mac",
                            "0a:0B-0c-0d-0e-ff", "--versions", "2.3", "--protocol", "4.5",
                            "--account", "1", "--feature", "0x00", "--web-port", "8080", "--firm",
                            "boot=1600000000", "--firm=app=0x10", "--bye", "-2",
                            "--wrong-password-reason", "37", "--close-after", "1.5", "--unknown",
                            "300:10", "--fragment-replies", "--oversized-unit", "--garbage",
                            "--hello-length", "767", "--live-mask", "0x000f000f", "--no-live",
                            "--traffic", "-", "--quiet"},
                           error);
    ASSERT_TRUE(cmd) << error;
    const SimConfig& c = cmd->config;
    EXPECT_EQ(c.port, 2000);
    EXPECT_EQ(cmd->port_file, "/tmp/p");
    ASSERT_EQ(c.users.size(), 2u);  // the default account is replaced
    EXPECT_EQ(c.users[0].name, "Op");
    EXPECT_EQ(c.users[0].password, "Secret");
    EXPECT_EQ(c.users[1].name, "guest");
    EXPECT_EQ(c.users[1].password, "");
    EXPECT_EQ(c.product_number, 12);
    EXPECT_EQ(c.channel_num, 4);
    EXPECT_EQ(c.mac, (std::array<std::uint8_t, 6>{0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0xff}));
    EXPECT_EQ(c.product_major, 2);
    EXPECT_EQ(c.product_minor, 3);
    EXPECT_EQ(c.protocol_major, 4);
    EXPECT_EQ(c.protocol_minor, 5);
    EXPECT_EQ(c.account, 1);
    EXPECT_EQ(c.feature, 0);
    EXPECT_EQ(c.web_port, 8080);
    ASSERT_EQ(c.firmware.size(), 2u);
    EXPECT_EQ(c.firmware[0], (std::pair<std::string, std::uint32_t>{"boot", 1600000000u}));
    EXPECT_EQ(c.firmware[1], (std::pair<std::string, std::uint32_t>{"app", 16u}));
    EXPECT_EQ(c.bye_reason, -2);
    EXPECT_EQ(c.wrong_password_reason, 37);
    EXPECT_EQ(c.close_after, std::chrono::milliseconds(1500));
    EXPECT_EQ(c.unknown_after_login, (std::pair<std::uint16_t, std::uint16_t>{300, 10}));
    EXPECT_TRUE(c.fragment_replies);
    EXPECT_TRUE(c.oversized_unit_after_login);
    EXPECT_TRUE(c.garbage_after_login);
    EXPECT_EQ(c.hello_length_override, 767u);
    EXPECT_EQ(c.live_mask, 0x000F000Fu);
    EXPECT_FALSE(c.answer_live_req);
    EXPECT_EQ(c.traffic_path, "-");
    EXPECT_FALSE(c.log_events);
}

TEST(SimConfigTest, UsageErrorsNameTheOption) {
    const std::vector<std::vector<std::string_view>> cases = {
        {"--bogus"},
        {"--port"},                       // value missing
        {"--port", "65536"},
        {"--port", "-1"},
        {"--port", "12ab"},
        {"--user", "nopass"},
        {"--user", ":pw"},
        {"--user", "seventeen-chars-x:pw"},
        {"--product", "256"},
        {"--mac", "00-11-22-33-44"},
        {"--mac", "00-11-22-33-44-gg"},
        {"--mac", "00_11_22_33_44_55"},
        {"--versions", "1"},
        {"--versions", "1.300"},
        {"--firm", "=5"},
        {"--firm", "boot"},
        {"--firm", "a-name-that-is-longer-than-32-bytes=1"},
        {"--firm", "boot=4294967296"},
        {"--bye", "x"},
        {"--bye", "2147483648"},
        {"--close-after", "-1"},
        {"--close-after", "soon"},
        {"--unknown", "512:1"},
        {"--unknown", "300"},
        {"--unknown", "300:65536"},
        {"--hello-length", "65536"},
        {"--live-mask", "0x100000000"},
        {"--garbage=1"},
        {"--traffic", ""},
        {"--fps", "0"},
        {"--fps", "31"},
        {"--channel-fps", "3"},
        {"--channel-fps", "16:10"},
        {"--size", "720x288"},
        {"--size", "704x577"},
        {"--size", "352"},
        {"--channel-size", "16:352x288"},
        {"--channel-size", "2:640x480"},
        {"--gop", "0"},
        {"--video-loss", "0x10000"},
        {"--video=yes"},
    };
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(parse(args, error)) << args[0];
        EXPECT_NE(error.find(std::string(args[0].substr(0, args[0].find('=')))), std::string::npos)
            << args[0] << ": " << error;
    }
}

// Options for all channels first, then one channel's: the later one wins.
TEST(SimConfigTest, VideoOptionsReachTheConfiguration) {
    std::string error;
    EXPECT_FALSE(parse({}, error)->config.video.enabled);
    const auto cmd = parse({"--video", "--live-mask", "0x0f", "--fps", "10", "--channel-fps", "3:30", "--size",
                            "704x576", "--channel-size", "2:720x480", "--gop", "50", "--video-loss", "0x0003"},
                           error);
    ASSERT_TRUE(cmd) << error;
    const VideoSettings& v = cmd->config.video;
    EXPECT_TRUE(v.enabled);
    EXPECT_EQ(v.frames_per_second[0], 10);
    EXPECT_EQ(v.frames_per_second[3], 30);
    EXPECT_EQ(v.sizes[0], (PictureSize{704, 576}));
    EXPECT_EQ(v.sizes[2], (PictureSize{720, 480}));
    EXPECT_EQ(v.key_interval, 50u);
    EXPECT_EQ(cmd->config.live_mask, 0x0003000Fu) << "video loss goes in the upper half of the live mask";
}

TEST(SimConfigTest, ClipOptionLoadsTheClipOrSaysWhyNot) {
    std::string error;
    const std::string clip = std::string(KALIX_TEST_DATA_DIR) + "/h264/clip704x576.264";
    const auto cmd = parse({"--clip", clip}, error);
    ASSERT_TRUE(cmd) << error;
    const VideoSettings& v = cmd->config.video;
    EXPECT_TRUE(v.enabled);
    ASSERT_TRUE(v.clip);
    EXPECT_EQ(v.clip->size(), 30u);
    EXPECT_EQ(v.sizes[15], (PictureSize{704, 576}));

    // The older clip was made with neither constrained intra prediction nor
    // chroma QP offset 2.
    EXPECT_FALSE(parse({"--clip", std::string(KALIX_TEST_DATA_DIR) + "/h264/clip352x288.264"}, error));
    EXPECT_NE(error.find("--clip"), std::string::npos) << error;
    EXPECT_NE(error.find("chroma_qp_index_offset"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--clip", "/nonexistent.264"}, error));
}

TEST(SimConfigTest, TwentyFirmwarePartsAtMost) {
    std::vector<std::string> storage;
    for (int i = 0; i < 21; ++i) storage.push_back("part" + std::to_string(i) + "=1");
    std::vector<std::string_view> args;
    for (std::size_t i = 0; i < 20; ++i) {
        args.push_back("--firm");
        args.push_back(storage[i]);
    }
    std::string error;
    EXPECT_TRUE(parse(args, error)) << error;
    args.push_back("--firm");
    args.push_back(storage[20]);
    EXPECT_FALSE(parse(args, error));
}

TEST(SimConfigTest, AudioAndTalkOptions) {
    std::string error;
    const auto plain = parse({}, error);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->config.audio.enabled);
    EXPECT_FALSE(plain->config.audio.mask);
    EXPECT_FALSE(plain->config.talk_nack_reason);
    EXPECT_TRUE(plain->config.talk_out_path.empty());

    const auto cmd = parse({"--audio", "--audio-mask", "0x0005", "--talk-nack=55", "--talk-out", "/tmp/t"}, error);
    ASSERT_TRUE(cmd) << error;
    EXPECT_TRUE(cmd->config.audio.enabled);
    EXPECT_EQ(cmd->config.audio.mask, std::optional<std::uint16_t>(0x0005));
    EXPECT_EQ(cmd->config.talk_nack_reason, std::optional<std::int32_t>(55));
    EXPECT_EQ(cmd->config.talk_out_path, "/tmp/t");
    EXPECT_FALSE(cmd->config.video.enabled) << "--audio implies nothing else";

    EXPECT_FALSE(parse({"--audio-mask", "0x10000"}, error));
    EXPECT_FALSE(parse({"--talk-nack", "x"}, error));
    EXPECT_FALSE(parse({"--talk-out", ""}, error));
    EXPECT_FALSE(parse({"--audio=1"}, error));
}

TEST(SimConfigTest, RecordingOptionsReachTheConfigurationOrSayWhatIsWrong) {
    const std::string path = ::testing::TempDir() + "kalix_sim_schedule_" + std::to_string(::getpid());
    {
        std::ofstream out(path);
        out << "rec 3 2024-05-10T08:00:00 2024-05-10T09:00:00 2\nevent 7 0x8 2024-05-10T08:30:00\n";
    }
    std::string error;
    auto cmd = parse({"--recordings", path, "--recordings-now", "2024-05-10T12:00:00", "--play-speed", "0",
                      "--search-records", "3", "--refuse", "PLAY_ON_REQ:98", "--refuse=PLAY_INFO_MONTH_REQ:83",
                      "--play-fail", "100:53"},
                     error);
    ASSERT_TRUE(cmd) << error;
    const RecordingSettings& r = cmd->config.recordings;
    ASSERT_TRUE(r.schedule);
    EXPECT_EQ(r.schedule->channelStretches(3).size(), 1u);
    EXPECT_EQ(r.now, 1'715'342'400u);
    EXPECT_EQ(r.start_speed, 0);
    EXPECT_EQ(r.records_per_message, 3u);
    ASSERT_EQ(cmd->config.refusals.size(), 2u);
    EXPECT_EQ(cmd->config.refusals[0].request, 51);
    EXPECT_EQ(cmd->config.refusals[0].reason, 98);
    EXPECT_EQ(r.fail_after, (std::pair<std::uint64_t, std::int32_t>{100, 53}));
    std::remove(path.c_str());

    cmd = parse({"--no-recordings"}, error);
    ASSERT_TRUE(cmd) << error;
    EXPECT_FALSE(cmd->config.recordings.enabled);
    for (const std::vector<std::string_view>& bad : std::vector<std::vector<std::string_view>>{
             {"--recordings", "/nonexistent/schedule"}, {"--play-speed", "7"}, {"--refuse", "LIVE_REQ:1"},
             {"--refuse", "PLAY_ON_REQ"}, {"--play-fail", "x:1"}, {"--recordings-now", "yesterday"}}) {
        error.clear();
        EXPECT_FALSE(parse(bad, error)) << bad[0] << " " << bad[1];
        EXPECT_EQ(error.rfind(std::string(bad[0]), 0), 0u) << error;
    }
}

TEST(SimConfigTest, HelpIsRecognised) {
    std::string error;
    const auto cmd = parse({"--help"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_TRUE(cmd->help);
    EXPECT_NE(usageText().find("--oversized-unit"), std::string::npos);
}

}  // namespace
}  // namespace kalix::sim
