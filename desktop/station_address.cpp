#include "desktop/station_address.h"

#include "state/player_state.h"

std::string stationAddress(int station) {
    // The station command keeps the address it looked up for the position of
    // the last selection change. On the dialog's thread that is the list's
    // selection, since the dialog hears of every change as it is made; any
    // other position has none.
    if (station < 0 || station != player.selectedStation) return {};
    return player.stationAddress;
}
