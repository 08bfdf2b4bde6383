#include "abi/MonitorAbi.h"
#include "monitor/Catalogue.h"
#include "monitor/GpuSource.h"
#include "monitor/Hwmon.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace zolven::monitor {
namespace {

using namespace abi;
using hardware::PciDisplayDevice;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr long long kBytesPerMiB = 1024LL * 1024LL;

// A file holding one integer, reported as value * scale.
struct ScaledFile
{
    int slot;
    KeptFile file;
    double scale;
};

class SysfsGpu final : public Source
{
public:
    RuntimePower power;
    std::vector<ScaledFile> files;
    std::vector<int> allSlots;

    // Video memory: allocated and available from used and total.
    int vramUsedSlot = -1, vramAvailableSlot = -1;
    KeptFile vramUsed, vramTotal;

    // Intel has no busy counter a user may read; idle (RC6) residency stands in for it.
    int idleLoadSlot = -1;
    KeptFile idleResidencyMs;
    double lastIdleMs = -1.0, lastWallMs = 0.0, lastLoad = 0.0;
    bool hasLoad = false;

    void sample(Catalogue& cat, const PassContext& pass) override
    {
        if (!power.awake()) {
            for (int s : allSlots)
                cat.invalidate(s);
            return;
        }
        long long v = 0;
        for (auto& f : files) {
            if (f.file.readInt(v))
                cat.set(f.slot, static_cast<double>(v) * f.scale);
            else
                cat.invalidate(f.slot);
        }
        if (vramUsedSlot >= 0) {
            long long used = 0, total = 0;
            if (vramUsed.readInt(used) && vramTotal.readInt(total) && total >= used) {
                // Whole MB, so that the program's used plus available is the card's size.
                const long long usedMb = used / kBytesPerMiB;
                const long long totalMb = (total + kBytesPerMiB / 2) / kBytesPerMiB;
                cat.set(vramUsedSlot, static_cast<double>(usedMb));
                cat.set(vramAvailableSlot, static_cast<double>(std::max(0LL, totalMb - usedMb)));
            } else {
                cat.invalidate(vramUsedSlot);
                cat.invalidate(vramAvailableSlot);
            }
        }
        if (idleLoadSlot >= 0)
            sampleIdleLoad(cat, pass.nowMs);
    }

    void idleBaseline(double nowMs)
    {
        long long idle = 0;
        if (idleResidencyMs.readInt(idle)) {
            lastIdleMs = static_cast<double>(idle);
            lastWallMs = nowMs;
        }
    }

private:
    void sampleIdleLoad(Catalogue& cat, double nowMs)
    {
        long long idle = 0;
        if (!idleResidencyMs.readInt(idle)) {
            cat.invalidate(idleLoadSlot);
            return;
        }
        const double wall = nowMs - lastWallMs;
        if (lastIdleMs >= 0.0 && wall >= 100.0) {
            const double idleDelta = static_cast<double>(idle) - lastIdleMs;
            double load = 100.0 * (1.0 - idleDelta / wall);
            load = load < 0.0 ? 0.0 : (load > 100.0 ? 100.0 : load);
            lastLoad = load;
            hasLoad = true;
        }
        if (lastIdleMs < 0.0 || wall >= 100.0) {
            lastIdleMs = static_cast<double>(idle);
            lastWallMs = nowMs;
        }
        if (hasLoad)
            cat.set(idleLoadSlot, lastLoad);
        else
            cat.invalidate(idleLoadSlot);
    }
};

// The metrics a card can feed, by the label that feeds each.
struct GpuMetric
{
    const char* name;
    const char* GpuLabels::*label;
};
constexpr GpuMetric kGpuMetrics[] = {
    {"GPU temperature", &GpuLabels::temperature},
    {"GPU load", &GpuLabels::load},
    {"GPU clock", &GpuLabels::clock},
    {"GPU memory", &GpuLabels::memoryUsed},
};

class Builder
{
public:
    Builder(SysfsGpu& gpu, Catalogue& cat, std::int32_t sensor, const GpuLabels& labels)
        : m_gpu(gpu), m_cat(cat), m_sensor(sensor), m_labels(labels)
    {}

