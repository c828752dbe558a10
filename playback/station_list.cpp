#include "playback/station_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "state/error_box.h"
#include "state/player_state.h"
#include "state/resource_ids.h"
#include "engine/bass.h"
#include "playback/text_line_reader.h"

namespace {

const char* const stationsFileName = "stations1.txt";
// One read of the file is one station: a line of up to 98 characters and its
// line end fits a read of 99.
const int lineCapacity = 100;
// Only the first 100 lines can be looked up.
const int lookupLimit = 100;

}  // namespace

void loadStationList()
{
    player.stationsFile = fopen(stationsFileName, "r");
    if (!player.stationsFile) {
        showEngineError("Stations file not found!", BASS_ErrorGetCode());
        DestroyWindow(player.mainWindow);
        return;
    }
    char line[lineCapacity];
    // Every read adds one entry, so that a list position is always the
    // position of the read that made it, which the lookup counts the same way.
    while (readTextLine(line, lineCapacity, player.stationsFile)) {
        if (char* comma = strchr(line, ','))
            *comma = '\0';
        char entry[200];
        snprintf(entry, sizeof entry, "  %s", line);
        SendDlgItemMessageA(player.mainWindow, IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    fclose(player.stationsFile);
    player.stationsFile = nullptr;
}

int lookupStationUrl(char** url)
{
    int position = player.selectedStation;
    if (position < 0 || position >= lookupLimit)
        return 0;
    player.stationsFile = fopen(stationsFileName, "r");
    if (!player.stationsFile)
        return 0;
    char* line = new char[lineCapacity];
    char* found = nullptr;
    for (int i = 0; i <= position; ++i) {
        if (!readTextLine(line, lineCapacity, player.stationsFile))
            break;
        if (i == position) {
            if (const char* http = strstr(line, "http"))
                found = strdup(http);
        }
    }
    fclose(player.stationsFile);
    player.stationsFile = nullptr;
    delete[] line;
    if (!found)
        return 0;
    *url = found;
    return 1;
}
