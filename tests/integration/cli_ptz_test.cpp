// kalix-cli ptz and snapshot against kalix-sim: the PTZ bytes on the wire
// per step, nothing sent when the rights or the channel do not allow it,
// and stills that are whole files of the right size.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "cli_processes.h"

namespace kalix::integration {
namespace {

Finished cli(const SimProcess& sim, const std::string& command, std::vector<std::string> extra,
             const std::string& user = "admin", const std::string& password = "1234") {
    std::vector<std::string> args{KALIX_CLI_PATH, command, "--host", "127.0.0.1", "--port", sim.port(),
                                  "--user",       user,    "--password", password, "--json", "--no-log",
                                  "--settle",     "0.5",   "--timeout", "5"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run(args);
}

std::string lineWith(const Finished& r, const std::string& part) {
    for (const auto& l : r.lines())
        if (contains(l, part)) return l;
    return {};
}

// The PTZ messages the recorder received, in order: "282:0301000" style
// entries, the code and the payload in hex.
std::vector<std::string> ptzTraffic(const SimProcess& sim) {
    std::vector<std::string> out;
    std::istringstream in(sim.trafficText());
    std::string line;
    while (std::getline(in, line)) {
        if (!contains(line, "\"dir\":\"recv\"")) continue;
        for (const char* code : {"282", "284", "285"}) {
            if (!contains(line, std::string("\"code\":") + code + ",")) continue;
            const auto at = line.find("\"payload\":\"");
            const auto end = line.find('"', at + 11);
            out.push_back(std::string(code) + ":" + line.substr(at + 11, end - at - 11));
        }
    }
    return out;
}

TEST(CliPtz, StepsGoOutAsTheirBytesOnceTheChannelHasPtz) {
    SimProcess sim({"--channels", "4"});
    const Finished r = cli(sim, "ptz", {"--channel", "2", "--form", "zoom", "up:50", "preset-go:300", "tour:4",
                                        "dome-open", "left:20", "dome-enter", "dome-esc", "dome-close",
                                        "learn:7", "wait:10", "learn-stop", "pattern:9", "preset-set:999"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lineWith(r, "ptz_channel"), "{\"event\":\"ptz_channel\",\"channel\":2,\"ptz\":true}");
    EXPECT_EQ(ptzTraffic(sim), (std::vector<std::string>{
                                   "282:02010000", "284:04000000", "285:", "284:092c0001", "284:11040000",
                                   "284:0d000000",
                                   "284:01000000",  // pan-form left inside the dome menu
                                   "285:", "284:0e000000", "284:0f000000", "284:10000000", "284:0a070000",
                                   "284:0b070000", "284:0c090000", "284:08e70003"}));
    EXPECT_TRUE(contains(r.lines().back(), "\"closed\""));
}

TEST(CliPtz, AChannelWithoutPtzGetsNoSteps) {
    SimProcess sim({"--channels", "4", "--ptz-channels", "0x1"});
    const Finished r = cli(sim, "ptz", {"--channel", "1", "right"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(lineWith(r, "ptz_channel"), "{\"event\":\"ptz_channel\",\"channel\":1,\"ptz\":false}");
    EXPECT_EQ(ptzTraffic(sim), (std::vector<std::string>{"282:01000000"}));
}

TEST(CliPtz, RightsAndHiddenChannelsSendNothing) {
    // No PTZ right; no preset permission for a preset-set; a covert channel.
    SimProcess sim({"--channels", "4", "--user", "admin:1234", "--user", "guard:pw", "--user", "cam:pw",
                    "--user-rights", "guard:111101111", "--no-presets", "cam", "--covert", "0x4",
                    "--user-rights", "cam:111110111"});
    for (const auto& [user, steps] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"guard", {"--channel", "0", "up"}},
             {"cam", {"--channel", "0", "preset-set:5"}},
             {"cam", {"--channel", "2", "preset-go:5"}},
         }) {
        const Finished r = cli(sim, "ptz", steps, user, "pw");
        EXPECT_EQ(r.status, 3) << user << r.out;
        EXPECT_TRUE(contains(r.out, "\"kind\":15,\"detail\":0")) << r.out;
    }
    EXPECT_TRUE(ptzTraffic(sim).empty());
    // The same user may go to a preset on a channel it sees.
    const Finished ok = cli(sim, "ptz", {"--channel", "0", "preset-go:5"}, "cam", "pw");
    EXPECT_EQ(ok.status, 0) << ok.out;
}

TEST(CliPtz, BadStepsAreUsageErrorsBeforeConnecting) {
    SimProcess sim;
    for (const auto& steps : std::vector<std::vector<std::string>>{
             {"--channel", "0", "learn-stop"},
             {"--channel", "0", "dome-enter"},
             {"--channel", "0", "preset-go:1000"},
             {"--channel", "0", "preset-go:0"},
             {"--channel", "0", "tour:5"},
             {"--channel", "0", "pattern:10"},
             {"--channel", "0", "spin"},
             {"--channel", "16", "up"},
             {"--channel", "0", "--form", "tilt", "up"},
             {"--channel", "0"},
         }) {
        const Finished r = cli(sim, "ptz", steps);
        EXPECT_EQ(r.status, 2) << steps.back();
    }
    EXPECT_EQ(sim.trafficText().find("HELLO"), std::string::npos);
}

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CliSnapshot, SavesTheFirstPictureAsAStillOfEachFormat) {
    SimProcess sim({"--channels", "4", "--video", "--fps", "10"});
    const fs::path dir = fs::path(::testing::TempDir()) / ("kalix_snap_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    for (const auto& [format, ext] : {std::pair{"bmp", ".bmp"}, {"jpeg", ".jpg"}, {"tiff", ".tif"}}) {
        const Finished r = cli(sim, "snapshot", {"--channel", "1", "--out", dir.string(), "--format", format,
                                                 "--date-format", "2"});
        ASSERT_EQ(r.status, 0) << r.out;
        const std::string line = lineWith(r, "\"snapshot\"");
        ASSERT_FALSE(line.empty()) << r.out;
        const auto file_at = line.find("\"file\":\"") + 8;
        const fs::path file = line.substr(file_at, line.find('"', file_at) - file_at);
        EXPECT_EQ(file.parent_path(), dir);
        EXPECT_TRUE(file.filename().string().ends_with(std::string("_0002") + ext)) << file;
        EXPECT_EQ(file.filename().string().size(), 23u);
        // Day first: "DD-MM-YYYY  hh:mm:ss".
        const auto caption_at = line.find("\"caption\":\"") + 11;
        const std::string caption = line.substr(caption_at, line.find('"', caption_at) - caption_at);
        EXPECT_EQ(caption.size(), 20u);
        EXPECT_EQ(caption[2], '-');
        EXPECT_EQ(caption.substr(10, 2), "  ");
        const auto bytes = fileBytes(file);
        ASSERT_GT(bytes.size(), 100u);
        if (std::string(format) == "bmp") {
            EXPECT_EQ(bytes.size(), 1'440'054u);
        } else if (std::string(format) == "jpeg") {
            EXPECT_EQ(bytes[0], 0xFF);
            EXPECT_EQ(bytes[1], 0xD8);
        } else {
            EXPECT_EQ(bytes[0], 'M');
            EXPECT_EQ(bytes[1], 'M');
        }
    }
}

TEST(CliSnapshot, AHiddenChannelGivesNoStill) {
    SimProcess sim({"--channels", "4", "--video", "--user", "admin:1234", "--live-rights", "admin:0xFFFD"});
    const fs::path dir = fs::path(::testing::TempDir()) / ("kalix_snap_hidden_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const Finished r = cli(sim, "snapshot", {"--channel", "1", "--out", dir.string()});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.out, "\"kind\":15,\"detail\":0")) << r.out;
    EXPECT_FALSE(fs::exists(dir) && !fs::is_empty(dir));
}

}  // namespace
}  // namespace kalix::integration