    // Records which file feeds a metric, for the user's report.
    void note(const std::string& label, const std::string& path, const std::string& why)
    {
        for (const auto& m : kGpuMetrics)
            if (m_labels.*m.label && label == m_labels.*m.label)
                m_notes.push_back({m.name, path, why});
        if (label == "GPU Fan")
            m_notes.push_back({"GPU fan", path, why});
    }

    // Writes the notes, and for each metric without a file what was looked for (one text per
    // metric of kGpuMetrics, in its order).
    void finish(const std::string& driver, const char* const (&lookedFor)[4])
    {
        const std::string sensorName = m_cat.sensor(m_sensor).name;
        auto noted = [&](const char* metric) {
            for (const auto& n : m_notes)
                if (n.metric == metric)
                    return true;
            return false;
        };
        for (auto& n : m_notes)
            m_cat.note({n.metric, sensorName, n.file, n.why});
        for (std::size_t i = 0; i < std::size(kGpuMetrics); ++i) {
            const GpuMetric& m = kGpuMetrics[i];
            if (m_labels.*m.label && !noted(m.name))
                m_cat.note({m.name, sensorName, {}, driver + ": " + lookedFor[i]});
        }
        if (m_labels.sensorLocation == SensorDiscreteGpu && !noted("GPU fan"))
            m_cat.note({"GPU fan",
                        sensorName,
                        {},
                        driver + " offers none here; looked for pwm1, else fan1_input with "
                                 "fan1_max (an RPM figure alone is no percent)"});
    }

    int add(std::int32_t type, std::int32_t readingLocation, const char* unit,
            const std::string& label)
    {
        const int slot = m_cat.addReading(m_sensor, type, readingLocation, unit, label);
        if (slot >= 0)
            m_gpu.allSlots.push_back(slot);
        return slot;
    }
    int add(std::int32_t type, const char* unit, const std::string& label)
    {
        return add(type, m_labels.readingLocation, unit, label);
    }
    // The user's choice of temperature file replaces the driver's channel.
    void pinTemperature(const std::string& path, const std::string& why)
    {
        m_tempPin = path;
        m_tempPinWhy = why;
    }
    void file(std::int32_t type, const char* unit, const std::string& label, std::string path,
              double scale, std::string why = {})
    {
        if (!m_tempPin.empty() && type == TypeTemperature && label == m_labels.temperature) {
            path = m_tempPin;
            why = m_tempPinWhy;
            scale = 0.001;
            m_tempPin.clear();
        }
        if (path.empty())
            return;
        KeptFile file(path);
        if (!file.isOpen())
            return;
        const int slot = add(type, unit, label);
        if (slot >= 0) {
            m_gpu.files.push_back({slot, std::move(file), scale});
            note(label, path, why);
        }
    }

private:
    struct Note
    {
        std::string metric, file, why;
    };
    std::vector<Note> m_notes;
    std::string m_tempPin, m_tempPinWhy;

