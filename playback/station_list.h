// The stations of stations1.txt: the list box, and a position's URL.
#pragma once

// Fills list box 1002 from stations1.txt in the working folder; without the
// file, shows "Stations file not found!" and destroys the main window.
void loadStationList();
// Puts a new heap copy (free()) of the URL at list position
// player.selectedStation into *url and returns 1; returns 0 and leaves *url
// alone when the file or the position yields no URL.
int lookupStationUrl(char** url);
