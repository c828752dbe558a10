#include "platform/file_search.h"
#include "recording/record_folder.h"
#include "recording/recorder.h"

int countRecordings() {
    int count = 0;
    for (const char* pattern : {"*.mp3", "*.aac", "*.ogg", "*.opus"})
        count += static_cast<int>(platform::findFiles(recordFolder(), pattern).size());
    return count;
}
