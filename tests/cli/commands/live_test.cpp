// kalix-cli live's set-up and results, without a recorder to watch.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../cli_test_support.h"
#include "cli/commands/commands.h"

namespace kalix::cli {
namespace {

namespace fs = std::filesystem;
using testing::Args;
using testing::Listener;

class CliLiveCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalix-cli-live-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(CliLiveCommand, AnOutputFolderThatCannotBeWrittenIsRefusedBeforeConnecting) {
    std::ofstream(dir_ / "file") << "not a folder";
    const std::string out = (dir_ / "file" / "live").string();
    Listener recorder;
    for (const bool with_audio : {false, true}) {
        Args args{"--host", "127.0.0.1", "--port", recorder.port(), "--user", "u", "--password", "p",
                  "--seconds", "1", "--out", out, "--no-log"};
        if (with_audio) args.add({"--audio-channel", "3"});
        const auto command = makeLiveCommand();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runSession(*command, args), RunEnd::UsageError);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "kalix-cli live: cannot write to " + out + "\n");
    }
    EXPECT_FALSE(recorder.connected());
}

// With no recorder the results are still written, empty, and the count
// line comes before the closing line.
TEST_F(CliLiveCommand, ResultsAreWrittenEvenWhenTheConnectionFails) {
    const fs::path out = dir_ / "new" / "live";
    const auto command = makeLiveCommand();
    ::testing::internal::CaptureStdout();
    const RunEnd end = runSession(*command, Args{"--host", "127.0.0.1", "--port", testing::closedPort(), "--user",
                                                 "u", "--password", "p", "--seconds", "1", "--out", out.string(),
                                                 "--audio-channel", "0", "--json", "--no-log"});
    const std::string lines = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(end, RunEnd::ConnectionFailed);
    const auto counts = lines.find(R"({"event":"live_pictures","decoded":{}})" "\n");
    ASSERT_NE(counts, std::string::npos) << lines;
    EXPECT_LT(counts, lines.find(R"({"event":"closed")"));
    EXPECT_TRUE(fs::exists(out / "frames.md5"));
    EXPECT_EQ(fs::file_size(out / "frames.md5"), 0u);
    EXPECT_EQ(fs::file_size(out / "audio.wav"), 44u);  // the header, sizes filled in
    EXPECT_FALSE(fs::exists(out / "ch01.png"));
}

}  // namespace
}  // namespace kalix::cli