    SysfsGpu& m_gpu;
    Catalogue& m_cat;
    std::int32_t m_sensor;
    const GpuLabels& m_labels;
};

// The channel of a hwmon kind whose label is one of the given texts; fallback channel when
// the driver gives no labels at all.
std::string channelByLabel(const HwmonChip& hw, const std::string& kind,
                           std::initializer_list<const char*> labels, int fallback)
{
    if (hw.dir.empty())
        return {};
    const auto channels = hwmonChannels(hw, kind);
    bool anyLabel = false;
    for (int n : channels) {
        const std::string label = hwmonLabel(hw, kind, n);
        anyLabel = anyLabel || !label.empty();
        for (const char* want : labels)
            if (label == want)
                return hwmonInput(hw.dir, kind, n);
    }
    if (anyLabel || fallback <= 0)
        return {};
    for (int n : channels)
        if (n == fallback)
            return hwmonInput(hw.dir, kind, n);
    return {};
}

// The card's hwmon directory, listed once for all the lookups of its discovery.
HwmonChip firstHwmon(const std::string& dir)
{
    HwmonChip hw;
    const auto list = listNumbered(dir + "/hwmon", "hwmon");
    if (!list.empty()) {
        hw.dir = dir + "/hwmon/" + list.front();
        hw.files = listDir(hw.dir);
    }
    return hw;
}

std::string firstDrmCard(const std::string& dir)
{
    const auto list = listNumbered(dir + "/drm", "card");
    return list.empty() ? std::string() : dir + "/drm/" + list.front();
}

// Percent of full speed: the PWM duty where the driver has pwm1, else the tachometer against
// the fan's rated maximum. An RPM figure alone is never reported under the percent unit.
void gpuFan(Builder& b, const HwmonChip& hw)
{
    if (hwmonHas(hw, "pwm1")) {
        b.file(TypeFan, "%", "GPU Fan", hw.dir + "/pwm1", 100.0 / 255.0, "pwm1 as percent of 255");
        return;
    }
    long long max = 0;
    if (hwmonHas(hw, "fan1_max") && readInt(hw.dir + "/fan1_max", max) && max > 0)
        b.file(TypeFan, "%", "GPU Fan", hwmonInput(hw.dir, "fan", 1),
               100.0 / static_cast<double>(max),
               "no pwm1: fan1_input as percent of fan1_max " + std::to_string(max) + " RPM");
}

std::string powerFile(const HwmonChip& hw)
{
    return hw.dir.empty()                   ? std::string()
           : hwmonHas(hw, "power1_average") ? hw.dir + "/power1_average"
                                            : hw.dir + "/power1_input";
}

// radeon and nouveau: what their hwmon offers (temperature, fan, power); neither has a busy
// counter or a clock file a user may read.
void discoverHwmonGpu(const PciDisplayDevice& a, bool integrated, Builder& b)
{
    const GpuLabels& l = integrated ? integratedLabels() : discreteLabels();
    const HwmonChip hw = firstHwmon(a.dir);
    b.file(TypeTemperature, kCelsius, l.temperature,
           hw.dir.empty() ? hw.dir : hwmonInput(hw.dir, "temp", 1), 0.001,
           a.driver + " hwmon temp1");
    if (!integrated) {
        gpuFan(b, hw);
        if (!hw.dir.empty())
            b.file(TypeOther, "RPM", "GPU Fan Speed", hwmonInput(hw.dir, "fan", 1), 1.0);
    }
    b.file(TypeOther, "W", "GPU Power", powerFile(hw), 1e-6);
}

void discoverAmd(const PciDisplayDevice& a, bool integrated, Builder& b, SysfsGpu& gpu)
{
    const GpuLabels& l = integrated ? integratedLabels() : discreteLabels();
    const HwmonChip hw = firstHwmon(a.dir);
    // Readings the program's rules use come first; extras follow and carry labels no rule
    // can mistake for them (no "GPU" in another temperature, no "clock" but the core's).
    b.file(TypeTemperature, kCelsius, l.temperature, channelByLabel(hw, "temp", {"edge"}, 1), 0.001,
           "amdgpu hwmon \"edge\"");
    b.file(TypeUsage, "%", l.load, a.dir + "/gpu_busy_percent", 1.0, "amdgpu gpu_busy_percent");
    b.file(TypeClock, "MHz", l.clock, channelByLabel(hw, "freq", {"sclk"}, 1), 1e-6,
           "amdgpu hwmon \"sclk\"");
    if (!integrated)
        gpuFan(b, hw);
    if (l.memoryUsed && exists(a.dir + "/mem_info_vram_used") &&
        exists(a.dir + "/mem_info_vram_total")) {
        gpu.vramUsedSlot = b.add(TypeOther, ReadingGpuMemory, "MB", l.memoryUsed);
        gpu.vramAvailableSlot = b.add(TypeOther, ReadingGpuMemory, "MB", l.memoryAvailable);
        gpu.vramUsed.open(a.dir + "/mem_info_vram_used");
        gpu.vramTotal.open(a.dir + "/mem_info_vram_total");
        if (gpu.vramUsedSlot < 0 || gpu.vramAvailableSlot < 0)
            gpu.vramUsedSlot = -1;
        else
            b.note(l.memoryUsed, a.dir + "/mem_info_vram_used",
                   "amdgpu mem_info_vram_used and mem_info_vram_total, in whole MB");
    }
    if (integrated)
        b.file(TypeOther, "MB", "GPU Dynamic Memory", a.dir + "/mem_info_gtt_used", 1.0 / kMiB);
    b.file(TypeTemperature, kCelsius, "Hot Spot Temperature",
           channelByLabel(hw, "temp", {"junction"}, 0), 0.001);
    b.file(TypeTemperature, kCelsius, "Memory Junction Temperature",
           channelByLabel(hw, "temp", {"mem"}, 0), 0.001);
    b.file(TypeClock, "MHz", "GPU Memory Frequency", channelByLabel(hw, "freq", {"mclk"}, 0), 1e-6);
    if (!integrated && !hw.dir.empty())
        b.file(TypeOther, "RPM", "GPU Fan Speed", hwmonInput(hw.dir, "fan", 1), 1.0);
    b.file(TypeOther, "W", "GPU Power", powerFile(hw), 1e-6);
}

void discoverIntel(const PciDisplayDevice& a, bool integrated, Builder& b, SysfsGpu& gpu,
                   double nowMs)
{
    const GpuLabels& l = integrated ? integratedLabels() : discreteLabels();
    const bool xe = a.driver == "xe";
    const HwmonChip hw = firstHwmon(a.dir);
    // xe labels its package channel "pkg"; i915 gives discrete cards one unlabelled temp1 (the
    // package, from kernel 6.12); integrated graphics have no hwmon of their own.
    b.file(TypeTemperature, kCelsius, l.temperature, channelByLabel(hw, "temp", {"pkg"}, 1), 0.001,
           xe ? "xe hwmon \"pkg\"" : "i915 hwmon temp1, the discrete card's package");
    const std::string card = firstDrmCard(a.dir);
    const std::string idle =
        xe ? a.dir + "/tile0/gt0/gtidle/idle_residency_ms" : card + "/power/rc6_residency_ms";
    if ((xe || !card.empty()) && exists(idle) && gpu.idleResidencyMs.open(idle)) {
        gpu.idleLoadSlot = b.add(TypeUsage, "%", l.load);
        b.note(l.load, idle, "100 less the share of time in RC6 (idle)");
        if (gpu.power.awake())
            gpu.idleBaseline(nowMs);
    }
    // The actual frequency reads 0 while the GT sleeps, which is the truth.
    const std::string clock = xe ? a.dir + "/tile0/gt0/freq0/act_freq"
                                 : (card.empty() ? std::string() : card + "/gt_act_freq_mhz");
    b.file(TypeClock, "MHz", l.clock, clock, 1.0, "the actual frequency (0 while the GT sleeps)");
    if (xe)
        b.file(TypeTemperature, kCelsius, "Memory Temperature",
               channelByLabel(hw, "temp", {"vram"}, 0), 0.001);
    // Discrete cards' fan tachometer (xe from 6.16, i915 from 6.12).
    if (!hw.dir.empty() && hwmonHas(hw, "fan1_input"))
        b.file(TypeOther, "RPM", "GPU Fan Speed", hwmonInput(hw.dir, "fan", 1), 1.0);
}

} // namespace

