// The seven entry points of config.dat under their POSIX names ordinal_<N>. Nothing else
// leaves the library (it is built with hidden visibility and a version script).

#include "abi/Export.h"
#include "abi/MonitorAbi.h"
#include "monitor/Config.h"
#include "monitor/Monitor.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include <climits>
#include <cstdlib>

#include <dlfcn.h>

namespace {

using zolven::monitor::Monitor;

// Never destroyed: the program may still be calling from its worker while the process exits.
// Made when the library is loaded, not at the first call: readReading runs thousands of times
// a pass, and a function-local static would check its guard on every one.
Monitor& g_monitor = *new Monitor;

Monitor& monitor()
{
    return g_monitor;
}

// The directory this library was loaded from, where monitor.conf sits. The program loads
// "./config.dat", so the name is made absolute at the first initialise, while the current
// directory is still the one it was loaded from.
std::string libraryDir()
{
    static const std::string dir = [] {
        Dl_info info{};
        if (!::dladdr(reinterpret_cast<void*>(&libraryDir), &info) || !info.dli_fname)
            return std::string(".");
        char resolved[PATH_MAX];
        const std::string path =
            ::realpath(info.dli_fname, resolved) ? resolved : std::string(info.dli_fname);
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    }();
    return dir;
}

void report(const std::string& text)
{
    std::fprintf(stderr, "config.dat: %s\n", text.c_str());
}

} // namespace

ZOLVEN_ABI_EXPORT std::int32_t ordinal_590(std::int32_t flags)
{
    std::vector<std::string> warnings;
    const std::string path = zolven::monitor::configPath(libraryDir());
    const auto config = zolven::monitor::loadConfig(path, warnings);
    for (const auto& w : warnings)
        report(path + ": " + w);
    const std::int32_t status = monitor().initialize(flags, config);
    for (const auto& m : monitor().messages())
        report(m);
    return status;
}

ZOLVEN_ABI_EXPORT void ordinal_906()
{
    monitor().shutdown();
}

ZOLVEN_ABI_EXPORT std::int32_t ordinal_883()
{
    return monitor().sensorCount();
}

ZOLVEN_ABI_EXPORT void ordinal_726()
{
    monitor().beginPass();
    for (const auto& news : monitor().takeNews())
        report(news);
}

ZOLVEN_ABI_EXPORT void ordinal_749(std::int32_t sensor)
{
    monitor().beginSensor(sensor);
}

ZOLVEN_ABI_EXPORT void ordinal_618() {}

ZOLVEN_ABI_EXPORT std::uint8_t ordinal_106(std::int32_t type, std::int32_t sensor,
                                           std::int32_t index, void* record)
{
    return monitor().readReading(type, sensor, index, record) ? 1 : 0;
}
