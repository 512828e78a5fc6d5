// toolkit/sim/row_halves.h
// Splits rows [0, rows) in two halves and runs fn(first, last) on each, the
// second half on a thread of its own when the work is large enough to repay
// starting one and there is a second core. The work of a row must not depend
// on which half it falls in, so the result is the same either way.
#pragma once

#include <system_error>
#include <thread>

template <class F>
void kfForRowHalves(long rows, bool largeEnough, const F& fn) {
    if (!largeEnough || rows < 2 || std::thread::hardware_concurrency() < 2) {
        fn(0L, rows);
        return;
    }
    const long half = rows / 2;
    std::thread helper;
    try {
        helper = std::thread([&fn, half, rows] { fn(half, rows); });
    } catch (const std::system_error&) {
        fn(half, rows);  // no thread to be had: all of it here
    }
    // Joined on every way out, so an exception here never leaves the helper
    // running over memory about to be freed.
    struct Join {
        std::thread& thread;
        ~Join() {
            if (thread.joinable()) thread.join();
        }
    } join{helper};
    fn(0L, half);
}
