#include "cli/interrupt_watch.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace kalix::cli {

InterruptWatch::InterruptWatch(std::function<void()> on_interrupt)
    : on_interrupt_(std::move(on_interrupt)), wake_(::eventfd(0, EFD_CLOEXEC)) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signals_.reset(::signalfd(-1, &set, SFD_CLOEXEC));
    thread_ = std::jthread([this](std::stop_token stop) {
        std::stop_callback wake(stop, [this] {
            const std::uint64_t one = 1;
            [[maybe_unused]] auto n = ::write(wake_.get(), &one, sizeof one);
        });
        pollfd fds[2] = {{signals_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        while (!stop.stop_requested()) {
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[0].revents != 0) {
                signalfd_siginfo info;
                [[maybe_unused]] auto n = ::read(signals_.get(), &info, sizeof info);
                on_interrupt_();
            }
            if (fds[1].revents != 0) return;
        }
    });
}

}  // namespace kalix::cli
