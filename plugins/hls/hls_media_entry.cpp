// The media module's entry: the station player, called by basshls.so's
// loader (hls_media_loader.cpp) through dlsym.
#include "plugins/hls/hls_media_loader.h"
#include "plugins/hls/hls_station.h"

extern "C" TUNELARK_PLUGIN_EXPORT int TunelarkHlsRun(const TunelarkHostOps* host, TunelarkSourceHost* context,
                                                     const char* url, const unsigned char* body, size_t size,
                                                     int whole) {
    return hls::runStation(host, context, url, body, size, whole);
}
