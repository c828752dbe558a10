#include "recording/record_stream.h"

// Never destroyed, like the player's state: a download thread may outlive exit.
RecordStream& recordStream = *new RecordStream;

void resetRecordStreamLocked(const std::string& stationName) {
    recordStream = RecordStream();
    recordStream.stationName = stationName;
}
