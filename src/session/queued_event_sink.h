#pragma once
// An EventSink that queues every event for one consumer thread (kalix-cli's
// main loop, tests).

#include "protocol/blocking_queue.h"
#include "session/event_sink.h"

namespace kalix::session {

class QueuedEventSink final : public EventSink {
public:
    void post(Event event) override { queue_.push(std::move(event)); }

    template <typename Rep, typename Period>
    std::optional<Event> next(std::chrono::duration<Rep, Period> timeout) {
        return queue_.popFor(timeout);
    }
    std::optional<Event> tryNext() { return queue_.tryPop(); }

private:
    protocol::BlockingQueue<Event> queue_;
};

}  // namespace kalix::session
