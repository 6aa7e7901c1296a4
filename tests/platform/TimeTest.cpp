#include "platform/Time.h"

#include <gtest/gtest.h>

using namespace vox;

TEST(VirtualTime, FiresDueTasksInOrderWithNowAtDueTime)
{
    VirtualTime t;
    const Date start = t.now();
    std::vector<std::pair<int, double>> fired;
    t.after(3, nullptr, [&] { fired.push_back({3, t.now().secondsSince(start)}); });
    t.after(1, nullptr, [&] { fired.push_back({1, t.now().secondsSince(start)}); });
    t.after(1, nullptr, [&] { fired.push_back({11, t.now().secondsSince(start)}); });
    t.advance(2);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[0].first, 1);
    EXPECT_EQ(fired[1].first, 11); // ties keep scheduling order
    EXPECT_DOUBLE_EQ(fired[0].second, 1.0);
    EXPECT_DOUBLE_EQ(t.now().secondsSince(start), 2.0);
    t.advance(5);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_DOUBLE_EQ(fired[2].second, 3.0);
}

TEST(VirtualTime, RepeatingTaskCancelsItselfAndContextDeathCancels)
{
    VirtualTime t;
    int ticks = 0;
    TaskHandle h;
    h = t.every(1, nullptr, [&] {
        if (++ticks == 3)
            h.cancel();
    });
    t.advance(10);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(h.isActive());

    int ran = 0;
    auto *ctx = new QObject;
    t.after(1, ctx, [&] { ++ran; });
    t.every(1, ctx, [&] { ++ran; });
    delete ctx;
    t.advance(5);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(t.pendingCount(), 0u);
}

TEST(VirtualTime, TaskScheduledFromTaskRunsWithinSameAdvance)
{
    VirtualTime t;
    int stage = 0;
    t.after(1, nullptr, [&] {
        stage = 1;
        t.after(0.5, nullptr, [&] { stage = 2; });
    });
    t.advance(1.6);
    EXPECT_EQ(stage, 2);
}
