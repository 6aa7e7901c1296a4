#include "platform/Time.h"

#include <gtest/gtest.h>

using namespace vox;

TEST(VirtualTime, FiresDueTasksInOrderWithNowAtDueTime)
{
    VirtualTime t;
    const Date start = t.now();
    std::vector<std::pair<int, double>> fired;
    auto record = [&](int id) { fired.push_back({id, t.now().secondsSince(start)}); };
    t.after(3, nullptr, [&] { record(3); });
    t.after(1, nullptr, [&] {
        record(1);
        // A task scheduled from a task runs within the same advance.
        t.after(0.5, nullptr, [&] { record(15); });
    });
    t.after(1, nullptr, [&] { record(11); });
    t.advance(2);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0].first, 1);
    EXPECT_EQ(fired[1].first, 11); // ties keep scheduling order
    EXPECT_EQ(fired[2].first, 15);
    EXPECT_DOUBLE_EQ(fired[0].second, 1.0);
    EXPECT_DOUBLE_EQ(fired[2].second, 1.5);
    EXPECT_DOUBLE_EQ(t.now().secondsSince(start), 2.0);
    t.advance(5);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_DOUBLE_EQ(fired[3].second, 3.0);
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
