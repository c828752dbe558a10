#include "playback/title_parse.h"

#include <strings.h>

#include <cstring>

#include "platform/code_page.h"

std::optional<std::string> icyStreamTitle(const char* meta) {
    static const char marker[] = "StreamTitle='";
    if (!meta) return std::nullopt;
    const char* start = std::strstr(meta, marker);
    if (!start) return std::nullopt;
    start += sizeof marker - 1;
    const char* end = std::strstr(start, "';");
    if (!end) end = std::strrchr(start, '\'');
    if (!end) end = start + std::strlen(start);
    return std::string(start, end);
}

OggTitle oggTitle(const char* comments) {
    const char* artist = nullptr;
    const char* title = nullptr;
    for (const char* c = comments; c && *c; c += std::strlen(c) + 1) {
        if (strncasecmp(c, "artist=", 7) == 0)
            artist = c + 7;
        else if (strncasecmp(c, "title=", 6) == 0)
            title = c + 6;
    }
    OggTitle result;
    if (artist) {
        result.kind = OggTitleKind::ArtistTitle;
        result.text = title ? std::string(artist) + " - " + title : std::string(artist);
        cutText(result.text, kShownTitleMax);
    } else if (title) {
        result.kind = OggTitleKind::Title;
        result.text = title;
    }
    return result;
}

void cutText(std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return;
    size_t cut = maxBytes;
    // The window layer shows valid UTF-8 as UTF-8: cut such a text where it
    // stays valid.
    if (platform::isValidUtf8(text))
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
}
