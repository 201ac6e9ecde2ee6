#include "ui/qt_event_sink.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace kalix::ui {
namespace {

TEST(QtEventSinkTest, EventsFromAWorkerRunOnTheUiThreadInOrder) {
    QObject receiver;
    std::vector<std::uint16_t> kinds;
    bool on_ui_thread = true;
    QtEventSink sink(&receiver, [&](const session::Event& event) {
        on_ui_thread = on_ui_thread && QThread::currentThread() == receiver.thread();
        kinds.push_back(std::get<session::Notice>(event).kind);
    });
    std::thread worker([&] {
        for (std::uint16_t k = 1; k <= 5; ++k) sink.post(session::Notice{k, 0});
    });
    worker.join();
    EXPECT_TRUE(kinds.empty());  // only queued so far
    QCoreApplication::processEvents();
    EXPECT_EQ(kinds, (std::vector<std::uint16_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(on_ui_thread);
}

TEST(QtEventSinkTest, EventsQueuedForAGoneReceiverAreDropped) {
    int handled = 0;
    auto receiver = std::make_unique<QObject>();
    QtEventSink sink(receiver.get(), [&](const session::Event&) { ++handled; });
    sink.post(session::Notice{2, 0});
    receiver.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, 0);
}

}  // namespace
}  // namespace kalix::ui
