/* The engine's plug-in interface: everything a plug-in sees of the engine.
 *
 * A plug-in is a shared object that exports one C function,
 * TunelarkPluginEntry. The engine calls it once, right after loading, with
 * the interface version it speaks; the plug-in answers with a description of
 * itself whose first field repeats that version, or with NULL when it speaks
 * another one. Everything the answer points to stays valid and unchanged for
 * as long as the plug-in is loaded (the engine never unloads a plug-in it
 * accepted).
 *
 * Each format brings either a decoder or a source. A decoder: a probe that
 * recognises the format in the first bytes of a stream, and a feed decoder
 * made per stream. A decoder is used by one thread at a time (the stream's
 * download thread); different decoders run on different threads at once, so
 * they share no mutable state.
 *
 * A source plays a whole station by itself (an HLS playlist and its
 * segments): it claims a playlist the engine has fetched, then runs on the
 * stream's download thread, fetching through the engine's host calls only
 * (so every request keeps the station's connection rules), and hands back
 * PCM, the META text and the bytes the download callback sees. It never
 * opens a connection, a file or a thread of its own, and returns as soon as
 * a host call tells it the stream is stopping.
 */
#ifndef TUNELARK_PLUGIN_INTERFACE_H
#define TUNELARK_PLUGIN_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever a record below changes its layout or meaning. */
#define TUNELARK_PLUGIN_INTERFACE_VERSION 3u
#define TUNELARK_PLUGIN_ENTRY_NAME "TunelarkPluginEntry"

/* What one decode call produced. The samples are interleaved floats in
 * -1..1, owned by the decoder and valid until its next call. */
typedef struct TunelarkPcm {
    const float* samples;
    long frames;       /* 0: feed more bytes; -1: the stream cannot go on */
    int rate;          /* Hz, of these samples */
    int channels;      /* 1..8 */
    int streamChanged; /* nonzero: these are the first samples of a new song
                          (a new logical stream of a chained stream); the
                          first song of a stream is not a change */
} TunelarkPcm;

typedef struct TunelarkDecoderOps {
    /* Nonzero when the format is recognised in the first `size` bytes of a
     * stream (which may start with junk or in the middle of a frame); then
     * *offset is where it starts. Never reads outside the bytes. */
    int (*probe)(const unsigned char* data, size_t size, size_t* offset);
    /* A decoder for one stream; NULL when out of memory. */
    void* (*open)(void);
    void (*close)(void* decoder);
    /* Hands over received bytes; the decoder keeps what it has not used.
     * Zero when it cannot take them (out of memory). */
    int (*feed)(void* decoder, const unsigned char* data, size_t size);
    /* Decodes as much as the fed bytes allow, never samples of two songs or
     * two formats in one call. */
    void (*decode)(void* decoder, TunelarkPcm* pcm);
    /* The comments ("NAME=value") of the song now being decoded, as a count
     * and texts valid until the next decode call. NULL for a format that has
     * no comments. */
    size_t (*comments)(void* decoder, const char* const** texts);
} TunelarkDecoderOps;

/* The engine's error codes a source meets and returns (the engine's own
 * numbers). */
#define TUNELARK_ERROR_MEM 1
#define TUNELARK_ERROR_DECODE 38
#define TUNELARK_ERROR_TIMEOUT 40
#define TUNELARK_ERROR_FILEFORM 41
#define TUNELARK_ERROR_UNSTREAMABLE 43
#define TUNELARK_ERROR_HTTP 102
#define TUNELARK_ERROR_PROTOCOL 105
#define TUNELARK_ERROR_STOPPED (-1)

/* One fetched body, owned by the engine, valid until the source's next
 * fetch. */
typedef struct TunelarkFetched {
    const unsigned char* data;
    size_t size;
    const char* contentType; /* lower case, parameters removed */
    const char* url;         /* after redirects: the base of relative URLs */
} TunelarkFetched;

typedef struct TunelarkSourceHost TunelarkSourceHost; /* the engine's, opaque */

/* What a source may ask of the engine; every call from the thread run() was
 * called on. A nonzero "stop" answer means the stream is being freed (or
 * nobody reads its audio any more): the source returns at once. */
typedef struct TunelarkHostOps {
    /* GETs url (http and https only, the station's redirects, TLS checks
     * and time-outs); a body over maxBytes, or not whole within timeLimitMs
     * (0: no limit), fails. 0 or an error code (TUNELARK_ERROR_STOPPED). */
    int (*fetch)(TunelarkSourceHost* host, const char* url, size_t maxBytes, int timeLimitMs, TunelarkFetched* out);
    /* Decoded audio of the type ctype; waits for room. Nonzero: stop. */
    int (*audio)(TunelarkSourceHost* host, const TunelarkPcm* pcm, uint32_t ctype);
    /* Received stream bytes, in the form a recording of them plays (for
     * AAC: ADTS frames), for the download callback, whole frames only. */
    void (*received)(TunelarkSourceHost* host, const unsigned char* data, size_t size);
    /* A new title as an ICY text ("StreamTitle='...';"): the META tag and
     * its sync, between the received bytes it belongs between. */
    void (*meta)(TunelarkSourceHost* host, const char* text);
    /* Sleeps up to ms. Nonzero: stop. */
    int (*wait)(TunelarkSourceHost* host, int ms);
    /* As fetch, for the `length` bytes (at least 1; also the size cap) of
     * url from `offset` on: asked for as an HTTP range, or cut from the
     * whole body of a server that ignores ranges. A body that ends before
     * them fails. */
    int (*fetchRange)(TunelarkSourceHost* host, const char* url, uint64_t offset, size_t length, int timeLimitMs,
                      TunelarkFetched* out);
} TunelarkHostOps;

typedef struct TunelarkSourceOps {
    /* Nonzero when the source plays this playlist: the URL it came from
     * (after redirects), its content type and its body. Any thread; pure. */
    int (*claim)(const char* url, const char* contentType, const unsigned char* body, size_t size);
    /* Plays the station until it ends: 0 when it ended normally (the last
     * segment), otherwise why it could not go on. `body` is the claimed
     * playlist, whole when `whole` is nonzero (else the source fetches it
     * again). Runs on the stream's download thread. */
    int (*run)(const TunelarkHostOps* host, TunelarkSourceHost* context, const char* url, const unsigned char* body,
               size_t size, int whole);
} TunelarkSourceOps;

typedef struct TunelarkPluginFormat {
    uint32_t ctype;                    /* the channel type code streams of it get */
    const char* name;                  /* "AAC stream" */
    const char* extensions;            /* "*.aac;*.adts" */
    const char* contentTypes;          /* the HTTP Content-Types that announce it,
                                          ';'-separated lower case, "" for none */
    const TunelarkDecoderOps* decoder; /* exactly one of decoder and source */
    const TunelarkSourceOps* source;
} TunelarkPluginFormat;

typedef struct TunelarkPlugin {
    uint32_t interfaceVersion; /* TUNELARK_PLUGIN_INTERFACE_VERSION */
    uint32_t version;          /* the plug-in's own, 0xAABBCCDD: A.B.C.D */
    uint32_t formatCount;
    const TunelarkPluginFormat* formats;
} TunelarkPlugin;

typedef const TunelarkPlugin* (*TunelarkPluginEntryFunction)(uint32_t interfaceVersion);

#if defined(__GNUC__)
#define TUNELARK_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define TUNELARK_PLUGIN_EXPORT
#endif

#ifdef __cplusplus
}
#endif

#endif
