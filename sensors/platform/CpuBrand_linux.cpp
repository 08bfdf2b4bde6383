#include "CpuBrand.h"

#include "hardware/CpuidBrand.h"

#ifndef ZOLVEN_HAS_CPUID
#include "hardware/CpuInfo.h"
#endif

namespace zolven::sensors::platform {

#if defined(ZOLVEN_HAS_CPUID)

std::string cpuBrandBytes()
{
    return hardware::cpuidBrandBytes();
}

#else

// No brand instruction: the kernel's description of the first processor, else the board's.
std::string cpuBrandBytes()
{
    const std::string name =
        hardware::readCpuModelName({"Processor", "cpu model", "Model", "Hardware", "cpu"});
    return name.empty() ? hardware::deviceTreeModel() : name;
}

#endif

} // namespace zolven::sensors::platform
