// Where recordings go: the "record" folder beside the program file.
#pragma once

#include <string>

// The program's own folder, with a trailing '/'.
std::string programFolder();
// programFolder() + "record/".
std::string recordFolder();
