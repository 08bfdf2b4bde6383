#pragma once

// Graphics adapters. A discrete card is a sensor at location 13 whose readings carry the
// labels the program's GPU rules look for; integrated graphics are a sensor at location 11
// whose readings sit at reading location 101 with the integrated-graphics labels.

#include "hardware/PciDisplay.h"
#include "monitor/Hwmon.h"
#include "monitor/Source.h"
#include "monitor/SysFs.h"

#include <memory>
#include <string>
#include <vector>

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
// tempPin, when given, is read for the GPU temperature instead of the driver's own channel.
std::unique_ptr<Source> discoverSysfsGpu(const hardware::PciDisplayDevice& adapter,
                                         const std::string& name, Catalogue& catalogue,
                                         const std::string& tempPin = {},
                                         const std::string& tempPinWhy = {});

// A GPU inside an SoC: a devfreq device whose name or device-tree compatible string names a
// GPU, with the thermal zones named after the GPU; or those zones alone when there is no
// such devfreq device.
struct SocGpuDevice
{
    std::string name;    // the most specific compatible string, else the devfreq device's name
    std::string devfreq; // /sys/class/devfreq/<device>, or empty
    std::vector<std::string> zoneTypes, zoneTemps;
};
std::vector<SocGpuDevice> socGpus(const Roots& roots, const std::vector<ThermalZone>& zones);
// Reported as integrated graphics; nullptr when nothing is readable.
std::unique_ptr<Source> discoverSocGpu(const SocGpuDevice& gpu, Catalogue& catalogue,
                                       const std::string& tempPin = {},
                                       const std::string& tempPinWhy = {});

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
