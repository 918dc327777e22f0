#include "platform/serialqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using tavix::SerialQueue;

TEST(SerialQueue, RunsTasksInSubmissionOrderOneAtATimeOffTheCallingThread) {
    SerialQueue queue("Test.Queue");
    std::vector<int> order; // touched only by the queue's tasks
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::thread::id worker;
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            if (running.fetch_add(1) != 0) {
                overlapped = true;
            }
            if (i % 50 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            order.push_back(i);
            worker = std::this_thread::get_id();
            running.fetch_sub(1);
        });
    }
    queue.sync([] {});
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    }
    EXPECT_FALSE(overlapped);
    EXPECT_NE(worker, std::this_thread::get_id());
}

TEST(SerialQueue, SyncReturnsOnlyAfterEarlierTasksAndOnAnUnusedQueueAtOnce) {
    SerialQueue idle("Test.Idle");
    idle.sync([] {}); // must not hang on a queue that never ran anything

    SerialQueue queue("Test.Sync");
    std::atomic<bool> slowDone{false};
    queue.async([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        slowDone = true;
    });
    queue.sync([] {});
    EXPECT_TRUE(slowDone);
}

TEST(SerialQueue, DestructionRunsEverythingAlreadySubmitted) {
    std::atomic<int> ran{0};
    {
        SerialQueue queue("Test.Drain");
        for (int i = 0; i < 20; ++i) {
            queue.async([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ++ran;
            });
        }
    }
    EXPECT_EQ(ran, 20);
}

TEST(SerialQueue, KnowsWhetherItIsTheCurrentQueue) {
    SerialQueue queue("Test.Current");
    EXPECT_FALSE(queue.isCurrent());
    bool inside = false;
    queue.sync([&] { inside = queue.isCurrent(); });
    EXPECT_TRUE(inside);
}
