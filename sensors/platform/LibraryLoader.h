#pragma once

// Loading the hardware-monitor library and binding its entry points by ordinal. Windows binds
// real export ordinals; POSIX systems bind the C symbol "ordinal_<N>" (e.g. ordinal_590).

namespace zolven::sensors::platform {

// Loads the library at path (local 8-bit encoding, resolved by the system loader against the
// current directory). Returns null when nothing was loaded. The library is never unloaded.
void* openLibrary(const char* path);

// The address of the entry point with the given ordinal, or null.
void* resolveOrdinal(void* library, int ordinal);

} // namespace zolven::sensors::platform
