// Where recordings go: the "record" folder beside the program file when the
// program's folder is writable (run from its build folder), else the user's
// music folder under "Tunelark/"; always there for an installed program
// (in <prefix>/lib/tunelark/), even one its user could write into.
#pragma once

#include <string>

// The program's own folder, with a trailing '/'.
std::string programFolder();
// The record folder for a program that lives in `programDir` (ending in '/'),
// with a trailing '/'. Chooses the music folder when `programDir` cannot be
// written or is the installed program's. Makes nothing: the folder is made
// when a recording first needs it.
std::string recordFolderFor(const std::string& programDir);
// Makes the folder `path` (ending in '/') and its missing parents. 0 when it
// is there, else why a missing part could not be made (an errno).
int makeRecordFolder(const std::string& path);
// recordFolderFor(programFolder()).
std::string recordFolder();
