// Keeping a finished piece under a numbered name.
#pragma once

#include <string>

// Moves the file at `path` to "NN-stem.extension" in `folder` (ending in
// '/'), NN the first number after `after` whose name is free: an existing
// file is never replaced. Returns that number, or 0 when the file could not
// be moved (it is then left where it is).
int keepRecording(const std::string& path, const std::string& folder, const std::string& stem,
                  const std::string& extension, int after);
