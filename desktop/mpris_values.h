// MPRIS values made from what the window shows, and the reverse for the
// one value a client may set. Pure functions, any thread.
#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>
#include <string>

#include "desktop/window_view.h"

// A window text as D-Bus carries it: always valid UTF-8, read by the window
// layer's code-page rule (UTF-8 when the bytes are, else Windows-1251).
QString shownText(const std::string& bytes);

// The Metadata map: mpris:trackid (/org/tunelark/track/<track>), the song
// title, the station's name as album and its address as url. With no
// station chosen, only the "no track" id. The title is left out unless
// titleIsStations: right after a station change the window still shows the
// last station's title until the new connection empties it.
QVariantMap metadataOf(const WindowView& view, const std::string& stationAddress, bool titleIsStations, unsigned track);

// Whether a step through the station list (1 down, -1 up) would select
// another station: not past either end (with no row selected either step
// takes the first), and not while a box of the player refuses input.
bool canStepStations(const WindowView& view, int step);

// Volume 0.0..1.0 of a slider position 0..100.
double volumeOf(int sliderPosition);

// The slider position for a Volume a client asks for: below 0 is 0, above
// 1 is 1 (as the slider cannot go further); NaN is refused (nullopt).
std::optional<int> sliderPositionOf(double volume);
