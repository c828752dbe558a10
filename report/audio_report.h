// The engine's version, its output devices and its plug-ins, as texts.
#pragma once

char* buildVersionText();  // heap string, free()
void loadPlugins();        // appends to player.pluginText
