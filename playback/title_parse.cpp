#include "playback/title_parse.h"

#include <cstring>

namespace {

bool startsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix; ++text, ++prefix) {
        char c = *text;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != *prefix)
            return false;
    }
    return true;
}

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte that cannot
// lead one.
int utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Checks structure only (lead and continuation bytes); that is what decides
// how the window layer shows the text.
bool isUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        int n = utf8SequenceLength(static_cast<unsigned char>(text[i]));
        if (n == 0 || i + n > text.size())
            return false;
        for (int k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

}  // namespace

std::optional<std::string> icyStreamTitle(const char* meta)
{
    static const char marker[] = "StreamTitle='";
    if (!meta)
        return std::nullopt;
    const char* start = std::strstr(meta, marker);
    if (!start)
        return std::nullopt;
    start += sizeof marker - 1;
    const char* end = std::strstr(start, "';");
    if (!end)
        end = std::strrchr(start, '\'');
    if (!end)
        end = start + std::strlen(start);
    return std::string(start, end);
}

OggTitle oggTitle(const char* comments)
{
    const char* artist = nullptr;
    const char* title = nullptr;
    for (const char* c = comments; c && *c; c += std::strlen(c) + 1) {
        if (startsWithNoCase(c, "artist="))
            artist = c + 7;
        else if (startsWithNoCase(c, "title="))
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

void cutText(std::string& text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return;
    size_t cut = maxBytes;
    if (isUtf8(text))
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
    text.resize(cut);
}
