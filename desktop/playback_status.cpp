#include "desktop/playback_status.h"

namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The texts the connect thread, the end of a stream and the reconnect put
// in the window while no stream plays.
bool noStreamPlays(const WindowView& view, const std::string& initialStatus) {
    return view.status == initialStatus || view.status == "not playing" || startsWith(view.status, "reconnecting") ||
           view.format.empty() || view.address == "not playing";
}

}  // namespace

const char* playbackStatusOf(const WindowView& view, const std::string& initialStatus) {
    if (noStreamPlays(view, initialStatus)) return "Stopped";
    return view.pauseCaption == "Play" ? "Paused" : "Playing";
}
