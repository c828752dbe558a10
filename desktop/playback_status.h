// The MPRIS playback status read off the window.
#pragma once

#include <string>

#include "desktop/window_view.h"

// "Stopped" while no stream plays: before the first connection (the status
// line still shows initialStatus, the text it had at start-up), while one is
// being made (the format is shown only once it is made) or waited for, after
// a failed one and after a stream's end.
// Otherwise "Paused" while the pause button offers "Play", else "Playing".
const char* playbackStatusOf(const WindowView& view, const std::string& initialStatus);