const GpuLabels& discreteLabels()
{
    static const GpuLabels l{SensorDiscreteGpu,     ReadingNone, "GPU Temperature",
                             "GPU Core Load",       "GPU Clock", "GPU Memory Allocated",
                             "GPU Memory Available"};
    return l;
}

const GpuLabels& integratedLabels()
{
    static const GpuLabels l{SensorProcessor, ReadingIntegratedGpu, "Graphics GT Temperature",
                             "GPU D3D Usage", "GPU Clock",          nullptr,
                             nullptr};
    return l;
}

void RuntimePower::open(const std::string& pciDir)
{
    m_status.open(pciDir + "/power/runtime_status");
}

bool RuntimePower::awake() const
{
    std::string status;
    // No runtime PM file (or "unsupported"): the card is always on.
    if (!m_status.isOpen() || !m_status.read(status))
        return true;
    status = trim(status);
    return status == "active" || status == "unsupported";
}

bool isIntegrated(const PciDisplayDevice& a)
{
    hardware::PciAddress addr;
    if (a.vendor == hardware::kVendorIntel)
        return hardware::parsePciAddress(a.address, addr) && addr.domain == 0 && addr.bus == 0 &&
               addr.device == 2 && addr.function == 0;
    if (a.vendor == hardware::kVendorAmd) {
        for (const auto& hw : listNumbered(a.dir + "/hwmon", "hwmon"))
            if (exists(a.dir + "/hwmon/" + hw + "/in1_input"))
                return true;
    }
    return false;
}

