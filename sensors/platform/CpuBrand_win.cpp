#include "CpuBrand.h"

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#define ZOLVEN_X86 1
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#else
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace zolven::sensors::platform {

#if defined(ZOLVEN_X86)

std::string cpuBrandBytes()
{
    unsigned char bytes[64] = {};
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        unsigned int regs[4] = {};
#if defined(_MSC_VER)
        int out[4];
        __cpuidex(out, static_cast<int>(0x80000002u + leaf), 0);
        for (int r = 0; r < 4; ++r)
            regs[r] = static_cast<unsigned int>(out[r]);
#else
        __cpuid_count(0x80000002u + leaf, 0, regs[0], regs[1], regs[2], regs[3]);
#endif
        for (int r = 0; r < 4; ++r)
            for (int b = 0; b < 4; ++b)
                bytes[leaf * 16 + r * 4 + b] = static_cast<unsigned char>(regs[r] >> (8 * b));
    }
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
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
