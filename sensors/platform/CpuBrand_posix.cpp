#include "CpuBrand.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <cstring>
#else
#include <fstream>
#endif

namespace zolven::sensors::platform {

#if defined(__x86_64__) || defined(__i386__)

std::string cpuBrandBytes()
{
    // The leaves are asked for directly: every processor this runs on has them.
    unsigned char bytes[64] = {};
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        unsigned int regs[4] = {};
        __cpuid_count(0x80000002u + leaf, 0, regs[0], regs[1], regs[2], regs[3]);
        for (int r = 0; r < 4; ++r)
            for (int b = 0; b < 4; ++b)
                bytes[leaf * 16 + r * 4 + b] = static_cast<unsigned char>(regs[r] >> (8 * b));
    }
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

#else

// No brand instruction: the kernel's description of the first processor.
std::string cpuBrandBytes()
{
    static const char* const keys[] = {"model name", "Processor", "cpu model", "Hardware", "cpu"};
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    std::string found[sizeof keys / sizeof keys[0]];
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        for (std::size_t k = 0; k < sizeof keys / sizeof keys[0]; ++k)
            if (key == keys[k] && found[k].empty())
                found[k] = line.substr(colon + 1);
    }
    for (const auto& f : found)
        if (!f.empty())
            return f;
    return {};
}

#endif

} // namespace zolven::sensors::platform
