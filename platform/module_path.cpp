#include <unistd.h>

#include <cstring>

#include "platform/win32.h"

namespace {

// The program is its only module; this stands for its instance.
HINSTANCE const kProgramInstance = reinterpret_cast<HINSTANCE>(0x400000);

}  // namespace

HINSTANCE GetModuleHandleA(LPCSTR name) {
    return name ? nullptr : kProgramInstance;
}

DWORD GetModuleFileNameA(HINSTANCE module, char* path, DWORD capacity) {
    if (!path || capacity == 0 || (module && module != kProgramInstance)) return 0;
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        path[0] = '\0';
        return 0;
    }
    // As Win32: a path that does not fit is cut to capacity - 1 characters
    // and the call returns capacity.
    const DWORD copied = static_cast<DWORD>(length) < capacity ? static_cast<DWORD>(length) : capacity - 1;
    std::memcpy(path, buffer, copied);
    path[copied] = '\0';
    return static_cast<DWORD>(length) < capacity ? copied : capacity;
}
