// One running player per user session.
#pragma once

namespace platform {

// Takes the lock "<name>.lock" in $XDG_RUNTIME_DIR (or /tmp/<name>-<uid>.lock
// when that is not set) and keeps it until the process ends, when the kernel
// releases it. Returns false when another process holds it or the lock file
// may not be opened. Calling it again with the same name in the same process
// returns true.
bool acquireSingleInstance(const char* name);

}  // namespace platform

// The program calls it by its bare name, like the Win32 calls.
using platform::acquireSingleInstance;

