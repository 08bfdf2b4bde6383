#include "LibraryLoader.h"

#include "userfiles/Trust.h"

#include <QDebug>

#include <dlfcn.h>
#include <sys/stat.h>

#include <string>

namespace zolven::sensors::platform {

void* openLibrary(const char* path)
{
    // Its code runs as this user: only what no other user could have put or changed there.
    const std::string distrust = userfiles::distrustTarget(path, userfiles::Kind::File);
    if (!distrust.empty()) {
        struct stat st
        {};
        // A missing library is no news; the lines after the load say so.
        if (::lstat(path, &st) == 0)
            qWarning().noquote().nospace()
                << "[RunHwinfo] Not loaded: " << QString::fromStdString(distrust);
        return nullptr;
    }
    return dlopen(path, RTLD_NOW);
}

void* resolveOrdinal(void* library, int ordinal)
{
    const std::string symbol = "ordinal_" + std::to_string(ordinal);
    return dlsym(library, symbol.c_str());
}

} // namespace zolven::sensors::platform
