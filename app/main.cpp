#include <malloc.h>

#include "app/program_entry.h"
#include "desktop/desktop_control.h"

int main() {
    // Every station change runs on new threads (connect, download), and each
    // stream allocates buffers of several MiB there (the 10 s sample buffer
    // alone is 3.4 MiB). glibc's default raises its mmap threshold to the size
    // of the first such block freed, so later ones come from the threads'
    // malloc arenas, which then keep them after the stream is freed: 8 arenas
    // held 36 MiB after 200 changes (+50 % resident memory; thread stacks and
    // the main heap did not grow). A fixed threshold, glibc's usual 128 KiB,
    // keeps the large buffers in mappings of their own that go back when freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // What is left in an arena after a stream (a few hundred KiB of freed,
    // scattered small blocks) is held per arena, and glibc makes up to 8 per
    // core as short-lived threads meet; two are plenty for the handful of
    // threads that allocate here, and bound what they can hold.
    mallopt(M_ARENA_MAX, 2);
    return programEntry(startDesktopControl);
}
