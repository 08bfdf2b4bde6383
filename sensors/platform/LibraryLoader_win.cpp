#include "LibraryLoader.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zolven::sensors::platform {

void* openLibrary(const char* path)
{
    HMODULE module = LoadLibraryA(path);
    // Some loaders report failure as the all-ones handle rather than null.
    if (module == nullptr || module == reinterpret_cast<HMODULE>(INVALID_HANDLE_VALUE))
        return nullptr;
    return reinterpret_cast<void*>(module);
}

void* resolveOrdinal(void* library, int ordinal)
{
    FARPROC proc =
        GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(static_cast<WORD>(ordinal)));
    return reinterpret_cast<void*>(proc);
}

} // namespace zolven::sensors::platform
