#pragma once
// The one-second tick and the orderly end on SIGTERM / SIGINT, on Qt's loop.

#include <functional>
#include <memory>

namespace vel::platform {

// Calls `tick` once a second. The timer is single-shot and re-armed at the top
// of the handler, so a tick that lets events run (a long job, the status
// line) gets a nested tick a second later, as the program expects. Nesting
// is capped: a tick that would run deeper than `maxDepth` is skipped.
class TickTimer {
public:
    explicit TickTimer(std::function<void()> tick, int intervalMs = 1000, int maxDepth = 8);
    ~TickTimer();
    // The first tick comes after `firstDelayMs` (the interval when negative),
    // the next ones a whole interval apart.
    void start(int firstDelayMs = -1);
    void stop();
    int depth() const;
    int skipped() const;  // ticks skipped by the nesting cap

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Turns SIGTERM and SIGINT into a call of `onSignal` from the event loop
// (the signal handler only writes a byte into a pipe). Call once.
void CallOnQuitSignals(std::function<void()> onSignal);

}  // namespace vel::platform
