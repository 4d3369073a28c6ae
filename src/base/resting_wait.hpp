#pragma once
// A wait between a loop's polls that passes over the ticks at which a cheap check says a poll would
// do nothing. The ticks are kept on a thread of its own, with no executor, timer queue or
// coroutine in them: a loop at rest costs one wake of that thread per tick, and its own thread
// sleeps until a tick finds something to do.

#include "base/runtime.hpp"
#include "base/task.hpp"

#include <chrono>
#include <functional>

namespace pennial {

// Waits interval, and again after each tick at which resting answers true; ends elapsed at the
// first tick it answers false, or cancelled as soon as the calling coroutine is cancelled. resting
// is called on the ticking thread, so it may read only what is safe from any thread. The thread
// sleeps through to its next tick unwoken: a wait begun meanwhile with a shorter interval than
// the others is first checked at that tick.
Awaitable<SleepResult> waitWhileResting(std::chrono::steady_clock::duration interval,
                                        std::function<bool()> resting);

// Part of quitting: ends the ticking thread (within a tick); waits still out end cancelled.
void stopRestingWaits();

} // namespace pennial
