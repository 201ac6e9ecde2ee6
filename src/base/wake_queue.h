#pragma once
// A queue between one or more producers and one consumer thread.
//
// Unbounded: producers never wait and nothing is trimmed. The consumer
// sleeps until an item is appended or its stop is requested. Whoever stops a
// consumer can first wait for the queue to drain to a few entries, so no
// consumer goes away while a producer is still appending to it; that wait
// is woken by every take.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>

namespace kalix::base {

template <typename T>
struct Taken {
    T item;
    std::size_t queued_before = 0;  // queue length just before this take
};

template <typename T>
class WakeQueue {
public:
    // Appends and wakes the consumer. The item belongs to the queue from now on.
    void push(T item) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        appended_.notify_all();
    }

    // The oldest item; waits for one. Nothing once `stop` is requested, even
    // with items left: they are freed with the queue.
    std::optional<Taken<T>> pop(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        if (!appended_.wait(lock, stop, [this] { return !items_.empty(); }) || stop.stop_requested())
            return std::nullopt;
        return takeLocked(lock);
    }

    // As pop(), giving up after `timeout`.
    template <typename Rep, typename Period>
    std::optional<Taken<T>> popFor(std::stop_token stop, std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock lock(mutex_);
        if (!appended_.wait_for(lock, stop, timeout, [this] { return !items_.empty(); }) ||
            stop.stop_requested())
            return std::nullopt;
        return takeLocked(lock);
    }

    std::optional<Taken<T>> tryPop() {
        std::unique_lock lock(mutex_);
        if (items_.empty()) return std::nullopt;
        return takeLocked(lock);
    }

    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

    // Frees every queued item.
    void clear() {
        std::deque<T> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(items_);
        }
        taken_.notify_all();
    }

    // Waits until at most `limit` items are queued; false when `stop` came first.
    bool waitUntilAtMost(std::size_t limit, std::stop_token stop) {
        std::unique_lock lock(mutex_);
        return taken_.wait(lock, stop, [&] { return items_.size() <= limit; });
    }

    // As above, giving up after `timeout` (false).
    template <typename Rep, typename Period>
    bool waitUntilAtMost(std::size_t limit, std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock lock(mutex_);
        return taken_.wait_for(lock, timeout, [&] { return items_.size() <= limit; });
    }

private:
    Taken<T> takeLocked(std::unique_lock<std::mutex>& lock) {
        Taken<T> taken{std::move(items_.front()), items_.size()};
        items_.pop_front();
        lock.unlock();
        taken_.notify_all();
        return taken;
    }

    mutable std::mutex mutex_;
    std::condition_variable_any appended_;
    std::condition_variable_any taken_;
    // -- guarded by mutex_ --
    std::deque<T> items_;
};

}  // namespace kalix::base
