#include "platform/serialqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

using tavix::SerialQueue;

TEST(SerialQueue, RunsTasksInSubmissionOrderOneAtATimeOffTheCallingThread) {
    SerialQueue queue("Test.Queue");
    std::vector<int> order; // touched only by the queue's tasks
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    bool onQueue = true;
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            overlapped = overlapped || running.fetch_add(1) != 0;
            if (i % 50 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            order.push_back(i);
            onQueue = onQueue && queue.isCurrent();
            running.fetch_sub(1);
        });
    }
    // sync() returns only after everything submitted before it has run.
    queue.sync([] {});
    std::vector<int> submitted(200);
    std::iota(submitted.begin(), submitted.end(), 0);
    EXPECT_EQ(std::tuple(order, overlapped.load()), std::tuple(submitted, false));
    EXPECT_EQ(std::tuple(onQueue, queue.isCurrent()), std::tuple(true, false));
}

TEST(SerialQueue, SyncOnAnUnusedQueueReturnsAndDestructionRunsEverythingSubmitted) {
    SerialQueue("Test.Idle").sync([] {}); // must not hang on a queue that never ran anything
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
