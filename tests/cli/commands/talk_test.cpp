// kalix-cli talk refuses any input the microphone cannot speak, before the
// recorder hears of it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "../cli_test_support.h"
#include "cli/commands/commands.h"

namespace kalix::cli {
namespace {

namespace fs = std::filesystem;
using testing::Args;
using testing::Listener;

void writeWav(const fs::path& p, int channels, int rate, int bits, std::size_t data_bytes) {
    std::vector<std::uint8_t> h(44, 0);
    auto le = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) h[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const auto block = static_cast<std::uint32_t>(channels * bits / 8);
    std::memcpy(h.data(), "RIFF", 4);
    le(4, static_cast<std::uint32_t>(36 + data_bytes), 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    le(16, 16, 4);
    le(20, 1, 2);
    le(22, static_cast<std::uint32_t>(channels), 2);
    le(24, static_cast<std::uint32_t>(rate), 4);
    le(28, static_cast<std::uint32_t>(rate) * block, 4);
    le(32, block, 2);
    le(34, static_cast<std::uint32_t>(bits), 2);
    std::memcpy(h.data() + 36, "data", 4);
    le(40, static_cast<std::uint32_t>(data_bytes), 4);
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), 44);
    const std::vector<char> silence(data_bytes, 0);
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

class CliTalkCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalix-cli-talk-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Outcome {
        RunEnd end;
        std::string err;
    };
    Outcome talk(const fs::path& input, const std::string& port) {
        const auto command = makeTalkCommand();
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        const RunEnd end = runSession(*command, Args{"--host", "127.0.0.1", "--port", port, "--user", "u",
                                                     "--password", "p", "--seconds", "1", "--input",
                                                     input.string(), "--no-log"});
        ::testing::internal::GetCapturedStdout();
        return {end, ::testing::internal::GetCapturedStderr()};
    }
    fs::path dir_;
};

TEST_F(CliTalkCommand, AnInputOfAnotherFormatOrNoWavAtAllIsRefusedBeforeConnecting) {
    Listener recorder;
    writeWav(dir_ / "mono.wav", 1, 8000, 16, 1600);
    writeWav(dir_ / "fast.wav", 2, 44100, 16, 1600);
    writeWav(dir_ / "bytes.wav", 2, 8000, 8, 1600);
    std::ofstream(dir_ / "text.wav") << "RIFF but not really a wave file at all, only text";

    const auto mono = talk(dir_ / "mono.wav", recorder.port());
    EXPECT_EQ(mono.end, RunEnd::UsageError);
    EXPECT_EQ(mono.err, "kalix-cli talk: " + (dir_ / "mono.wav").string() +
                            ": not 2-channel 8 kHz 16-bit PCM (1 channels, 8000 Hz, 16-bit)\n");
    EXPECT_NE(talk(dir_ / "fast.wav", recorder.port()).err.find("(2 channels, 44100 Hz, 16-bit)"), std::string::npos);
    EXPECT_NE(talk(dir_ / "bytes.wav", recorder.port()).err.find("(2 channels, 8000 Hz, 8-bit)"), std::string::npos);
    for (const char* name : {"text.wav", "missing.wav"}) {
        const auto r = talk(dir_ / name, recorder.port());
        EXPECT_EQ(r.end, RunEnd::UsageError) << name;
        EXPECT_EQ(r.err.rfind("kalix-cli talk: " + (dir_ / name).string() + ": ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(recorder.connected());
}

TEST_F(CliTalkCommand, TheMicrophonesFormatGoesOnToConnect) {
    writeWav(dir_ / "stereo.wav", 2, 8000, 16, 16384);
    EXPECT_EQ(talk(dir_ / "stereo.wav", testing::closedPort()).end, RunEnd::ConnectionFailed);
}

}  // namespace
}  // namespace kalix::cli
