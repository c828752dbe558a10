// What the recorder reads from the window and the engine, outside its lock.
#pragma once

#include <string>

#include "engine/bass.h"

// The station list's text at the selected position, without its leading
// blanks; "" when there is none.
std::string selectedStationName();

// The record extension of a stream's type, without the dot: "mp3", "ogg",
// or the first extension a plug-in lists for the format ("*.aac;*.adts"
// gives "aac"); "" when there is none fit for a file name.
std::string streamTypeExtension(HSTREAM stream);
