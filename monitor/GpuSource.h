#pragma once

// Graphics adapters. A discrete card is a sensor at location 13 whose readings carry the
// labels the program's GPU rules look for; integrated graphics are a sensor at location 11
// whose readings sit at reading location 101 with the integrated-graphics labels.

#include "hardware/PciDisplay.h"
#include "monitor/Source.h"
#include "monitor/SysFs.h"

#include <memory>
#include <string>

namespace zolven::monitor {

class Catalogue;

namespace nvml {
struct Api;
}

// The labels one adapter reports under, by kind of adapter.
struct GpuLabels
{
    std::int32_t sensorLocation;
    std::int32_t readingLocation;
    const char* temperature;
    const char* load;
    const char* clock;
    const char* memoryUsed; // nullptr: not reported for this kind
    const char* memoryAvailable;
};

const GpuLabels& discreteLabels();
const GpuLabels& integratedLabels();

// Intel's integrated graphics always sit at 00:02.0 (Arc cards elsewhere); an AMD APU's
// hwmon has the northbridge voltage in1, which discrete cards lack.
bool isIntegrated(const hardware::PciDisplayDevice& adapter);

// amdgpu, i915 and xe through sysfs; nullptr when the adapter offers nothing readable.
std::unique_ptr<Source> discoverSysfsGpu(const hardware::PciDisplayDevice& adapter,
                                         const std::string& name, Catalogue& catalogue);

// One NVIDIA card through NVML; adapter may be null when NVML knows a card sysfs does not
// show. The api must outlive the source.
std::unique_ptr<Source> discoverNvmlGpu(const nvml::Api& api, void* device,
                                        const hardware::PciDisplayDevice* adapter,
                                        Catalogue& catalogue);

// Whether a card may be read now: a runtime-suspended card is left asleep, since reading its
// sensors would wake it (or fail on newer kernels).
class RuntimePower
{
public:
    void open(const std::string& pciDir);
    bool awake() const;

private:
    KeptFile m_status;
};

} // namespace zolven::monitor
