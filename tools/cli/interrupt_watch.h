#pragma once
// Turns SIGINT and SIGTERM into a call the main loop can queue, through a
// signalfd watched by one small thread. Construct it before any other
// thread starts: the signals are blocked in the constructing thread, and
// threads started later inherit that.

#include <functional>
#include <thread>

#include "protocol/unique_fd.h"

namespace kalix::cli {

class InterruptWatch {
public:
    // on_interrupt runs on the watch's thread, once per signal.
    explicit InterruptWatch(std::function<void()> on_interrupt);
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    std::function<void()> on_interrupt_;
    protocol::UniqueFd signals_;
    protocol::UniqueFd wake_;
    std::jthread thread_;  // last: stopped and joined before the descriptors close
};

}  // namespace kalix::cli
