// The address of a station of the list, as the player state keeps it.
#pragma once

#include <string>

// Dialog's thread. The address of list position station, as the station
// command looked it up when that station was chosen (its line end kept); ""
// when the position yields none.
std::string stationAddress(int station);
