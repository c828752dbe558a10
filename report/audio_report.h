// The engine's version, its output devices and its plug-ins, as texts.
#pragma once

char* buildVersionText();  // heap string, free()
char* buildDeviceList();   // 300-character heap buffer, delete[]
void loadPlugins();        // appends to player.pluginText
