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
 * Each format brings a decoder: a probe that recognises the format in the
 * first bytes of a stream, and a feed decoder made per stream. A decoder is
 * used by one thread at a time (the stream's download thread); different
 * decoders run on different threads at once, so they share no mutable state.
 */
#ifndef TUNELARK_PLUGIN_INTERFACE_H
#define TUNELARK_PLUGIN_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever a record below changes its layout or meaning. */
#define TUNELARK_PLUGIN_INTERFACE_VERSION 1u
#define TUNELARK_PLUGIN_ENTRY_NAME "TunelarkPluginEntry"

/* What one decode call produced. The samples are interleaved floats in
 * -1..1, owned by the decoder and valid until its next call. */
typedef struct TunelarkPcm {
    const float* samples;
    long frames;        /* 0: feed more bytes; -1: the stream cannot go on */
    int rate;           /* Hz, of these samples */
    int channels;       /* 1..8 */
    int streamChanged;  /* nonzero: these are the first samples of a new song
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

typedef struct TunelarkPluginFormat {
    uint32_t ctype;            /* the channel type code streams of it get */
    const char* name;          /* "AAC stream" */
    const char* extensions;    /* "*.aac;*.adts" */
    const char* contentTypes;  /* the HTTP Content-Types that announce it,
                                  ';'-separated lower case, "" for none */
    const TunelarkDecoderOps* decoder;
} TunelarkPluginFormat;

typedef struct TunelarkPlugin {
    uint32_t interfaceVersion;  /* TUNELARK_PLUGIN_INTERFACE_VERSION */
    uint32_t version;           /* the plug-in's own, 0xAABBCCDD: A.B.C.D */
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
