#pragma once

// The processor's brand text from CPUID, for the POSIX and the Windows CPU naming alike. Defines
// ZOLVEN_HAS_CPUID where the instruction exists.

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#define ZOLVEN_HAS_CPUID 1

#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

#include <string>

namespace zolven::hardware {

// The 48 bytes of extended leaves 0x80000002..4 (EAX, EBX, ECX, EDX each), then 16 zero bytes.
// The leaves are asked for directly: every processor this runs on has them.
inline std::string cpuidBrandBytes()
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

} // namespace zolven::hardware

#endif
