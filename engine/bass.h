// The audio engine's public interface: the calls, records, constants and
// callback types the player uses. Names, argument orders, flags and record
// fields follow the Windows engine the player was designed against, so the
// program's code reads the same on both platforms; every other value (error
// numbers, config ids we add, defaults) is this engine's own.
//
// Threads: every call may be made from any thread. A failing call returns its
// failure value (0, -1 or FALSE) and sets the calling thread's error code,
// which BASS_ErrorGetCode reads. No call crashes on a bad or stale handle.
// Callbacks (download, sync) run on engine threads; the engine never holds a
// lock that another engine call may wait for while it runs one.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
typedef DWORD HSTREAM;     // a stream channel
typedef DWORD HSYNC;       // a registered sync
typedef DWORD HFX;         // an effect on a channel
typedef uint32_t HPLUGIN;  // a loaded plug-in

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define BASSVERSION 0x204
// BASS_GetVersion: 2.4.9.0, high word 0x0204, low word 0x0900.
#define BASS_ENGINE_VERSION 0x02040900u

// ---- error codes (BASS_ErrorGetCode) ----
#define BASS_OK 0
#define BASS_ERROR_MEM 1       // out of memory
#define BASS_ERROR_FILEOPEN 2  // the connection could not be made (refused, reset before headers); no such plug-in file
#define BASS_ERROR_DRIVER 3    // no usable output device
#define BASS_ERROR_HANDLE 5    // the handle is not (or no longer) valid
#define BASS_ERROR_FORMAT 6    // the device cannot play the requested format
#define BASS_ERROR_INIT 8      // BASS_Init has not been called
#define BASS_ERROR_START 9     // the output could not be started
#define BASS_ERROR_ALREADY 14  // already initialised / already paused
#define BASS_ERROR_NOCHAN 18   // no channel is available
#define BASS_ERROR_ILLTYPE 19  // an unknown type (tag, sync, effect, config)
#define BASS_ERROR_ILLPARAM 20  // a parameter out of range
#define BASS_ERROR_DEVICE 23    // no device with that number
#define BASS_ERROR_NOPLAY 24    // the channel is not playing
#define BASS_ERROR_NOTAVAIL 37  // the requested data is not available (no such tag)
#define BASS_ERROR_DECODE 38    // the data could not be decoded
#define BASS_ERROR_TIMEOUT 40   // the server did not answer in time
#define BASS_ERROR_FILEFORM \
    41  // the stream's format is not supported (an HTML page, noise); a plug-in file that is no shared object
#define BASS_ERROR_UNSTREAMABLE 43  // the stream ended before any audio could be found
#define BASS_ERROR_SSL 10           // TLS could not be set up (certificate, handshake)
#define BASS_ERROR_HOST 101         // the host name could not be resolved
#define BASS_ERROR_HTTP 102         // the server answered with an error status (4xx, 5xx)
#define BASS_ERROR_REDIRECT 103     // too many redirects, or a redirect loop
#define BASS_ERROR_HEADERS 104      // the response headers were too large or malformed
#define BASS_ERROR_PROTOCOL 105     // not an http or https address
#define BASS_ERROR_NOPLUGIN 106  // a shared object, but no plug-in of this engine (no entry point, broken description)
#define BASS_ERROR_VERSION 107   // a plug-in made for another version of the plug-in interface
#define BASS_ERROR_UNKNOWN -1

// ---- BASS_Init flags / device records ----
#define BASS_DEVICE_ENABLED 1  // BASS_DEVICEINFO.flags: usable
#define BASS_DEVICE_DEFAULT 2  // BASS_DEVICEINFO.flags: the system's default output
#define BASS_DEVICE_INIT 4     // BASS_DEVICEINFO.flags: the device in use

typedef struct {
    const char* name;    // description, UTF-8
    const char* driver;  // the output driver ("sdl", "nosound")
    DWORD flags;         // BASS_DEVICE_ENABLED | BASS_DEVICE_DEFAULT | BASS_DEVICE_INIT
} BASS_DEVICEINFO;

typedef struct {
    DWORD flags;      // reserved, 0
    DWORD minbuf;     // the device buffer, in ms
    DWORD dsver;      // effects version; 9: the DirectX 8 style effects are available
    DWORD latency;    // the delay from a sample mixed to it heard, in ms
    DWORD initflags;  // the flags given to BASS_Init
    DWORD speakers;   // the channel count of the device in use
    DWORD freq;       // the device's output rate, Hz
} BASS_INFO;

// ---- config (BASS_SetConfig / BASS_GetConfig) ----
#define BASS_CONFIG_NET_TIMEOUT 11   // connect-and-read time-out in ms, default 5000
#define BASS_CONFIG_NET_PREBUF 15    // percent of the buffer to fill before playing; 0: play at once
#define BASS_CONFIG_NET_PLAYLIST 21  // 1: a .pls/.m3u address is resolved to its first entry
#define BASS_CONFIG_NET_AGENT 16     // not settable here; listed so it is refused as a type
#define BASS_CONFIG_NET_BUFFER 12    // the network buffer, in ms of audio, default 5000

// ---- stream flags ----
#define BASS_SAMPLE_8BITS 1           // samples carried at 8 bits
#define BASS_SAMPLE_FLOAT 256         // samples carried as float (the default here)
#define BASS_SAMPLE_FX 0x80           // the channel may have effects
#define BASS_STREAM_AUTOFREE 0x40000  // free the stream when it has ended
#define BASS_STREAM_BLOCK 0x100000    // download in blocks, keep no file of it
#define BASS_STREAM_STATUS 0x800000   // pass the status line and headers to the download callback

