// The outcome of a stream's create, decided once by the download thread (or
// by BASS_Free) and awaited by the thread in BASS_StreamCreateURL.
#pragma once

#include <condition_variable>
#include <mutex>

namespace engine {

class CreateOutcome {
public:
    // Decides the outcome (BASS_OK or an error code); false when it was
    // decided before, so nobody waits for this decision any more.
    bool settle(int error);
    // Waits until decided or timeoutMs pass (then it is decided as a
    // time-out, and a later settle() is too late); the outcome.
    int wait(int timeoutMs);

private:
    std::mutex mutex_;  // a leaf lock
    std::condition_variable settled_;
    bool decided_ = false;  // guarded by mutex_
    int error_ = 0;         // guarded by mutex_
};

}  // namespace engine
