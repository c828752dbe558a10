// The engine's version, its output devices and its plug-ins, as texts.
#pragma once

#include <cstddef>

#include "engine/bass.h"

// "Аудиовыходы:" and a line per output device, the default one marked
// "  -  DEFAULT", in UTF-8, within 300 bytes: a heap buffer, delete[] it.
char* buildDeviceList();
// Appends a device's line (name, the mark, "\n") to a device list when the
// whole line fits its 300 bytes; false, the list unchanged, when not.
bool appendDeviceLine(char* list, const char* name, DWORD flags);
char* buildVersionText();  // heap string, free()
void loadPlugins();        // appends to player.pluginText
// The program's path, `length` characters in a buffer of `size` bytes,
// becomes its folder (cut at the last slash) followed by the plug-in search
// pattern in the same buffer; returns the pattern, or nullptr (the buffer
// untouched) when the pattern with its NUL does not fit.
char* pluginSearchPattern(char* path, size_t size, size_t length);
