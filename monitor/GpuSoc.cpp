// Graphics inside an SoC (Mali, Adreno, PowerVR, Vivante, VideoCore): no PCI id, so they are
// found where the kernel shows them, as devfreq devices (clock, and a load where the driver
// offers one) and as thermal zones of the device tree named after the GPU.

#include "abi/MonitorAbi.h"
#include "monitor/Catalogue.h"
#include "monitor/GpuSource.h"

#include <algorithm>
#include <cctype>

namespace zolven::monitor {
namespace {

using namespace abi;

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool mentionsGpu(const std::string& text)
{
    const std::string t = lower(text);
    for (const char* part : {"gpu", "mali", "adreno", "powervr", "vivante", "v3d"})
        if (t.find(part) != std::string::npos)
            return true;
    return false;
}

// The leading number of "27" or of the Rockchip kernels' "27@800000000Hz".
bool leadingInt(const std::string& text, long long& out)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    std::size_t j = i;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
        ++j;
    return j > i && parseInt(text.substr(i, j - i), out);
}

class SocGpu final : public Source
{
public:
    int tempSlot = -1, loadSlot = -1, clockSlot = -1;
    std::vector<KeptFile> temps; // millidegrees; the hottest is reported
    KeptFile load, clock;        // percent; Hz
    std::string text;

    void sample(Catalogue& cat, const PassContext&) override
    {
        if (tempSlot >= 0) {
            long long best = 0, v = 0;
            bool any = false;
            for (auto& t : temps)
                if (t.readInt(v)) {
                    best = any ? std::max(best, v) : v;
                    any = true;
                }
            any ? cat.set(tempSlot, static_cast<double>(best) / 1000.0) : cat.invalidate(tempSlot);
        }
        long long v = 0;
        if (loadSlot >= 0)
            (load.read(text) && leadingInt(text, v)) ? cat.set(loadSlot, static_cast<double>(v))
                                                     : cat.invalidate(loadSlot);
        if (clockSlot >= 0)
            clock.readInt(v) ? cat.set(clockSlot, static_cast<double>(v) / 1e6)
                             : cat.invalidate(clockSlot);
    }
};

// The device tree's most specific compatible string ("rockchip,rk3399-mali"); the property
// holds several, NUL-separated.
std::string firstCompatible(const std::string& deviceDir)
{
    std::string text;
    if (!readFile(deviceDir + "/of_node/compatible", text))
        return {};
    return trim(text.substr(0, text.find('\0')));
}

} // namespace

std::vector<SocGpuDevice> socGpus(const Roots& roots, const std::vector<ThermalZone>& zones)
{
    std::vector<SocGpuDevice> out;
    const std::string base = roots.sys + "/class/devfreq";
    for (const auto& entry : listDir(base)) {
        const std::string dir = base + "/" + entry;
        const std::string compatible = firstCompatible(dir + "/device");
        // The device tree calls a GPU node "gpu" (so devfreq names it "<address>.gpu"); its
        // compatible string names the IP.
        if (!mentionsGpu(entry) && !mentionsGpu(compatible))
            continue;
        // Vendor kernels add devfreq devices that vote the GPU's memory bandwidth
        // ("soc:qcom,gpubw", "kgsl-busmon"): their frequency is the bus's, not the GPU's.
        const std::string name = lower(entry);
        if (name.find("bw") != std::string::npos || name.find("bus") != std::string::npos)
            continue;
        SocGpuDevice d;
        d.name = compatible.empty() ? entry : compatible;
        d.devfreq = dir;
        out.push_back(std::move(d));
    }
    std::vector<std::string> gpuZones;
    for (const auto& z : zones)
        if (zoneKind(z.type) == ZoneKind::Gpu)
            gpuZones.push_back(z.type + "\n" + z.temp);
    if (gpuZones.empty())
        return out;
    // Zones name no device: with one GPU they are its own; without one they stand alone.
    if (out.empty()) {
        SocGpuDevice d;
        d.name = "thermal zone " + gpuZones.front().substr(0, gpuZones.front().find('\n'));
        out.push_back(std::move(d));
    }
    if (out.size() == 1)
        for (const auto& z : gpuZones) {
            out.front().zoneTypes.push_back(z.substr(0, z.find('\n')));
            out.front().zoneTemps.push_back(z.substr(z.find('\n') + 1));
        }
    return out;
}

std::unique_ptr<Source> discoverSocGpu(const SocGpuDevice& d, Catalogue& cat,
                                       const std::string& tempPin, const std::string& tempPinWhy)
{
    const GpuLabels& l = integratedLabels();
    auto gpu = std::make_unique<SocGpu>();
    const std::string sensorName = "GPU: " + d.name;
    const std::int32_t sensor = cat.addSensor(l.sensorLocation, sensorName);

    std::vector<std::string> temps = d.zoneTemps;
    std::string tempWhy = "the device tree's GPU thermal zone";
    if (!tempPin.empty()) {
        temps = {tempPin};
        tempWhy = tempPinWhy;
    } else if (temps.size() > 1) {
        tempWhy = "the hottest of the device tree's GPU thermal zones";
    }
    for (const auto& t : temps) {
        KeptFile f(t);
        if (f.isOpen())
            gpu->temps.push_back(std::move(f));
    }
    std::string tempNames;
    for (const auto& z : d.zoneTypes)
        tempNames += (tempNames.empty() ? "" : ", ") + z;
    if (!gpu->temps.empty()) {
        gpu->tempSlot =
            cat.addReading(sensor, TypeTemperature, l.readingLocation, kCelsius, l.temperature);
        cat.note({"GPU temperature", sensorName, temps.front(),
                  tempPin.empty() ? tempWhy + " " + tempNames : tempWhy});
    } else {
        cat.note({"GPU temperature", sensorName, {}, "no thermal zone named after the GPU"});
    }

    // devfreq has no standard busy file; Rockchip's kernels add "load", others the driver's own
    // busy percentage beside the device.
    if (!d.devfreq.empty()) {
        for (const std::string& path : {d.devfreq + "/load", d.devfreq + "/device/gpu_busy_percent",
                                        d.devfreq + "/device/gpu_busy_percentage"})
            if (exists(path) && gpu->load.open(path)) {
                gpu->loadSlot = cat.addReading(sensor, TypeUsage, l.readingLocation, "%", l.load);
                cat.note({"GPU load", sensorName, path, "the GPU driver's busy percentage"});
                break;
            }
        if (gpu->clock.open(d.devfreq + "/cur_freq")) {
            gpu->clockSlot = cat.addReading(sensor, TypeClock, l.readingLocation, "MHz", l.clock);
            cat.note({"GPU clock", sensorName, gpu->clock.path(), "devfreq cur_freq (Hz)"});
        }
    }
    if (gpu->loadSlot < 0)
        cat.note({"GPU load",
                  sensorName,
                  {},
                  "looked for devfreq load, gpu_busy_percent and gpu_busy_percentage"});
    if (gpu->clockSlot < 0)
        cat.note({"GPU clock", sensorName, {}, "looked for devfreq cur_freq"});
    if (gpu->tempSlot < 0 && gpu->loadSlot < 0 && gpu->clockSlot < 0) {
        cat.dropEmptyTail();
        return nullptr;
    }
    return gpu;
}

} // namespace zolven::monitor
