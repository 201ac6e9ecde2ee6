#include "media/frame_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kalix::media {
namespace {

using namespace std::chrono_literals;

FrameItem itemOfEpoch(std::uint32_t epoch) {
    FrameItem item;
    item.epoch = epoch;
    return item;
}

TEST(FrameQueue, HandsItemsOverOldestFirstWithTheLengthBeforeEachTake) {
    FrameQueue queue;
    for (std::uint32_t i = 1; i <= 3; ++i) queue.push(itemOfEpoch(i));
    EXPECT_EQ(queue.size(), 3u);
    std::stop_source never;
    for (std::uint32_t i = 1; i <= 3; ++i) {
        const auto taken = queue.pop(never.get_token());
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->item.epoch, i);
        EXPECT_EQ(taken->queued_before, 4 - i);
    }
    EXPECT_FALSE(queue.tryPop());
}

TEST(FrameQueue, ConsumerSleepsUntilAnAppendWakesIt) {
    FrameQueue queue;
    std::optional<base::Taken<FrameItem>> got;
    std::jthread consumer([&](std::stop_token stop) { got = queue.pop(stop); });
    std::this_thread::sleep_for(20ms);  // let it block; the result does not depend on it
    queue.push(itemOfEpoch(42));
    consumer.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->item.epoch, 42u);
}

TEST(FrameQueue, StopRequestEndsAWaitingConsumer) {
    FrameQueue queue;
    std::optional<base::Taken<FrameItem>> got = base::Taken<FrameItem>{};
    const auto start = std::chrono::steady_clock::now();
    {
        std::jthread consumer([&](std::stop_token stop) { got = queue.pop(stop); });
        std::this_thread::sleep_for(20ms);
    }  // request_stop + join
    EXPECT_FALSE(got);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    std::stop_source stopped;
    stopped.request_stop();
    queue.push(itemOfEpoch(1));
    EXPECT_FALSE(queue.pop(stopped.get_token()));  // a stopped consumer takes nothing
    EXPECT_EQ(queue.size(), 1u);
}

TEST(FrameQueue, DrainWaitEndsWhenTheConsumerBringsItDownToTheLimit) {
    FrameQueue queue;
    for (std::uint32_t i = 0; i < 50; ++i) queue.push(itemOfEpoch(i));
    std::jthread consumer([&](std::stop_token stop) {
        while (queue.pop(stop)) {
        }
    });
    EXPECT_TRUE(queue.waitUntilAtMost(kDrainLimit, 30s));
    EXPECT_LE(queue.size(), kDrainLimit);
}

TEST(FrameQueue, DrainWaitTimesOutOrStopsWithoutAConsumer) {
    FrameQueue queue;
    for (std::uint32_t i = 0; i < 3; ++i) queue.push(itemOfEpoch(i));
    EXPECT_FALSE(queue.waitUntilAtMost(kDrainLimit, 10ms));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(queue.waitUntilAtMost(kDrainLimit, stop.get_token()));
    queue.clear();
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_TRUE(queue.waitUntilAtMost(0, 10ms));
}

}  // namespace
}  // namespace kalix::media
