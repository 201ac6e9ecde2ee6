#pragma once
// The one stop-aware wait: a pause that a stop request ends at once.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace kalix::base {

// Waits `duration` unless `stop` is requested first; true when the whole
// time passed.
template <typename Rep, typename Period>
bool waitFor(std::stop_token stop, std::chrono::duration<Rep, Period> duration) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, stop, duration, [] { return false; }) && !stop.stop_requested();
}

// Waits until `deadline` unless `stop` is requested first; true when the
// deadline was reached.
template <typename Clock, typename Duration>
bool waitUntil(std::stop_token stop, std::chrono::time_point<Clock, Duration> deadline) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    return !wake.wait_until(lock, stop, deadline, [] { return false; }) && !stop.stop_requested();
}

}  // namespace kalix::base