std::unique_ptr<Source> discoverSysfsGpu(const PciDisplayDevice& a, const std::string& name,
                                         Catalogue& cat, const std::string& tempPin,
                                         const std::string& tempPinWhy)
{
    const bool amd = a.driver == "amdgpu";
    const bool intel = a.driver == "i915" || a.driver == "xe";
    const bool hwmonOnly = a.driver == "radeon" || a.driver == "nouveau";
    if (!amd && !intel && !hwmonOnly) {
        cat.note({"GPU",
                  "GPU: " + name,
                  {},
                  "driver " + (a.driver.empty() ? std::string("(none bound)") : a.driver) + " at " +
                      a.address +
                      " is not one read here (amdgpu, radeon, nouveau, "
                      "i915, xe; NVIDIA's own through NVML)"});
        return nullptr;
    }
    const bool integrated = isIntegrated(a);
    const GpuLabels& labels = integrated ? integratedLabels() : discreteLabels();
    auto gpu = std::make_unique<SysfsGpu>();
    gpu->power.open(a.dir);
    // Declared first so that readings have a sensor; an adapter that offered nothing readable
    // leaves no empty sensor behind.
    const std::int32_t sensor = cat.addSensor(labels.sensorLocation, "GPU: " + name);
    Builder b(*gpu, cat, sensor, labels);
    if (!tempPin.empty())
        b.pinTemperature(tempPin, tempPinWhy);
    if (amd)
        discoverAmd(a, integrated, b, *gpu);
    else if (intel)
        discoverIntel(a, integrated, b, *gpu, monotonicMs());
    else
        discoverHwmonGpu(a, integrated, b);
    if (gpu->allSlots.empty()) {
        cat.dropEmptyTail();
        cat.note({"GPU",
                  "GPU: " + name,
                  {},
                  a.driver + " at " + a.address +
                      " offers no reading (no hwmon, busy, clock "
                      "or memory file)"});
        return nullptr;
    }
    static const char* const amdLooked[4] = {
        "looked for hwmon temp \"edge\" (else an unlabelled temp1)", "looked for gpu_busy_percent",
        "looked for hwmon freq \"sclk\"", "looked for mem_info_vram_used and mem_info_vram_total"};
    static const char* const intelLooked[4] = {
        "looked for hwmon temp \"pkg\" (xe, kernel 6.15 on) or an unlabelled temp1 (i915 "
        "discrete cards, kernel 6.12 on); integrated graphics have none",
        "looked for RC6 residency (power/rc6_residency_ms, gtidle/idle_residency_ms)",
        "looked for gt_act_freq_mhz (i915) or tile0/gt0/freq0/act_freq (xe)",
        "reports no video memory to users"};
    static const char* const hwmonLooked[4] = {
        "looked for hwmon temp1", "has no busy counter a user may read",
        "has no clock file a user may read", "reports no video memory to users"};
    b.finish(a.driver, amd ? amdLooked : intel ? intelLooked : hwmonLooked);
    return gpu;
}

} // namespace zolven::monitor
