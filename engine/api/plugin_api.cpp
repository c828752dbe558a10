// BASS_PluginLoad and BASS_PluginGetInfo: shared objects that bring formats.
//
// A plug-in is checked before anything of it is used: it must load with all
// its symbols resolved (RTLD_NOW), export the entry point, answer this
// engine's interface version and describe whole formats. Anything else is
// refused with its own error code and unloaded. An accepted plug-in stays
// loaded for the life of the process: its decoders may be running.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/api/errors.h"
#include "engine/core/handles.h"
#include "engine/decode/plugin_decoder.h"
#include "engine/plugin_interface.h"
#include "engine/source/source_table.h"

using namespace engine;

namespace {

// More formats than any real plug-in has; a larger count is a broken table.
constexpr uint32_t kMaxFormats = 64;

struct LoadedPlugin {
    HPLUGIN handle = 0;
    dev_t device = 0;  // the file, to know it when it is loaded again
    ino_t inode = 0;
    std::vector<BASS_PLUGINFORM> forms;
    BASS_PLUGININFO info{};
};

struct Registry {
    std::mutex mutex;                                    // taken for a whole load: loads one at a time
    std::vector<std::unique_ptr<LoadedPlugin>> plugins;  // guarded by mutex
};

// Never destroyed: the plug-ins' code stays mapped until the process ends.
Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

std::string programFolder() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string text(path, size_t(length));
    return text.substr(0, text.rfind('/'));
}

// A bare name means a file in the program's folder first, then wherever the
// system's loader looks for libraries.
std::string resolve(const std::string& file) {
    if (file.find('/') != std::string::npos) return file;
    std::string beside = programFolder() + "/" + file;
    return access(beside.c_str(), F_OK) == 0 ? beside : file;
}

bool validFormat(const TunelarkPluginFormat& f) {
    const TunelarkDecoderOps* d = f.decoder;
    const TunelarkSourceOps* s = f.source;
    if (!f.name || !f.extensions || (d != nullptr) == (s != nullptr)) return false;
    if (s) return s->claim && s->run;
    return d->probe && d->open && d->close && d->feed && d->decode;
}

void registerFormat(const TunelarkPluginFormat& format, HPLUGIN plugin) {
    if (format.source)
        source::registerSource({format.ctype, format.name, plugin, format.source});
    else
        decode::registerDecoder(decode::pluginDecoderKind(format, plugin));
}

// BASS_OK when the entry's answer can be used as it is.
int check(const TunelarkPlugin* plugin) {
    if (!plugin || plugin->interfaceVersion != TUNELARK_PLUGIN_INTERFACE_VERSION) return BASS_ERROR_VERSION;
    if (plugin->formatCount > kMaxFormats || (plugin->formatCount > 0 && !plugin->formats)) return BASS_ERROR_NOPLUGIN;
    for (uint32_t i = 0; i < plugin->formatCount; ++i)
        if (!validFormat(plugin->formats[i])) return BASS_ERROR_NOPLUGIN;
    return BASS_OK;
}

// Opens the library and reads its description; the library stays open only
// on success.
int open(const std::string& path, const TunelarkPlugin*& description) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return BASS_ERROR_FILEFORM;
    auto entry = reinterpret_cast<TunelarkPluginEntryFunction>(dlsym(library, TUNELARK_PLUGIN_ENTRY_NAME));
    int error = entry ? check(description = entry(TUNELARK_PLUGIN_INTERFACE_VERSION)) : BASS_ERROR_NOPLUGIN;
    if (error != BASS_OK) dlclose(library);
    return error;
}

LoadedPlugin* findLoaded(const struct stat& file) {
    for (auto& plugin : registry().plugins)
        if (plugin->device == file.st_dev && plugin->inode == file.st_ino) return plugin.get();
    return nullptr;
}

LoadedPlugin& accept(const struct stat& file, const TunelarkPlugin& description) {
    auto plugin = std::make_unique<LoadedPlugin>();
    plugin->handle = newHandle();
    plugin->device = file.st_dev;
    plugin->inode = file.st_ino;
    for (uint32_t i = 0; i < description.formatCount; ++i) {
        const TunelarkPluginFormat& format = description.formats[i];
        plugin->forms.push_back({format.ctype, format.name, format.extensions});
        registerFormat(format, plugin->handle);
    }
    plugin->info = {description.version, DWORD(plugin->forms.size()), plugin->forms.data()};
    registry().plugins.push_back(std::move(plugin));
    return *registry().plugins.back();
}

}  // namespace

HPLUGIN BASS_PluginLoad(const char* file, DWORD) {
    if (!file || !*file) return fail(BASS_ERROR_ILLPARAM, HPLUGIN(0));
    std::string path = resolve(file);
    std::lock_guard lock(registry().mutex);
    struct stat info {};
    bool found = stat(path.c_str(), &info) == 0;
    if (found && !S_ISREG(info.st_mode)) return fail(BASS_ERROR_FILEFORM, HPLUGIN(0));
    if (found)
        if (LoadedPlugin* loaded = findLoaded(info)) return ok(loaded->handle);
    const TunelarkPlugin* description = nullptr;
    int error = open(path, description);
    if (error != BASS_OK) return fail(found ? error : BASS_ERROR_FILEOPEN, HPLUGIN(0));
    // A library found by the system's search: it names its file once loaded.
    if (!found) {
        Dl_info where{};
        if (dladdr(reinterpret_cast<const void*>(description), &where) && where.dli_fname) stat(where.dli_fname, &info);
        if (LoadedPlugin* loaded = findLoaded(info)) return ok(loaded->handle);
    }
    return ok(accept(info, *description).handle);
}

const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN handle) {
    std::lock_guard lock(registry().mutex);
    for (auto& plugin : registry().plugins)
        if (plugin->handle == handle) return ok(&plugin->info);
    return fail(BASS_ERROR_HANDLE, static_cast<const BASS_PLUGININFO*>(nullptr));
}
