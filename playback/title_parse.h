// Song titles as stations send them: the ICY "StreamTitle" field and the Ogg
// comment list. Pure functions on untrusted text; every result is bounded by
// its input.
#pragma once

#include <optional>
#include <string>

// The title in an ICY metadata text: the text after "StreamTitle='" up to the
// first "';" after it; with no "';", up to the last "'" after the marker; with
// neither, to the end. nullopt when the marker is missing or meta is null.
std::optional<std::string> icyStreamTitle(const char* meta);

// What a list of Ogg comments ("name=value" texts, ended by an empty one) gives.
enum class OggTitleKind {
    None,         // no artist and no title: nothing to show
    Title,        // a title alone: shown and held
    ArtistTitle,  // an artist (with or without a title): shown, not held
};

struct OggTitle {
    OggTitleKind kind = OggTitleKind::None;
    std::string text;  // the text to show
};

// The later of repeated "artist=" / "title=" comments wins (names compared
// without regard to case). With an artist the text is "artist - title", or
// the artist alone when there is no title comment, cut to kShownTitleMax.
OggTitle oggTitle(const char* comments);

// The longest "artist - title" text shown, in bytes.
constexpr size_t kShownTitleMax = 99;

// Cuts text to at most maxBytes. A valid UTF-8 text is cut before a whole
// character, so that it stays valid UTF-8 and displays as such; any other
// text (Windows-1251, Latin-1) is cut at the byte.
void cutText(std::string& text, size_t maxBytes);
