// The process's share of memory: what start-up left behind in it.
#pragma once

#include <cstddef>

// Takes out of the process's resident memory every page of code and
// read-only data of the program and its loaded libraries. Those pages are
// copies of their files, so nothing is lost: a page used again comes back
// from the page cache at its next use. Pages that relocation or a debugger
// wrote to are never touched (writable segments, text relocations).
// Returns the bytes of address range released. Safe from any thread while
// others run, and while libraries are loaded or unloaded.
size_t releaseLoadedCode();
