#include "CpuBrand.h"

#include "hardware/CpuidBrand.h"

#ifndef ZOLVEN_HAS_CPUID
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace zolven::sensors::platform {

#if defined(ZOLVEN_HAS_CPUID)

std::string cpuBrandBytes()
{
    return hardware::cpuidBrandBytes();
}

#else

// ARM64 Windows has no CPUID; the registry holds the name the firmware reports.
std::string cpuBrandBytes()
{
    wchar_t name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                     L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS)
        return {};
    const int len = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (len <= 1)
        return {};
    std::string out(static_cast<std::size_t>(len - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, &out[0], len, nullptr, nullptr);
    return out;
}

#endif

} // namespace zolven::sensors::platform
