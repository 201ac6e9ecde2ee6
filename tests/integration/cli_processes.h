#pragma once
// kalix-cli and kalix-sim as separate programs for the integration tests:
// a program run to its end, the simulator in the background, kalix-cli
// read line by line.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kalix::integration {

using namespace std::chrono_literals;
namespace fs = std::filesystem;



// In sanitizer builds the programs started here report SDL's thread-local
// error buffer, which SDL frees only for threads it created itself.
inline const bool kLeakSuppressions = [] {
    ::setenv("LSAN_OPTIONS", "suppressions=" KALIX_LSAN_SUPPRESSIONS, 0);
    return true;
}();

struct Finished {
    int status = -1;
    std::string out;
    std::vector<std::string> lines() const {
        std::vector<std::string> ls;
        std::string line;
        for (char c : out) {
            if (c == '\n') {
                ls.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return ls;
    }
};

// Starts a program with its standard output on a pipe; the pipe's reading
// end, or -1 (and no process) when the program could not be started.
inline int spawnReadingOutput(const std::vector<std::string>& args, pid_t& pid) {
    int pipe_fds[2];
    EXPECT_EQ(::pipe(pipe_fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (rc != 0) {
        ::close(pipe_fds[0]);
        pid = -1;
        return -1;
    }
    return pipe_fds[0];
}

// Runs a program to its end and collects its standard output.
inline Finished run(const std::vector<std::string>& args) {
    pid_t pid = -1;
    const int out = spawnReadingOutput(args, pid);
    Finished f;
    if (out < 0) return f;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out, buf, sizeof buf)) > 0) f.out.append(buf, static_cast<std::size_t>(n));
    ::close(out);
    int status = 0;
    ::waitpid(pid, &status, 0);
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return f;
}

// kalix-sim in the background for one test.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> extra = {}) {
        dir_ = fs::temp_directory_path() / ("kalix-cli-test-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(counter_++));
        fs::create_directories(dir_);
        std::vector<std::string> args = {KALIX_SIM_PATH, "--port", "0", "--port-file", (dir_ / "port").string(),
                                         "--traffic", traffic().string(), "--quiet"};
        for (auto& e : extra)  // "{dir}" stands for this simulator's own folder
            if (const auto at = e.find("{dir}"); at != std::string::npos) e.replace(at, 5, dir_.string());
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200 && port_.empty(); ++i) {
            std::ifstream in(dir_ / "port");
            std::getline(in, port_);
            if (port_.empty()) std::this_thread::sleep_for(25ms);
        }
        EXPECT_FALSE(port_.empty());
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status;
            ::waitpid(pid_, &status, 0);
        }
        fs::remove_all(dir_);
    }
    const std::string& port() const { return port_; }
    fs::path traffic() const { return dir_ / "traffic.jsonl"; }
    fs::path location() const { return dir_ / "location"; }
    std::string trafficText() const {
        std::ifstream in(traffic());
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    static inline int counter_ = 0;
    fs::path dir_;
    pid_t pid_ = -1;
    std::string port_;
};


inline bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// kalix-cli running in the background, its standard output read line by line.
class CliProcess {
public:
    explicit CliProcess(const std::vector<std::string>& args) {
        const int out = spawnReadingOutput(args, pid_);
        EXPECT_GE(out, 0);
        if (out >= 0) out_ = ::fdopen(out, "r");
    }
    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ != nullptr) ::fclose(out_);
    }
    // The next line, empty at the end of the output.
    std::string line() {
        char buf[4096];
        return out_ != nullptr && std::fgets(buf, sizeof buf, out_) != nullptr ? std::string(buf) : std::string();
    }
    void interrupt() { ::kill(pid_, SIGINT); }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

}  // namespace kalix::integration
