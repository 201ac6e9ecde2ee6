#pragma once
// The session's EventSink for the Qt front end: post() runs on worker
// threads and only queues the event to the receiver's (UI) thread, where
// the handler runs. Events still queued when the receiver is destroyed are
// dropped with it.

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

#include "session/event_sink.h"

namespace kalix::ui {

class QtEventSink final : public session::EventSink {
public:
    using Handler = std::function<void(const session::Event&)>;

    QtEventSink(QObject* receiver, Handler handler) : receiver_(receiver), handler_(std::move(handler)) {}

    void post(session::Event event) override {
        QMetaObject::invokeMethod(
            receiver_, [handler = handler_, event = std::move(event)] { handler(event); }, Qt::QueuedConnection);
    }

private:
    QObject* const receiver_;
    const Handler handler_;
};

}  // namespace kalix::ui
