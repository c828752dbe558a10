#include "playback/station_list.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/bass.h"
#include "playback/station_file.h"
#include "state/error_box.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

// Only the first 100 lines can be looked up.
const int lookupLimit = 100;

LRESULT sendList(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(player.mainWindow, IDC_STATIONS, message, wParam, lParam);
}

void fillList(const std::vector<StationLine>& stations) {
    for (const StationLine& station : stations)
        sendList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(station.entry.c_str()));
}

std::optional<std::string> listEntry(int position) {
    LRESULT length = sendList(LB_GETTEXTLEN, static_cast<WPARAM>(position));
    if (position < 0 || length < 0) return std::nullopt;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    sendList(LB_GETTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text.data()));
    text.resize(strlen(text.c_str()));
    return text;
}

// The list as shown was read from another version of the file. With no
// list at all (nothing was ever loaded) there is nothing to compare.
bool listIsStale(const std::vector<StationLine>& stations) {
    LRESULT count = sendList(LB_GETCOUNT);
    if (count <= 0) return false;
    if (static_cast<size_t>(count) != stations.size()) return true;
    for (size_t i = 0; i < stations.size(); ++i) {
        if (listEntry(static_cast<int>(i)) != stations[i].entry) return true;
    }
    return false;
}

// Where an entry now stands: of several with its text, the one nearest to
// where it stood; -1 when it is gone.
int findEntry(const std::vector<StationLine>& stations, const std::optional<std::string>& entry, int near) {
    int found = -1;
    for (int i = 0; entry && i < static_cast<int>(stations.size()); ++i) {
        if (stations[i].entry == *entry && (found < 0 || abs(i - near) < abs(found - near))) found = i;
    }
    return found;
}

// The file changed under the list: the list is read again, and the clicked
// and the playing station keep their identity (their name), not their place.
void reloadList(const std::vector<StationLine>& stations) {
    int selected = player.selectedStation;
    int playing = player.playingStation;
    std::optional<std::string> clicked = listEntry(selected);
    std::optional<std::string> played = listEntry(playing);
    sendList(LB_RESETCONTENT);
    fillList(stations);
    player.selectedStation = findEntry(stations, clicked, selected);
    player.playingStation = findEntry(stations, played, playing);
    sendList(LB_SETCURSEL, static_cast<WPARAM>(player.selectedStation.load()));
}

}  // namespace

void loadStationList() {
    std::vector<StationLine> stations;
    if (!readStationFile(stations)) {
        showEngineError("Stations file not found!", BASS_ErrorGetCode());
        DestroyWindow(player.mainWindow);
        return;
    }
    fillList(stations);
}

int lookupStationUrl(char** url) {
    std::vector<StationLine> stations;
    if (player.selectedStation < 0 || !readStationFile(stations)) return 0;
    if (listIsStale(stations)) reloadList(stations);
    int position = player.selectedStation;
    if (position < 0 || position >= lookupLimit || position >= static_cast<int>(stations.size())) return 0;
    const std::string& found = stations[static_cast<size_t>(position)].url;
    if (found.empty()) return 0;
    *url = strdup(found.c_str());
    return 1;
}