// ---- channel types (BASS_CHANNELINFO.ctype) ----
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_MP3 0x10005
#define BASS_CTYPE_STREAM_AIFF 0x10006
#define BASS_CTYPE_STREAM_WMA 0x10300
#define BASS_CTYPE_STREAM_WMA_MP3 0x10301
#define BASS_CTYPE_STREAM_AAC 0x10b00
#define BASS_CTYPE_STREAM_MP4 0x10b01
#define BASS_CTYPE_STREAM_OPUS 0x11200

typedef struct {
    DWORD freq;            // the stream's own sample rate, Hz
    DWORD chans;           // its channel count
    DWORD flags;           // the creation flags
    DWORD ctype;           // BASS_CTYPE_*
    DWORD origres;         // bits per sample of the source, 0 when not known
    HPLUGIN plugin;        // the plug-in that decodes it, 0 for the engine's own decoders
    DWORD sample;          // unused, 0
    const char* filename;  // the URL the stream was made from
} BASS_CHANNELINFO;

// ---- attributes ----
#define BASS_ATTRIB_VOL 2  // channel volume, 0..1

// ---- tags (BASS_ChannelGetTags) ----
#define BASS_TAG_OGG 2   // Ogg comments: "name=value" texts, ended by an empty one
#define BASS_TAG_HTTP 3  // HTTP status line and headers, ended by an empty text
#define BASS_TAG_ICY 4   // ICY status line and headers, ended by an empty text
#define BASS_TAG_META 5  // the latest ICY metadata text

// ---- syncs ----
#define BASS_SYNC_END 2               // the channel has played to its end
#define BASS_SYNC_META 4              // a new ICY metadata text
#define BASS_SYNC_OGG_CHANGE 12       // a new logical stream in a chained Ogg stream
#define BASS_SYNC_MIXTIME 0x40000000  // accepted, ignored: syncs always run on an engine thread
#define BASS_SYNC_ONETIME 0x80000000  // remove the sync after it has fired once

// ---- effects ----
#define BASS_FX_DX8_REVERB 8
#define BASS_FX_DX8_PARAMEQ 7

typedef struct {
    float fCenter;     // centre frequency, 80..16000 Hz and below a third of the rate
    float fBandwidth;  // bandwidth in semitones, 1..36
    float fGain;       // gain in dB, -15..+15
} BASS_DX8_PARAMEQ;

typedef struct {
    float fInGain;           // input gain in dB, -96..0
    float fReverbMix;        // reverb mix in dB, -96..0
    float fReverbTime;       // reverb time in ms, 0.001..3000
    float fHighFreqRTRatio;  // high-frequency reverb time ratio, 0.001..0.999
} BASS_DX8_REVERB;

// ---- plug-ins ----
typedef struct {
    DWORD ctype;       // channel type code of the format
    const char* name;  // format description
    const char* exts;  // file extension filter, "*.aac;*.adts"
} BASS_PLUGINFORM;

typedef struct {
    DWORD version;  // the plug-in's version, same form as BASS_GetVersion
    DWORD formatc;  // number of formats
    const BASS_PLUGINFORM* formats;
} BASS_PLUGININFO;

// ---- callbacks ----
// Download callback: buffer with length 0 = status line and headers as
// NUL-terminated texts ended by an empty one (BASS_STREAM_STATUS only);
// length > 0 = received stream bytes, metadata removed; buffer NULL = the
// download has ended. Runs on the stream's network thread.
typedef void(DOWNLOADPROC)(const void* buffer, DWORD length, void* user);
// Sync callback: runs on an engine thread, never the device's mixing thread.
typedef void(SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void* user);

#ifdef __cplusplus
extern "C" {
#endif

// ---- device ----
// device -1: the system default; 0: "No sound" (decodes and paces in real time,
// outputs nothing); 1..: the outputs SDL lists. win is not used.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
BOOL BASS_Free(void);
BOOL BASS_GetInfo(BASS_INFO* info);
BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);
BOOL BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_GetConfig(DWORD option);
float BASS_GetVolume(void);  // the output volume, 0..1; -1 on failure
BOOL BASS_SetVolume(float volume);
DWORD BASS_GetVersion(void);
float BASS_GetCPU(void);  // the mixer's load, percent of real time
int BASS_ErrorGetCode(void);

// ---- plug-ins ----
HPLUGIN BASS_PluginLoad(const char* file, DWORD flags);
const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN handle);

// ---- streams and channels ----
// Returns once connected and the format is known, or 0 on failure. The URL
// may end in a line feed or carriage return, which is ignored. proc and user
// receive the download (see DOWNLOADPROC).
HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user);
BOOL BASS_StreamFree(HSTREAM handle);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelStop(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);
DWORD BASS_ChannelGetLevel(DWORD handle);  // low word left, high word right, 0..32768; -1 on failure
const char* BASS_ChannelGetTags(DWORD handle, DWORD tags);
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);
BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync);

#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

// ---- effects ----
HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority);
BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx);
BOOL BASS_FXSetParameters(HFX handle, const void* params);
BOOL BASS_FXGetParameters(HFX handle, void* params);

#ifdef __cplusplus
}
#endif
