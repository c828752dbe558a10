#include "platform/working_set.h"

#include <elf.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

// An object whose code is patched when it loads (text relocations) has
// pages that differ from its file: releasing them would undo the patching.
static bool hasTextRelocations(const dl_phdr_info& info) {
    for (int i = 0; i < info.dlpi_phnum; ++i) {
        if (info.dlpi_phdr[i].p_type != PT_DYNAMIC) continue;
        auto* entry = reinterpret_cast<const ElfW(Dyn)*>(info.dlpi_addr + info.dlpi_phdr[i].p_vaddr);
        for (; entry->d_tag != DT_NULL; ++entry) {
            if (entry->d_tag == DT_TEXTREL) return true;
            if (entry->d_tag == DT_FLAGS && (entry->d_un.d_val & DF_TEXTREL)) return true;
        }
    }
    return false;
}

// Called by dl_iterate_phdr with the loader's lock held, so no object is
// mapped, relocated or unmapped meanwhile.
static int releaseObject(dl_phdr_info* info, size_t, void* released) {
    // The kernel's vDSO is no file's copy.
    if (info->dlpi_addr == getauxval(AT_SYSINFO_EHDR) || hasTextRelocations(*info)) return 0;
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        // Writable segments hold relocated pointers and the program's data,
        // the read-only-after-relocation part (RELRO) among them.
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W)) continue;
        // Whole pages only: a page shared with a neighbouring segment stays.
        const uintptr_t start = (info->dlpi_addr + segment.p_vaddr + page - 1) & ~(page - 1);
        const uintptr_t end = (info->dlpi_addr + segment.p_vaddr + segment.p_memsz) & ~(page - 1);
        if (end <= start) continue;
        if (madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED) == 0) {
            *static_cast<size_t*>(released) += end - start;
        }
    }
    return 0;
}

size_t releaseLoadedCode() {
    size_t released = 0;
    dl_iterate_phdr(releaseObject, &released);
    return released;
}
