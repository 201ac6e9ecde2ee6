#pragma once
// An unbounded queue whose consumer sleeps on a condition variable and is
// woken by every push.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace kalix::protocol {

template <typename T>
class BlockingQueue {
public:
    void push(T item) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
    }

    // The next item, or nothing when `timeout` passes first.
    template <typename Rep, typename Period>
    std::optional<T> popFor(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !items_.empty(); })) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    std::optional<T> tryPop() { return popFor(std::chrono::milliseconds(0)); }

    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T> items_;
};

}  // namespace kalix::protocol
