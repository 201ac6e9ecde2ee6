// Runs the kalix-sim program itself: start-up line, port file, signals and
// exit codes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/unique_fd.h"

extern char** environ;

namespace {

using kalix::protocol::UniqueFd;
using namespace std::chrono_literals;

const std::string kProgram = std::string(KALIX_BINARY_DIR) + "/tools/sim/kalix-sim";

struct Running {
    pid_t pid = -1;
    UniqueFd out;  // the program's standard output
    UniqueFd err;  // and its standard error
};

Running launch(const std::vector<std::string>& args) {
    int out[2];
    int err[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Running r;
    EXPECT_EQ(::posix_spawn(&r.pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    r.out = UniqueFd(out[0]);
    r.err = UniqueFd(err[0]);
    return r;
}

// Reads until a newline, end of file or the time limit.
std::string readLine(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[256];
        const auto n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    return line;
}

int exitCode(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SimProgramTest, ListensWritesThePortFileAndStopsOnSignals) {
    for (const int sig : {SIGTERM, SIGINT}) {
        const std::string port_file = ::testing::TempDir() + "kalix_sim_port_" + std::to_string(::getpid());
        Running sim = launch({"--port", "0", "--port-file", port_file, "--quiet"});
        const std::string line = readLine(sim.out.get(), 10s);
        const std::string prefix = "kalix-sim listening on 127.0.0.1:";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const int port = std::stoi(line.substr(prefix.size()));
        EXPECT_GT(port, 0);

        std::ifstream in(port_file);
        int written = 0;
        in >> written;
        EXPECT_EQ(written, port);

        ASSERT_EQ(::kill(sim.pid, sig), 0);
        EXPECT_EQ(exitCode(sim.pid), 0);
        std::remove(port_file.c_str());
    }
}

TEST(SimProgramTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--port", "99999"}, {"--mac", "zz"}, {"--user"}}) {
        Running sim = launch(args);
        const std::string err = readLine(sim.err.get(), 10s);
        EXPECT_NE(err.find("kalix-sim: "), std::string::npos) << args[0];
        EXPECT_EQ(exitCode(sim.pid), 2) << args[0];
    }
}

TEST(SimProgramTest, HelpExitsWithZero) {
    Running sim = launch({"--help"});
    EXPECT_NE(readLine(sim.out.get(), 10s).find("Usage: kalix-sim"), std::string::npos);
    EXPECT_EQ(exitCode(sim.pid), 0);
}

}  // namespace
