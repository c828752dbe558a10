#include "desktop/station_address.h"

#include <cstdlib>

#include "state/player_state.h"
#include "state/upward_calls.h"

std::string stationAddress(int station)
{
    // The program's lookup reads the position of the last selection change.
    // On the dialog's thread that is the list's selection, since the dialog
    // hears of every change as it is made; any other position is not asked.
    if (station < 0 || station != player.selectedStation)
        return {};
    char* url = nullptr;
    if (!stationUrlLookupCall || !stationUrlLookupCall(&url))
        return {};
    std::string address(url);
    free(url);
    return address;
}
