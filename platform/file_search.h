// Finding files by a Windows wildcard pattern.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Bare names of the regular files in dir whose names match pattern ('*' any
// run, '?' one character) without regard to case, in directory order. Empty
// when dir cannot be read. Symbolic links count by what they point to.
std::vector<std::string> findFiles(const std::string& dir, const std::string& pattern);

}  // namespace platform

// The program calls it by its bare name, like the Win32 calls.
using platform::findFiles;
