// kalix-sim: the recorder simulator as a program. Listens on 127.0.0.1 until
// SIGINT or SIGTERM.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/recorder_sim.h"
#include "sim/sim_config.h"

namespace {

// Writes the port next to the target and renames it into place, so a reader
// never sees a half-written number.
bool writePortFile(const std::string& path, std::uint16_t port) {
    const std::string tmp = path + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::out | std::ios::trunc);
        out << port << '\n';
        out.flush();
        if (!out) return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    const auto cmd = kalix::sim::parseArguments(args, error);
    if (!cmd) {
        std::fprintf(stderr, "kalix-sim: %s\nTry 'kalix-sim --help'.\n", error.c_str());
        return 2;
    }
    if (cmd->help) {
        std::fputs(kalix::sim::usageText().c_str(), stdout);
        return 0;
    }

    // The signals are taken by sigwait below; every thread started from here
    // on inherits the blocked mask, so none of them is interrupted.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A traffic log on a closed pipe must not end the program.
    signal(SIGPIPE, SIG_IGN);

    kalix::sim::RecorderSim sim(cmd->config);
    if (!sim.start()) {
        std::fprintf(stderr, "kalix-sim: cannot start on 127.0.0.1:%u (port taken, or traffic log or talk files not writable)\n", unsigned{cmd->config.port});
        return 1;
    }
    if (!cmd->port_file.empty() && !writePortFile(cmd->port_file, sim.port())) {
        std::fprintf(stderr, "kalix-sim: cannot write %s\n", cmd->port_file.c_str());
        return 1;
    }
    std::printf("kalix-sim listening on 127.0.0.1:%u\n", unsigned{sim.port()});
    std::fflush(stdout);

    int signal_number = 0;
    sigwait(&signals, &signal_number);
    sim.stop();
    return 0;
}
