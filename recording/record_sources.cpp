#include "recording/record_sources.h"

#include <cctype>

#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

constexpr size_t kMaxExtension = 8;

// "*.aac;*.adts" -> "aac"; letters and digits only, so a name stays a name.
std::string firstExtension(const char* list) {
    std::string text = list ? list : "";
    text = text.substr(0, text.find(';'));
    size_t dot = text.rfind('.');
    std::string extension = dot == std::string::npos ? text : text.substr(dot + 1);
    for (char c : extension)
        if (!std::isalnum(static_cast<unsigned char>(c))) return "";
    return extension.size() <= kMaxExtension ? extension : "";
}

}  // namespace

std::string selectedStationName() {
    HWND list = GetDlgItem(player.mainWindow, IDC_STATIONS);
    WPARAM position = static_cast<WPARAM>(player.selectedStation.load());
    LRESULT length = list ? SendMessageA(list, LB_GETTEXTLEN, position, 0) : -1;
    if (length <= 0 || length > 4096) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, position, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find('\0'));
    text.erase(0, text.find_first_not_of(" \t"));
    return text;
}

std::string streamTypeExtension(HSTREAM stream) {
    BASS_CHANNELINFO info{};
    if (!stream || !BASS_ChannelGetInfo(stream, &info)) return "";
    if (info.plugin) {
        const BASS_PLUGININFO* plugin = BASS_PluginGetInfo(info.plugin);
        for (DWORD i = 0; plugin && i < plugin->formatc; ++i)
            if (plugin->formats[i].ctype == info.ctype) return firstExtension(plugin->formats[i].exts);
        return "";
    }
    if (info.ctype == BASS_CTYPE_STREAM_OGG) return "ogg";
    return info.ctype == BASS_CTYPE_STREAM_MP3 ? "mp3" : "";
}
