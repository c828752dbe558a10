// Reading stations1.txt whole: one entry per read of the file, as the list
// box shows it, with the URL its line holds.
#pragma once

#include <string>
#include <vector>

struct StationLine {
    std::string entry;  // the list box's text: two blanks and the name
    std::string url;    // from the first "http" to the line end; empty without one
};

// Every station of stations1.txt in the working folder, in file order.
// Returns false when it cannot be read as a file (missing, a folder, a
// device, a read error); player.stationsFile is open only during the call.
bool readStationFile(std::vector<StationLine>& stations);
