// The tick timer on Qt's loop: a tick that lets events run gets nested ticks,
// nesting stops at its cap, and the timer keeps going afterwards.

#include "shell/qt/qt_loop.h"

#include "qt_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace vel::platform {
namespace {

// Runs events until `done` or 3 s have passed.
bool RunEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 3000) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

TEST(TickTimer, ALongTickGetsNestedTicksUpToTheCap) {
    test::QtApp();
    int ticks = 0;
    int deepest = 0;
    bool inLongJob = false;
    TickTimer* timer = nullptr;
    TickTimer ticker(
        [&] {
            ++ticks;
            deepest = std::max(deepest, timer->depth());
            if (ticks == 1) {
                // The first tick is a long job that keeps letting events run.
                inLongJob = true;
                RunEventsUntil([&] { return timer->skipped() > 0; });
                inLongJob = false;
            } else if (inLongJob) {
                // Nested ticks let events run too, as a status line would.
                RunEventsUntil([&] { return timer->skipped() > 0; });
            }
        },
        10, 3);
    timer = &ticker;
    ticker.start();
    ASSERT_TRUE(RunEventsUntil([&] { return ticks >= 1 && !inLongJob && ticker.depth() == 0; }));
    EXPECT_EQ(deepest, 3);
    EXPECT_GE(ticker.skipped(), 1);
    // Ticks go on at depth 1 after the long job.
    const int after = ticks;
    ASSERT_TRUE(RunEventsUntil([&] { return ticks >= after + 2; }));
    EXPECT_EQ(ticker.depth(), 0);
    ticker.stop();
}

TEST(TickTimer, StoppedTimerDoesNotTick) {
    test::QtApp();
    int ticks = 0;
    TickTimer ticker([&] { ++ticks; }, 5);
    ticker.start();
    ASSERT_TRUE(RunEventsUntil([&] { return ticks >= 2; }));
    ticker.stop();
    const int at = ticks;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(ticks, at);
}

}  // namespace
}  // namespace vel::platform
