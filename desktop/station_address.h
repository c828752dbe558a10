// The address of a station of the list, from the station file.
#pragma once

#include <string>

// Dialog's thread. The address of list position station, as the program's
// own lookup gives it when that station is chosen (its line end kept); ""
// when the position yields none.
std::string stationAddress(int station);
