// Keeps an output device open only while it is wanted: while something
// plays and for a short while after. It closes an idle device (a sound server
// then sees no client and the process no audio thread), opens it again at
// once when told that a stream starts, and opens it again when the system
// lost it (a sound server restarted, a device unplugged).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace engine::out {

struct DeviceOps {
    std::function<bool()> open;  // opens and starts the device; false when it cannot be had now
    std::function<void()> close;
    std::function<bool()> lost;  // the open device has stopped playing by itself
    std::function<bool()> busy;  // something plays, so the device is wanted
};

class DeviceKeeper {
public:
    explicit DeviceKeeper(DeviceOps ops) : ops_(std::move(ops)) {}
    ~DeviceKeeper();  // stops its thread; the device stays as it is

    // Begins watching a device that is open and started.
    void start();
    // Something is about to play: the device opens now if it is closed.
    void wake();

private:
    using Clock = std::chrono::steady_clock;
    void run();
    void step(bool woken);
    bool wanted(Clock::time_point now) const;

    const DeviceOps ops_;
    std::mutex mutex_;
    std::condition_variable signal_;
    bool stopping_ = false;  // guarded by mutex_
    bool woken_ = false;     // guarded by mutex_
    // The keeper thread's own.
    bool open_ = true;
    Clock::time_point lastWanted_ = Clock::now();
    std::thread thread_;
};

}  // namespace engine::out
