#include "LibraryLoader.h"

#include <dlfcn.h>

#include <string>

namespace zolven::sensors::platform {

void* openLibrary(const char* path)
{
    return dlopen(path, RTLD_NOW);
}

void* resolveOrdinal(void* library, int ordinal)
{
    const std::string symbol = "ordinal_" + std::to_string(ordinal);
    return dlsym(library, symbol.c_str());
}

} // namespace zolven::sensors::platform
