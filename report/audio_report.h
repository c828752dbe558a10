// The engine's version, its output devices and its plug-ins, as texts.
#pragma once

#include "engine/bass.h"

// "Аудиовыходы:" and a line per output device, the default one marked
// "  -  DEFAULT", in UTF-8, within 300 bytes: a heap buffer, delete[] it.
char* buildDeviceList();
// Appends a device's line (name, the mark, "\n") to a device list when the
// whole line fits its 300 bytes; false, the list unchanged, when not.
bool appendDeviceLine(char* list, const char* name, DWORD flags);
char* buildVersionText();  // heap string, free()
void loadPlugins();        // appends to player.pluginText
