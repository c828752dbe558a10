// Loading the engine's plug-ins beside the program and listing their formats
// in pluginText, once, at start-up.
#include <cstring>

#include "engine/bass.h"
#include "platform/file_search.h"
#include "report/audio_report.h"
#include "state/player_state.h"

namespace {

const char kPluginPattern[] = "bass*.so";

// Appends "name: extensions\n" when the whole line still fits in pluginText;
// false (and nothing written) when it does not, so the list never ends in
// half a line.
bool appendFormatLine(const BASS_PLUGINFORM& format) {
    const char* name = format.name ? format.name : "";
    const char* extensions = format.exts ? format.exts : "";
    size_t used = strlen(player.pluginText);
    size_t line = strlen(name) + 2 + strlen(extensions) + 1;
    if (used + line >= sizeof player.pluginText) return false;
    char* end = player.pluginText + used;
    snprintf(end, sizeof player.pluginText - used, "%s: %s\n", name, extensions);
    return true;
}

}  // namespace

char* pluginSearchPattern(char* path, size_t size, size_t length) {
    char* slash = length > 0 && length < size ? strrchr(path, '/') : nullptr;
    // The pattern and its NUL go after the slash; a path that leaves no room
    // for both (or that the buffer cut short) searches nowhere.
    if (!slash || static_cast<size_t>(slash + 1 - path) + sizeof kPluginPattern > size) return nullptr;
    strcpy(slash + 1, kPluginPattern);
    *slash = '\0';
    return slash + 1;
}

void loadPlugins() {
    char path[260];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    char* pattern = pluginSearchPattern(path, sizeof path, length);
    if (!pattern) return;
    // Once a line does not fit, later plug-ins are still loaded (their
    // formats play) but listed no more.
    bool full = false;
    for (const std::string& name : findFiles(path, pattern)) {
        HPLUGIN plugin = BASS_PluginLoad(name.c_str(), 0);
        const BASS_PLUGININFO* info = BASS_PluginGetInfo(plugin);
        for (DWORD i = 0; info && !full && i < info->formatc; ++i) full = !appendFormatLine(info->formats[i]);
    }
}
