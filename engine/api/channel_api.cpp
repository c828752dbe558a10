// The channel calls: play state, volume, level, tags, information, syncs,
// effects, and freeing a stream.
#include <cmath>

#include "engine/api/errors.h"
#include "engine/core/streams.h"

using namespace engine;

namespace {

bool knownSyncType(DWORD type) {
    return type == BASS_SYNC_END || type == BASS_SYNC_META || type == BASS_SYNC_OGG_CHANGE;
}

bool knownTagType(DWORD type) {
    return type == BASS_TAG_OGG || type == BASS_TAG_HTTP || type == BASS_TAG_ICY || type == BASS_TAG_META;
}

// The channel of a live effect handle; null with the error set.
std::shared_ptr<Channel> effectChannel(HFX fx) {
    if (!currentRuntime()) return fail(BASS_ERROR_INIT, nullptr);
    auto ref = effectTable().get(fx);
    auto channel = ref ? ref->channel.lock() : nullptr;
    if (!channel || channel->closed()) return fail(BASS_ERROR_HANDLE, nullptr);
    return channel;
}

}  // namespace

BOOL BASS_StreamFree(HSTREAM handle) {
    if (!currentRuntime()) return fail(BASS_ERROR_INIT, FALSE);
    if (!freeStream(handle)) return fail(BASS_ERROR_HANDLE, FALSE);
    return ok(TRUE);
}

// A live stream cannot go back to its start: restart is ignored and play
// resumes where it stands. A stream that has played to its end stays ended.
BOOL BASS_ChannelPlay(DWORD handle, BOOL) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    channel->play();
    if (auto runtime = currentRuntime()) runtime->mixer->playStarted();
    return ok(TRUE);
}

BOOL BASS_ChannelPause(DWORD handle) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    if (int error = channel->pause(); error != BASS_OK) return fail(error, FALSE);
    return ok(TRUE);
}

BOOL BASS_ChannelStop(DWORD handle) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    channel->stop();
    return ok(TRUE);
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    auto channel = findChannel(handle);
    if (!channel) return BASS_ACTIVE_STOPPED;
    return ok(channel->activity());
}

// Volume 0..1: below 0 (or not a number) is refused, above 1 is taken as 1.
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    if (attrib != BASS_ATTRIB_VOL) return fail(BASS_ERROR_ILLTYPE, FALSE);
    if (!(value >= 0.0f)) return fail(BASS_ERROR_ILLPARAM, FALSE);
    channel->setVolume(std::fmin(value, 1.0f));
    return ok(TRUE);
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    if (attrib != BASS_ATTRIB_VOL) return fail(BASS_ERROR_ILLTYPE, FALSE);
    if (!value) return fail(BASS_ERROR_ILLPARAM, FALSE);
    *value = channel->volume();
    return ok(TRUE);
}

DWORD BASS_ChannelGetLevel(DWORD handle) {
    auto channel = findChannel(handle);
    if (!channel) return DWORD(-1);
    return ok(channel->level());
}

const char* BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    auto channel = findChannel(handle);
    if (!channel) return nullptr;
    if (!knownTagType(tags)) return fail(BASS_ERROR_ILLTYPE, nullptr);
    const char* block = channel->tags().get(tags);
    if (!block) return fail(BASS_ERROR_NOTAVAIL, nullptr);
    return ok(block);
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
    auto format = channel->format();
    *info = BASS_CHANNELINFO{};
    info->freq = DWORD(format.rate);
    info->chans = DWORD(format.channels);
    info->flags = channel->flags();
    info->ctype = format.ctype;
    info->plugin = format.plugin;
    info->filename = channel->filename().c_str();
    return ok(TRUE);
}

// The sync's parameter is not used by these types.
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC* proc, void* user) {
    auto channel = findChannel(handle);
    if (!channel) return 0;
    DWORD base = type & ~DWORD(BASS_SYNC_MIXTIME | BASS_SYNC_ONETIME);
    if (!knownSyncType(base)) return fail(BASS_ERROR_ILLTYPE, HSYNC(0));
    if (!proc) return fail(BASS_ERROR_ILLPARAM, HSYNC(0));
    HSYNC sync = newHandle();
    channel->addSync(sync, base, type & BASS_SYNC_ONETIME, proc, user);
    return ok(sync);
}

BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    if (!channel->removeSync(sync)) return fail(BASS_ERROR_HANDLE, FALSE);
    return ok(TRUE);
}

// Effects run on every channel, BASS_SAMPLE_FX or not, at the device's rate.
HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
    auto channel = findChannel(handle);
    if (!channel) return 0;
    auto effect = fx::createEffect(type, channel->deviceRate());
    if (!effect) return fail(BASS_ERROR_ILLTYPE, HFX(0));
    HFX fx = effectTable().add(std::make_shared<EffectRef>(EffectRef{channel}));
    channel->addEffect(fx, priority, std::move(effect));
    if (channel->closed()) {  // freed meanwhile: its effects were already dropped
        effectTable().remove(fx);
        return fail(BASS_ERROR_HANDLE, HFX(0));
    }
    return ok(fx);
}

BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
    auto channel = findChannel(handle);
    if (!channel) return FALSE;
    if (!channel->removeEffect(fx)) return fail(BASS_ERROR_HANDLE, FALSE);
    effectTable().remove(fx);
    return ok(TRUE);
}

BOOL BASS_FXSetParameters(HFX handle, const void* params) {
    auto channel = effectChannel(handle);
    if (!channel) return FALSE;
    if (!params) return fail(BASS_ERROR_ILLPARAM, FALSE);
    bool valid = false;
    if (!channel->setEffectParameters(handle, params, &valid)) return fail(BASS_ERROR_HANDLE, FALSE);
    if (!valid) return fail(BASS_ERROR_ILLPARAM, FALSE);
    return ok(TRUE);
}

BOOL BASS_FXGetParameters(HFX handle, void* params) {
    auto channel = effectChannel(handle);
    if (!channel) return FALSE;
    if (!params) return fail(BASS_ERROR_ILLPARAM, FALSE);
    if (!channel->getEffectParameters(handle, params)) return fail(BASS_ERROR_HANDLE, FALSE);
    return ok(TRUE);
}
