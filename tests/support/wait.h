// The one way the tests wait: for the thing itself (a window, an exit, a
// picture, a file), asked again and again until a deadline.
#pragma once

#include <chrono>
#include <thread>

namespace test_support {

// Asks `ready` every `interval` until it answers true or `timeout` has
// passed; returns its last answer. Never decides by the clock alone: the
// last question is asked after the deadline.
template <typename Ready>
bool wait_until(Ready&& ready, std::chrono::milliseconds timeout,
                std::chrono::milliseconds interval = std::chrono::milliseconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return ready();
        std::this_thread::sleep_for(interval);
    }
    return true;
}

}  // namespace test_support
