#include "monitor/CpuSource.h"

#include "abi/MonitorAbi.h"
#include "hardware/CpuInfo.h"
#include "monitor/Catalogue.h"
#include "monitor/ProcParsers.h"

#include <algorithm>

namespace zolven::monitor {
namespace {

using namespace abi;

// About 100 ms of one CPU at USER_HZ 100: a shorter window gives noise, not a load.
constexpr std::uint64_t kMinLoadTicks = 10;

struct TempReading
{
    int slot;
    KeptFile file; // millidegrees Celsius
    // Without a package channel: the hottest of these cores, in place of file.
    std::vector<KeptFile> hottestOf;
};

struct ClockReading
{
    int slot;
    int cpu;
    KeptFile cpufreq; // kHz; closed when the clock comes from /proc/cpuinfo
};

struct CoreLoad
{
    int slot;
    int cpu;
    LoadMeter meter;
};

class CpuSource final : public Source
{
public:
    std::vector<TempReading> temps;
    int totalSlot = -1;
    LoadMeter totalMeter;
    std::vector<CoreLoad> cores;
    std::vector<ClockReading> clocks;
    KeptFile stat, cpuinfo;
    bool clocksFromCpuinfo = false;

    void baseline()
    {
        std::string text;
        if (!stat.read(text))
            return;
        for (const auto& t : parseProcStat(text)) {
            if (t.cpu < 0)
                totalMeter.baseline(t.busy, t.total);
            for (auto& c : cores)
                if (c.cpu == t.cpu)
                    c.meter.baseline(t.busy, t.total);
        }
    }

    void sample(Catalogue& cat, const PassContext&) override
    {
        long long v = 0;
        for (auto& t : temps) {
            bool any = false;
            long long hottest = 0;
            for (const auto& core : t.hottestOf)
                if (core.readInt(v) && (!any || v > hottest)) {
                    hottest = v;
                    any = true;
                }
            if (t.hottestOf.empty() && t.file.readInt(v)) {
                hottest = v;
                any = true;
            }
            if (any)
                cat.set(t.slot, static_cast<double>(hottest) / 1000.0);
            else
                cat.invalidate(t.slot);
        }
        sampleLoad(cat);
        sampleClocks(cat);
    }

private:
    std::string m_text;
    std::vector<CpuTimes> m_times;

    void sampleLoad(Catalogue& cat)
    {
        if (totalSlot < 0 && cores.empty())
            return;
        if (!stat.read(m_text)) {
            if (totalSlot >= 0)
                cat.invalidate(totalSlot);
            for (auto& c : cores)
                cat.invalidate(c.slot);
            return;
        }
        m_times = parseProcStat(m_text);
        double percent = 0.0;
        bool totalSeen = false;
        std::size_t next = 0;
        for (const auto& t : m_times) {
            if (t.cpu < 0) {
                totalSeen = true;
                if (totalSlot >= 0) {
                    if (totalMeter.sample(t.busy, t.total, percent))
                        cat.set(totalSlot, percent);
                    else
                        cat.invalidate(totalSlot);
                }
                continue;
            }
            // Per-CPU lines come in CPU order; offline CPUs leave gaps.
            while (next < cores.size() && cores[next].cpu < t.cpu)
                cat.invalidate(cores[next++].slot);
            if (next < cores.size() && cores[next].cpu == t.cpu) {
                auto& c = cores[next++];
                if (c.meter.sample(t.busy, t.total, percent))
                    cat.set(c.slot, percent);
                else
                    cat.invalidate(c.slot);
            }
        }
        while (next < cores.size())
            cat.invalidate(cores[next++].slot);
        if (!totalSeen && totalSlot >= 0)
            cat.invalidate(totalSlot);
    }

