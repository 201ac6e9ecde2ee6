#pragma once
// An EventSink that queues every event for one consumer thread (kalix-cli's
// main loop, tests).

#include "base/wake_queue.h"
#include "session/event_sink.h"

namespace kalix::session {

class QueuedEventSink final : public EventSink {
public:
    void post(Event event) override { queue_.push(std::move(event)); }

    template <typename Rep, typename Period>
    std::optional<Event> next(std::chrono::duration<Rep, Period> timeout) {
        return unwrap(queue_.popFor(std::stop_token{}, timeout));
    }
    std::optional<Event> tryNext() { return unwrap(queue_.tryPop()); }

private:
    static std::optional<Event> unwrap(std::optional<base::Taken<Event>> taken) {
        if (!taken) return std::nullopt;
        return std::move(taken->item);
    }
    base::WakeQueue<Event> queue_;
};

}  // namespace kalix::session
