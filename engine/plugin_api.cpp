// Plug-ins are not loaded yet: every request is refused cleanly.
#include "engine/errors.h"

using namespace engine;

HPLUGIN BASS_PluginLoad(const char*, DWORD) { return fail(BASS_ERROR_NOTAVAIL, HPLUGIN(0)); }

const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN) {
    return fail(BASS_ERROR_NOTAVAIL, static_cast<const BASS_PLUGININFO*>(nullptr));
}
