#include "DisplayAdapters.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zolven::sensors::platform {

namespace {

std::string toUtf8(const wchar_t* text)
{
    const int len = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (len <= 1)
        return {};
    std::string out(static_cast<std::size_t>(len - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], len, nullptr, nullptr);
    return out;
}

} // namespace

std::vector<std::string> displayAdapterNames()
{
    static_assert(sizeof(DISPLAY_DEVICEW) == 840, "DISPLAY_DEVICEW must be 840 bytes");
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        DISPLAY_DEVICEW device = {};
        device.cb = sizeof device;
        if (!EnumDisplayDevicesW(nullptr, index, &device, 0))
            break;
        // DeviceString is a fixed array; make sure it ends inside it.
        device.DeviceString[(sizeof device.DeviceString / sizeof(wchar_t)) - 1] = L'\0';
        names.push_back(toUtf8(device.DeviceString));
    }
    return names;
}

} // namespace zolven::sensors::platform
