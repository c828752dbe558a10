#include <cstdio>
#include <string>

#include "recording/record_folder.h"
#include "recording/recorder.h"
#include "state/player_state.h"

bool buildRecordPath(int& folderError) {
    std::string folder = recordFolder();
    // A relative folder would put recordings wherever the player was started.
    if (folder.empty() || folder[0] != '/' || folder.size() >= sizeof player.recordPath) {
        player.recordPath[0] = '\0';
        return false;
    }
    folderError = makeRecordFolder(folder);
    std::snprintf(player.recordPath, sizeof player.recordPath, "%s", folder.c_str());
    return true;
}
