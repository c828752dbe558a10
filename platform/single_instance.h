// One running player per user session. A later start does not run a second
// player: it knocks on the running one's channel, so that one can come
// forward, and ends.
#pragma once

#include <functional>

namespace platform {

// Takes the lock "<name>.lock" in $XDG_RUNTIME_DIR (or /tmp/<name>-<uid>.lock
// when that is not set) and keeps it until the process ends, when the kernel
// releases it. Returns false when another process holds it or the lock file
// may not be opened. Calling it again with the same name in the same process
// returns true. The holder also opens its channel, a socket beside the lock
// ("<name>.sock"), where knocks wait until someone watches for them.
bool acquireSingleInstance(const char* name);

// Knocks on the channel of the process that holds the lock name. Never
// waits for that process. False when no holder listens there.
bool knockOnRunningInstance(const char* name);

// Dialog's thread, once per name, after acquireSingleInstance(name) took the
// lock: calls onKnock on the dialog's thread after knocks by this user's
// processes, those made since the lock was taken included (several waiting
// at once give one call). Does nothing when the channel could not be opened.
void watchForKnocks(const char* name, std::function<void()> onKnock);

}  // namespace platform

// The program calls them by their bare names, like the Win32 calls.
using platform::acquireSingleInstance;
using platform::knockOnRunningInstance;
using platform::watchForKnocks;
