#include "playback/station_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "playback/text_line_reader.h"
#include "state/player_state.h"

namespace {

const char* const stationsFileName = "stations1.txt";
// One read of the file is one station: a line of up to 98 characters and its
// line end fits a read of 99.
const int lineCapacity = 100;

// fopen opens a folder for reading and only the first read fails; a device
// or a pipe may never end. Only a plain file is a station list.
bool isPlainFile(FILE* file) {
    struct stat info;
    return fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
}

StationLine parseLine(char* line) {
    StationLine station;
    if (const char* http = strstr(line, "http")) station.url = http;
    if (char* comma = strchr(line, ',')) *comma = '\0';
    char entry[200];
    snprintf(entry, sizeof entry, "  %s", line);
    station.entry = entry;
    return station;
}

}  // namespace

bool readStationFile(std::vector<StationLine>& stations) {
    stations.clear();
    player.stationsFile = fopen(stationsFileName, "r");
    if (!player.stationsFile) return false;
    bool readable = isPlainFile(player.stationsFile);
    char line[lineCapacity];
    // Every read is one entry, so that a list position is always the
    // position of the read that made it.
    while (readable && readTextLine(line, lineCapacity, player.stationsFile)) stations.push_back(parseLine(line));
    readable = readable && !ferror(player.stationsFile);
    fclose(player.stationsFile);
    player.stationsFile = nullptr;
    if (!readable) stations.clear();
    return readable;
}
