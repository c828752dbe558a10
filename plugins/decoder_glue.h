// The C functions a plug-in's decoder table holds, for a decoder class with
// feed(data, size) -> bool and decode(TunelarkPcm&). Nothing may be thrown
// across the C interface: an allocation that fails ends the call as a
// refusal (feed) or a decoding error (decode).
#pragma once

#include <new>

#include "engine/plugin_interface.h"

namespace plugin_glue {

template <class Decoder>
void* openDecoder() {
    return new (std::nothrow) Decoder;
}

template <class Decoder>
void closeDecoder(void* decoder) {
    delete static_cast<Decoder*>(decoder);
}

template <class Decoder>
int feed(void* decoder, const unsigned char* data, size_t size) {
    try {
        return static_cast<Decoder*>(decoder)->feed(data, size) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

template <class Decoder>
void decode(void* decoder, TunelarkPcm* pcm) {
    try {
        static_cast<Decoder*>(decoder)->decode(*pcm);
    } catch (const std::bad_alloc&) {
        *pcm = TunelarkPcm{nullptr, -1, 0, 0, 0};
    }
}

}  // namespace plugin_glue
