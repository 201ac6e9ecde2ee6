// kalix-cli login as a script runs it, against kalix-sim as a separate
// program on 127.0.0.1.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "media/video/md5.h"
#include "media/audio/g726.h"
#include "sim/channel_picture.h"
#include "sim/live_audio.h"

#include "cli_processes.h"

namespace {

using namespace kalix::integration;

Finished login(const SimProcess& sim, std::vector<std::string> extra) {
    std::vector<std::string> args = {KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--port", sim.port(),
                                      "--json", "--location", sim.location().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return run(args);
}


TEST(CliLogin, AcceptedLoginPrintsLoginThenClosedAndExitsZero) {
    SimProcess sim({"--user", "admin:1234", "--mac", "00-11-22-33-44-55", "--channels", "8"});
    const auto r = login(sim, {"--user", "Admin", "--password", "1234"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto lines = r.lines();
    ASSERT_GE(lines.size(), 2u) << r.out;
    EXPECT_TRUE(contains(lines.front(), R"("event":"login","recorder_kind":3,"channels":8,"mac":"00-11-22-33-44-55")"))
        << lines.front();
    EXPECT_TRUE(contains(lines.back(), R"("event":"closed")")) << lines.back();
    EXPECT_TRUE(contains(lines.back(), R"("exit":0)"));
    for (const auto& l : lines) EXPECT_TRUE(l.front() == '{' && l.back() == '}') << l;

    // The recorder saw HELLO, LIVE_REQ, ... and BYE48 at the end.
    const std::string traffic = sim.trafficText();
    const auto hello = traffic.find(R"("name":"HELLO")");
    const auto live = traffic.find(R"("name":"LIVE_REQ")");
    const auto bye = traffic.find(R"("name":"BYE48")");
    ASSERT_NE(hello, std::string::npos) << traffic;
    ASSERT_NE(live, std::string::npos);
    ASSERT_NE(bye, std::string::npos);
    EXPECT_LT(hello, live);
    EXPECT_LT(live, bye);
    // Login and logout records in the operation log.
    EXPECT_EQ(fs::file_size(sim.location() / "Log" / "kalix.log"), 8u + 2 * 184u);
}

TEST(CliLogin, WrongPasswordExitsThreeWithTheRefusalNotice) {
    SimProcess sim({"--user", "admin:1234"});
    const auto r = login(sim, {"--user", "admin", "--password", "nope"});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"event":"notice","kind":3,"detail":1,)")) << r.out;
    EXPECT_TRUE(contains(r.out, R"("kind":2,"detail":0)")) << r.out;
    EXPECT_FALSE(contains(r.out, R"("event":"login")"));
}

TEST(CliLogin, UnsupportedRecorderShowsTheMessageBox) {
    SimProcess sim({"--product", "2"});
    const auto r = login(sim, {"--user", "admin", "--password", "1234"});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"event":"message_box","text":"Not MOSS-X or LARK!"})")) << r.out;
}

TEST(CliLogin, RecorderClosingDuringTheSessionExitsThree) {
    SimProcess sim({"--close-after", "1"});
    const auto r = login(sim, {"--user", "admin", "--password", "1234", "--seconds", "5"});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(contains(r.out, R"("event":"login")"));
    std::size_t kind2 = 0;
    for (const auto& l : r.lines()) kind2 += contains(l, R"("event":"notice","kind":2,)") ? 1u : 0u;
    EXPECT_EQ(kind2, 1u) << r.out;
}

TEST(CliLogin, ConnectionRefusedExitsThree) {
    std::string port;
    {
        SimProcess sim;
        port = sim.port();
    }  // the simulator is gone: nothing listens on its port
    const auto r = run({KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--port", port, "--user", "a",
                        "--password", "b", "--json", "--no-log"});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(contains(r.out, R"("kind":1,"detail":1)")) << r.out;
}

TEST(CliLogin, UsageErrorsExitTwo) {
    EXPECT_EQ(run({KALIX_CLI_PATH}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "login"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--user", "a"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "login", "--host", "h", "--user", "a", "--password", "b", "--port", "65535"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "login", "--host", "h", "--user", "a", "--password", "b", "--seconds", "x"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "login", "--bogus"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "frobnicate"}).status, 2);
    EXPECT_EQ(run({KALIX_CLI_PATH, "login", "--help"}).status, 0);
}

TEST(CliLogin, AnInterruptAfterTheLoginClosesAsTheClientAndExitsZero) {
    SimProcess sim;
    CliProcess cli({KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--port", sim.port(), "--user", "admin",
                    "--password", "1234", "--seconds", "60", "--json", "--no-log"});
    EXPECT_TRUE(contains(cli.line(), R"({"event":"login",)"));
    cli.interrupt();
    std::string last;
    for (std::string l = cli.line(); !l.empty(); l = cli.line()) last = l;
    EXPECT_EQ(cli.wait(), 0);
    EXPECT_EQ(last, "{\"event\":\"closed\",\"by\":\"client\",\"logged_in\":true,\"exit\":0}\n");
    EXPECT_NE(sim.trafficText().find(R"("name":"BYE48")"), std::string::npos);
}

TEST(CliLogin, AnInterruptBeforeTheLoginIsAnswered) {
    // A listener that never answers: the connection completes in its backlog.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(silent, 1), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
    CliProcess cli({KALIX_CLI_PATH, "login", "--host", "127.0.0.1", "--port", std::to_string(ntohs(a.sin_port)),
                    "--user", "admin", "--password", "1234", "--timeout", "60", "--no-log"});
    // Connected means the interrupt is already being watched for.
    pollfd p{silent, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    cli.interrupt();
    // The close may bring the connection's end notice first.
    std::string last;
    for (std::string l = cli.line(); !l.empty(); l = cli.line()) last = l;
    EXPECT_EQ(last, "closed by client, exit status 3\n");
    EXPECT_EQ(cli.wait(), 3);
    ::close(silent);
}

TEST(CliLogin, HostNamesResolveToDottedText) {
    SimProcess sim;
    const auto r = run({KALIX_CLI_PATH, "login", "--host", "localhost", "--port", sim.port(), "--user", "admin",
                        "--password", "1234", "--json", "--location", sim.location().string()});
    EXPECT_EQ(r.status, 0) << r.out;
    std::ifstream in(sim.location() / "Log" / "kalix.log", std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GE(bytes.size(), 8u + 184u);
    EXPECT_EQ(std::string(bytes.data() + 8 + 24), "127.0.0.1");
}

TEST(CliLive, EveryDecodedPictureIsTheSimulatorsPicture) {
    SimProcess sim({"--video", "--channels", "4", "--fps", "25", "--gop", "10", "--size", "352x288",
                    "--channel-size", "1:704x576", "--channel-size", "3:720x480", "--video-loss", "0x4"});
    const fs::path out = sim.location() / "live";
    const auto r = login(sim, {"--user", "admin", "--password", "1234"});  // a plain login first
    ASSERT_EQ(r.status, 0) << r.out;
    const auto live = run({KALIX_CLI_PATH, "live", "--host", "127.0.0.1", "--port", sim.port(), "--user", "admin",
                           "--password", "1234", "--seconds", "2", "--out", out.string(), "--json", "--no-log"});
    ASSERT_EQ(live.status, 0) << live.out;

    std::ifstream md5s(out / "frames.md5");
    std::map<int, std::uint32_t> next_index;
    std::map<int, std::unique_ptr<kalix::sim::ChannelPicture>> pictures;
    std::size_t lines = 0;
    for (std::string line; std::getline(md5s, line); ++lines) {
        std::istringstream in(line);
        int channel = -1;
        std::uint32_t index = 0;
        int w = 0;
        int h = 0;
        std::string sum;
        ASSERT_TRUE(in >> channel >> index >> w >> h >> sum) << line;
        // Pictures of a channel come in order, none lost, from the key frame.
        EXPECT_EQ(index, next_index[channel]++) << line;
        auto& picture = pictures[channel];
        if (!picture) picture = std::make_unique<kalix::sim::ChannelPicture>(channel, w, h);
        const auto expected = picture->picture(index);
        EXPECT_EQ(sum, kalix::media::md5Hex(expected.bytes())) << line;
    }
    EXPECT_GT(lines, 60u);
    EXPECT_EQ(next_index.count(2), 0u);  // video loss: nothing decoded
    EXPECT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[1]->width(), 704);
    EXPECT_EQ(pictures[3]->height(), 480);
    for (const char* name : {"ch01.png", "ch02.png", "ch04.png"}) {
        std::ifstream png(out / name, std::ios::binary);
        std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(png), {}};
        ASSERT_GT(bytes.size(), 57u) << name;
        EXPECT_EQ(bytes[1], 'P');
        // IEND with its fixed CRC closes the file.
        const std::vector<unsigned char> iend{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        EXPECT_TRUE(std::equal(iend.begin(), iend.end(), bytes.end() - 12)) << name;
    }
    EXPECT_FALSE(fs::exists(out / "ch03.png"));
}

// A recorded clip through the whole path: the simulator rewrites it and
// loops it, the client decodes it with its own parameter sets, and every
// picture is the one FFmpeg decodes from the original file.
TEST(CliLive, RecordedClipDecodesToTheOriginalPictures) {
    const std::string data = KALIX_TEST_DATA_DIR;
    SimProcess sim({"--clip", data + "/h264/clip704x576.264", "--channels", "2", "--fps", "30"});
    std::vector<std::string> expected;
    {
        std::ifstream in(data + "/h264/clip704x576.md5");
        for (std::string line; std::getline(in, line);) expected.push_back(line);
    }
    ASSERT_EQ(expected.size(), 30u);
    const fs::path out = sim.location() / "live";
    const auto live = run({KALIX_CLI_PATH, "live", "--host", "127.0.0.1", "--port", sim.port(), "--user", "admin",
                           "--password", "1234", "--seconds", "3", "--out", out.string(), "--json", "--no-log"});
    ASSERT_EQ(live.status, 0) << live.out;

    std::ifstream md5s(out / "frames.md5");
    std::map<int, std::uint32_t> next_index;
    for (std::string line; std::getline(md5s, line);) {
        std::istringstream in(line);
        int channel = -1;
        std::uint32_t index = 0;
        int w = 0;
        int h = 0;
        std::string sum;
        ASSERT_TRUE(in >> channel >> index >> w >> h >> sum) << line;
        EXPECT_EQ(index, next_index[channel]++) << line;
        EXPECT_EQ(w, 704);
        EXPECT_EQ(h, 576);
        EXPECT_EQ(sum, expected[index % expected.size()]) << line;
    }
    ASSERT_EQ(next_index.size(), 2u);
    // Past the end of the clip at least once on each channel.
    EXPECT_GT(next_index[0], 35u);
    EXPECT_GT(next_index[1], 35u);
}

std::vector<std::uint8_t> readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::vector<std::int16_t> v;
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2)
        v.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return v;
}

TEST(CliLiveAudio, TheSelectedChannelsSoundIsDecodedBitExactly) {
    SimProcess sim({"--audio", "--channels", "4"});
    const fs::path out = sim.location() / "live";
    const auto r = run({KALIX_CLI_PATH, "live", "--host", "127.0.0.1", "--port", sim.port(), "--user", "admin",
                        "--password", "1234", "--seconds", "2", "--out", out.string(), "--audio-channel", "2",
                        "--json", "--no-log"});
    ASSERT_EQ(r.status, 0) << r.out;
    const auto wav = readBytes(out / "audio.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(wav[22], 2);                      // channels
    EXPECT_EQ(wav[24] | (wav[25] << 8), 8000);  // rate
    EXPECT_EQ(wav[34], 16);                     // bits
    const auto played = samplesOf(wav, 44);
    ASSERT_GE(played.size(), 128u * 100);       // well over a second of sound

    // The recorder's blocks for channel 2, decoded from a fresh state.
    kalix::sim::ChannelTone tone(2);
    kalix::media::G726Decoder decoder;
    std::vector<std::int16_t> expected;
    while (expected.size() < played.size()) {
        const auto block = tone.nextBlock();
        std::array<std::int16_t, 128> values{};
        ASSERT_TRUE(decoder.decode(block, values).ok());
        expected.insert(expected.end(), values.begin(), values.end());
    }
    expected.resize(played.size());
    EXPECT_TRUE(played == expected);
}

void writeWav(const fs::path& p, const std::vector<std::int16_t>& samples, int channels, int rate) {
    std::vector<std::uint8_t> h(44, 0);
    auto le32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(h.data(), "RIFF", 4);
    le32(4, static_cast<std::uint32_t>(36 + samples.size() * 2));
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    le32(16, 16);
    h[20] = 1;
    h[22] = static_cast<std::uint8_t>(channels);
    le32(24, static_cast<std::uint32_t>(rate));
    le32(28, static_cast<std::uint32_t>(rate * channels * 2));
    h[32] = static_cast<std::uint8_t>(channels * 2);
    h[34] = 16;
    std::memcpy(h.data() + 36, "data", 4);
    le32(40, static_cast<std::uint32_t>(samples.size() * 2));
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), 44);
    for (auto s : samples) {
        const char b[2] = {static_cast<char>(s & 0xFF), static_cast<char>((s >> 8) & 0xFF)};
        out.write(b, 2);
    }
}

TEST(CliTalk, TheRecorderReceivesTheEncodingOfTheInput) {
    SimProcess sim({"--talk-out", "{dir}/talk.raw"});
    std::vector<std::int16_t> input;
    for (int i = 0; i < 8000 * 3; ++i) {  // 3 s, left and right apart
        input.push_back(static_cast<std::int16_t>(9000.0 * std::sin(i * 2 * 3.14159265 * 440 / 8000)));
        input.push_back(static_cast<std::int16_t>(5000.0 * std::sin(i * 2 * 3.14159265 * 660 / 8000)));
    }
    const fs::path wav = sim.location().parent_path() / "input.wav";
    writeWav(wav, input, 2, 8000);
    const auto r = run({KALIX_CLI_PATH, "talk", "--host", "127.0.0.1", "--port", sim.port(), "--user", "admin",
                        "--password", "1234", "--seconds", "2", "--input", wav.string(), "--json", "--no-log"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.out.find(R"({"event":"talk","state":"accepted"})") != std::string::npos) << r.out;
    std::this_thread::sleep_for(200ms);
    const auto received = readBytes(sim.location().parent_path() / "talk.raw");
    ASSERT_GE(received.size(), 1536u * 4) << "talk audio received";
    EXPECT_EQ(received.size() % 1536, 0u);

    // Each 2,048-frame buffer is one stream of 4,096 values, coded with the
    // state kept from buffer to buffer.
    kalix::media::G726Encoder encoder;
    std::vector<std::uint8_t> expected(received.size());
    for (std::size_t chunk = 0; chunk * 1536 < received.size(); ++chunk) {
        const std::span<const std::int16_t> values(input.data() + chunk * 4096, 4096);
        ASSERT_TRUE(encoder.encode(values, std::span(expected).subspan(chunk * 1536, 1536)).ok());
    }
    EXPECT_TRUE(received == expected);
    const auto traffic = sim.trafficText();
    EXPECT_NE(traffic.find(R"("name":"A_LISTEN_REQ")"), std::string::npos);
    EXPECT_NE(traffic.find(R"("name":"A_LISTEN_STOP_REQ")"), std::string::npos);
}

TEST(CliTalk, AnInputOfAnotherFormatIsRefusedBeforeAnythingIsSent) {
    SimProcess sim;
    const fs::path wav = sim.location().parent_path() / "mono.wav";
    writeWav(wav, std::vector<std::int16_t>(8000, 0), 1, 8000);
    const auto r = run({KALIX_CLI_PATH, "talk", "--host", "127.0.0.1", "--port", sim.port(), "--user", "admin",
                        "--password", "1234", "--seconds", "1", "--input", wav.string(), "--no-log"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(sim.trafficText().find(R"("name":"HELLO")"), std::string::npos);
}

}  // namespace
