#include "recording/record_folder.h"

#include "platform/win32.h"

std::string programFolder()
{
    char path[4096];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    size_t slash = s.rfind('/');
    return slash == std::string::npos ? std::string("./") : s.substr(0, slash + 1);
}

std::string recordFolder()
{
    return programFolder() + "record/";
}
