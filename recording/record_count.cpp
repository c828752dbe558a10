#include "platform/file_search.h"
#include "recording/record_folder.h"
#include "recording/recorder.h"

int countRecordings()
{
    return static_cast<int>(platform::findFiles(recordFolder(), "*.mp3").size());
}
