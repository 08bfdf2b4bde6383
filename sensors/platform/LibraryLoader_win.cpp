#include "LibraryLoader.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace zolven::sensors::platform {

// Windows only, hence not in the seam header; the Windows tests call it.
bool exportsOrdinal(void* library, int ordinal);

bool exportsOrdinal(void* library, int ordinal)
{
    if (!library || ordinal < 1 || ordinal > 0xFFFF)
        return false;
    // A module handle from LoadLibrary is the base of the mapped image.
    const auto* base = static_cast<const unsigned char*>(library);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
        return false;
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0 || dir.Size < sizeof(IMAGE_EXPORT_DIRECTORY))
        return false;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const DWORD wanted = static_cast<DWORD>(ordinal);
    if (wanted < exports->Base || wanted - exports->Base >= exports->NumberOfFunctions)
        return false;
    const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    return functions[wanted - exports->Base] != 0;
}

void* openLibrary(const char* path)
{
    if (!path)
        return nullptr;
    // The loader documents backslashes only. '/' is never a trail byte of a double-byte code
    // page, so the swap is safe in any local 8-bit encoding.
    std::string native(path);
    std::replace(native.begin(), native.end(), '/', '\\');
    HMODULE module = LoadLibraryA(native.c_str());
    // Some loaders report failure as the all-ones handle rather than null.
    if (module == nullptr || module == reinterpret_cast<HMODULE>(INVALID_HANDLE_VALUE))
        return nullptr;
    return reinterpret_cast<void*>(module);
}

void* resolveOrdinal(void* library, int ordinal)
{
    // Where the exported ordinals have gaps, GetProcAddress may answer a missing one with a
    // bogus non-null address; the export table says which exist.
    if (!exportsOrdinal(library, ordinal))
        return nullptr;
    FARPROC proc =
        GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(static_cast<WORD>(ordinal)));
    return reinterpret_cast<void*>(proc);
}

} // namespace zolven::sensors::platform
