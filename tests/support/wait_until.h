// Polling with a generous deadline, for tests that wait on other threads
// without sleeping as a means of synchronisation.
#pragma once

#include <chrono>
#include <thread>

namespace test {

// Calls `done` every few milliseconds until it is true (returns true) or
// `seconds` have passed (returns false).
template <class Predicate>
bool waitUntil(Predicate done, double seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace test