    void sampleClocks(Catalogue& cat)
    {
        if (clocksFromCpuinfo) {
            // One read for all CPUs: each read of /proc/cpuinfo may interrupt busy CPUs.
            if (!cpuinfo.read(m_text)) {
                for (auto& c : clocks)
                    cat.invalidate(c.slot);
                return;
            }
            const auto entries = parseCpuInfo(m_text);
            for (auto& c : clocks) {
                cat.invalidate(c.slot);
                for (const auto& e : entries)
                    if (e.processor == c.cpu && e.mhz >= 0.0)
                        cat.set(c.slot, e.mhz);
            }
            return;
        }
        long long khz = 0;
        for (auto& c : clocks) {
            if (c.cpufreq.readInt(khz))
                cat.set(c.slot, static_cast<double>(khz) / 1000.0);
            else
                cat.invalidate(c.slot);
        }
    }
};

std::string cpufreqFile(const Roots& roots, int cpu)
{
    const std::string dir =
        roots.sys + "/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq/";
    // cpuinfo_cur_freq is root-only; cpuinfo_avg_freq (newer kernels) is the measured average.
    for (const char* name : {"cpuinfo_avg_freq", "scaling_cur_freq"})
        if (exists(dir + name))
            return dir + name;
    return {};
}

} // namespace

std::unique_ptr<Source> discoverCpu(const Roots& roots, const std::vector<HwmonChip>& chips,
                                    const std::vector<ThermalZone>& zones,
                                    const std::string& pinnedTemp, Catalogue& cat,
                                    std::vector<std::string>& messages)
{
    auto src = std::make_unique<CpuSource>();
    std::string cpuinfoText;
    readFile(roots.proc + "/cpuinfo", cpuinfoText);
    // ARM: the 32-bit kernels' "Processor", the board a Raspberry Pi kernel names, the SoC, and
    // where /proc/cpuinfo names nothing (most arm64 kernels), the device tree's model.
    std::string model = hardware::cpuModelName(cpuinfoText, {"Processor", "Model", "Hardware"});
    if (model.empty())
        model = hardware::deviceTreeModel(roots.sys);
    const std::int32_t sensor =
        cat.addSensor(SensorProcessor, model.empty() ? "CPU" : "CPU: " + model);

    const CpuTemperaturePlan plan = planCpuTemperature(zones, chips, pinnedTemp);
    if (!plan.pinMissing.empty())
        messages.push_back(plan.pinMissing);
    std::string files = plan.packagePath;
    if (!plan.packagePath.empty() || !plan.hottestOf.empty()) {
        const int slot =
            cat.addReading(sensor, TypeTemperature, ReadingProcessor, kCelsius, "CPU Package");
        TempReading t{slot, KeptFile(), {}};
        if (plan.hottestOf.empty())
            t.file.open(plan.packagePath);
        for (const auto& core : plan.hottestOf) {
            t.hottestOf.emplace_back(core);
            files += (files.empty() ? "" : " ") + core;
        }
        src->temps.push_back(std::move(t));
    }
    cat.note({"CPU temperature", files.empty() ? std::string() : cat.sensor(sensor).name, files,
              plan.why});

    src->stat.open(roots.proc + "/stat");
    std::string statText;
    src->stat.read(statText);
    const auto times = parseProcStat(statText);
    std::vector<int> cpus;
    for (const auto& t : times) {
        if (t.cpu < 0)
            src->totalSlot =
                cat.addReading(sensor, TypeUsage, ReadingProcessor, "%", "Total CPU Utility");
        else
            cpus.push_back(t.cpu);
    }

    // cpufreq per CPU where the kernel has it; /proc/cpuinfo otherwise (VMs, some ARM boards).
    const auto cpuinfoEntries = parseCpuInfo(cpuinfoText);
    bool anyCpufreq = false;
    for (int cpu : cpus) {
        ClockReading c{-1, cpu, KeptFile()};
        const std::string path = cpufreqFile(roots, cpu);
        if (!path.empty() && c.cpufreq.open(path))
            anyCpufreq = true;
        src->clocks.push_back(std::move(c));
    }
    if (!anyCpufreq) {
        src->clocks.clear();
        for (const auto& e : cpuinfoEntries)
            if (e.mhz >= 0.0)
                src->clocks.push_back({-1, e.processor, KeptFile()});
        src->clocksFromCpuinfo = !src->clocks.empty();
        if (src->clocksFromCpuinfo)
            src->cpuinfo.open(roots.proc + "/cpuinfo");
    } else {
        // A CPU without cpufreq among ones with it gets no clock rather than a mixed source.
        std::vector<ClockReading> kept;
        for (auto& c : src->clocks)
            if (c.cpufreq.isOpen())
                kept.push_back(std::move(c));
        src->clocks = std::move(kept);
    }
    for (auto& c : src->clocks)
        c.slot = cat.addReading(sensor, TypeClock, ReadingProcessor, "MHz",
                                "Core #" + std::to_string(c.cpu) + " Clock");
    cat.note({"CPU load", cpus.empty() ? std::string() : cat.sensor(sensor).name,
              cpus.empty() ? std::string() : roots.proc + "/stat",
              cpus.empty() ? "no cpu lines in /proc/stat" : "busy over total ticks of /proc/stat"});
    const std::string clockFile = src->clocks.empty()      ? std::string()
                                  : src->clocksFromCpuinfo ? roots.proc + "/cpuinfo"
                                                           : src->clocks.front().cpufreq.path();
    cat.note({"CPU clock", clockFile.empty() ? std::string() : cat.sensor(sensor).name, clockFile,
              clockFile.empty() ? "looked for cpufreq per CPU and \"cpu MHz\" in /proc/cpuinfo"
              : src->clocksFromCpuinfo ? "no cpufreq: \"cpu MHz\" of /proc/cpuinfo, per CPU"
                                       : "cpufreq, one file per CPU (the first shown)"});

    for (const auto& extra : plan.extras) {
        const int slot =
            cat.addReading(sensor, TypeTemperature, ReadingProcessor, kCelsius, extra.label);
        src->temps.push_back({slot, KeptFile(extra.path), {}});
    }
    for (int cpu : cpus)
        src->cores.push_back({cat.addReading(sensor, TypeUsage, ReadingProcessor, "%",
                                             "Core #" + std::to_string(cpu) + " Usage"),
                              cpu, LoadMeter(kMinLoadTicks)});
    src->totalMeter = LoadMeter(kMinLoadTicks * (cpus.empty() ? 1 : cpus.size()));

    // A sensor that filled up drops its last readings (addReading gives -1).
    auto dropFull = [](auto& list) {
        list.erase(
            std::remove_if(list.begin(), list.end(), [](const auto& r) { return r.slot < 0; }),
            list.end());
    };
    dropFull(src->temps);
    dropFull(src->clocks);
    dropFull(src->cores);
    src->baseline();
    return src;
}

} // namespace zolven::monitor
