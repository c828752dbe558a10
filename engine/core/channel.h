// A stream channel: the decoded audio waiting to be played, its play state,
// volume, effects, level, syncs and tags. A feeder (the network and decoding
// side) writes audio in; the mixer takes it out on the output's thread.
//
// Locks, all leaves, never held while a callback runs: the effect chain's
// and the sync list's (each in its own type), writeMutex_ only to wait for
// room in the buffer, feederMutex_ for the feeder.
// Everything else is atomic, immutable after the format is set, or owned by
// the output's thread (marked so).
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/thread_safety.h"

#include "engine/bass.h"
#include "engine/core/effect_chain.h"
#include "engine/core/gain_ramp.h"
#include "engine/core/level_meter.h"
#include "engine/core/mixer.h"
#include "engine/core/pcm_buffer.h"
#include "engine/core/sync_list.h"
#include "engine/core/tag_store.h"

namespace engine {

class SyncDispatcher;

// What fills a channel. stop() ends it and joins its threads; it is never
// called from one of those threads.
class Feeder {
public:
    virtual ~Feeder() = default;
    virtual void stop() = 0;
};

struct StreamFormat {
    int rate = 0;      // the stream's own rate
    int channels = 0;  // as stored, at most kMaxSourceChannels
    DWORD ctype = 0;
    HPLUGIN plugin = 0;  // the plug-in whose decoder makes it, 0: built in
};

class Channel : public MixSource {
public:
    // flags: the creation flags; deviceRate: the rate everything is stored
    // and played at; prebufFrames: frames to hold before playing starts
    // (and again after a stall), 0 to play at once.
    Channel(DWORD flags, int deviceRate, std::string filename, size_t capacityFrames, size_t prebufFrames);
    ~Channel() override;

    // ---- set-up, before the channel is registered ----
    void setFormat(const StreamFormat& format);
    bool hasFormat() const { return buffer_ != nullptr; }
    StreamFormat format() const { return format_; }
    void setFeeder(std::shared_ptr<Feeder> feeder);
    void setHandle(DWORD handle, SyncDispatcher* dispatcher);
    DWORD handle() const { return handle_.load(); }
    DWORD flags() const { return flags_; }
    int deviceRate() const { return deviceRate_; }
    const std::string& filename() const { return filename_; }

    // ---- the feeder's side ----
    // Waits for room while the buffer is full; false once the channel is closed.
    bool write(const float* frames, size_t count);
    // No more audio will come: play out what is buffered, then end.
    void endOfData();
    bool dataEnded() const { return dataEnded_.load(); }
    size_t buffered() const;

    // ---- control ----
    // A channel that has played to its end stays ended: play() leaves it so.
    void play();
    int pause();  // BASS_OK, or the error code when it was not playing
    void stop();
    DWORD activity() const;
    void setVolume(float volume) { volume_.store(volume); }
    float volume() const { return volume_.load(); }
    DWORD level() const;

    // ---- effects ----
    void addEffect(DWORD handle, int priority, std::unique_ptr<fx::Effect> effect);
    bool removeEffect(DWORD handle);
    bool setEffectParameters(DWORD handle, const void* params, bool* valid);
    bool getEffectParameters(DWORD handle, void* params) const;
    std::vector<DWORD> effectHandles() const;

    // ---- syncs and callbacks ----
    void addSync(DWORD handle, DWORD type, bool oneTime, SYNCPROC* proc, void* user);
    bool removeSync(DWORD handle);
    // Calls every sync of `type` on this thread, no lock held.
    void fireSyncs(DWORD type, DWORD data);
    // True on a thread that is inside a callback of this channel.
    bool insideCallback() const;
    // The END of play-out, raised by the output's thread; true once.
    bool takeEnded();

    // ---- freeing ----
    // No callback starts after close(), and a waiting write() gives up.
    void close();
    bool closed() const;
    // Waits for running callbacks, stops the feeder; not from a callback of
    // this channel, nor from the feeder's threads.
    void finish();

    TagStore& tags() { return tags_; }
    const TagStore& tags() const { return tags_; }

    // Output thread.
    void mixInto(float* out, int frames, int channels, float* scratch) override;
    bool playing() const override { return state_.load() == State::Playing; }

private:
    friend class CallbackScope;
    bool enterCallback();
    void leaveCallback();

    enum class State { Stopped, Playing, Paused, Ended };

    int takeAudio(float* scratch, int frames);
    void applyVolume(float* samples, int frames);
    void finishPlayOut();

    const DWORD flags_;
    const int deviceRate_;
    const std::string filename_;
    const size_t capacityFrames_;
    const size_t prebufFrames_;
    StreamFormat format_;                // immutable once set
    std::unique_ptr<PcmBuffer> buffer_;  // immutable once set

    std::atomic<DWORD> handle_{0};
    std::atomic<SyncDispatcher*> dispatcher_{nullptr};
    std::atomic<State> state_{State::Stopped};
    std::atomic<bool> dataEnded_{false};
    std::atomic<bool> stalled_{false};
    std::atomic<bool> endPending_{false};
    std::atomic<bool> closed_{false};
    std::atomic<float> volume_{1.0f};

    // Output thread only.
    bool prebuffering_;
    bool volumeStarted_ = false;
    GainRamp volumeRamp_;
    LevelMeter meter_;

    EffectChain effects_;
    SyncList syncs_;

    std::mutex writeMutex_;
    std::condition_variable roomOrClose_;

    Mutex feederMutex_;
    std::shared_ptr<Feeder> feeder_ GUARDED_BY(feederMutex_);

    TagStore tags_;
};

// Brackets a call into the program (a download callback) for a channel:
// nothing is called once the channel is closed, finish() waits for the
// call to return, and insideCallback() knows the thread is in it.
class CallbackScope {
public:
    explicit CallbackScope(Channel& channel);
    ~CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;
    explicit operator bool() const { return entered_; }

private:
    Channel& channel_;
    const Channel* outer_;
    bool entered_;
};

}  // namespace engine
