// Where recordings go: the "record" folder beside the program file when the
// program's folder is writable (run from its build folder), else the user's
// music folder under "Tunelark/" (installed, e.g. in /usr/lib/tunelark).
#pragma once

#include <string>

// The program's own folder, with a trailing '/'.
std::string programFolder();
// The record folder for a program that lives in `programDir` (ending in '/'),
// with a trailing '/'. Chooses the music folder when `programDir` cannot be
// written, and then makes that folder and its parents.
std::string recordFolderFor(const std::string& programDir);
// recordFolderFor(programFolder()).
std::string recordFolder();
