// libavformat and libavcodec bring some seventy libraries with them (codecs,
// TLS, SVG, video encoders), about 13 MiB of resident memory and their
// start-up work. The player loads every plug-in when it starts, to list it,
// and most listeners never play an HLS station; so what needs those
// libraries is a module of its own, loaded by the first HLS station played
// and kept until the process ends.
#include "plugins/hls/hls_media_loader.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace hls {
namespace {

using RunFunction = int (*)(const TunelarkHostOps*, TunelarkSourceHost*, const char*, const unsigned char*, size_t,
                            int);

// This plug-in's own folder, from the file the loader found it in.
std::string ownFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&runThroughMediaModule), &info) || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

RunFunction loadMediaModule() {
    std::string folder = ownFolder();
    if (folder.empty()) return nullptr;
    void* module = dlopen((folder + kMediaModule).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return nullptr;
    auto run = reinterpret_cast<RunFunction>(dlsym(module, kMediaEntry));
    if (!run) dlclose(module);
    return run;
}

}  // namespace

int runThroughMediaModule(const TunelarkHostOps* host, TunelarkSourceHost* context, const char* url,
                          const unsigned char* body, size_t size, int whole) {
    // Asked again after a failure, in case the module has been put back.
    static std::mutex loading;
    static RunFunction run = nullptr;
    RunFunction loaded;
    {
        std::lock_guard guard(loading);
        if (!run) run = loadMediaModule();
        loaded = run;
    }
    if (!loaded) return TUNELARK_ERROR_FILEFORM;
    return loaded(host, context, url, body, size, whole);
}

}  // namespace hls
