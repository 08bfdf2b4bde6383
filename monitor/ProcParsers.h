#pragma once

// Parsers of the procfs texts the library reads every pass. Pure functions on the text, so
// tests can feed them captured files.

#include <cstdint>
#include <string>
#include <vector>

namespace zolven::monitor {

// One "cpu" line of /proc/stat, in USER_HZ ticks since boot:
//   cpu  user nice system idle iowait irq softirq steal guest guest_nice
//   cpu0 ...
struct CpuTimes
{
    int cpu = -1; // -1 for the aggregate "cpu" line
    std::uint64_t busy = 0;
    std::uint64_t total = 0;
};

// Aggregate line first (when present), then the per-CPU lines in file order.
std::vector<CpuTimes> parseProcStat(const std::string& text);

// Values of /proc/meminfo in kB ("MemTotal:       24683716 kB"); -1 when absent.
struct MemInfo
{
    long long totalKb = -1;
    long long availableKb = -1;
    long long freeKb = -1;
    long long buffersKb = -1;
    long long cachedKb = -1;
};

MemInfo parseMemInfo(const std::string& text);
// Percent in use, from MemAvailable, or from free+buffers+cached on kernels without it.
bool memoryLoad(const MemInfo& m, double& percent, double& usedMb, double& availableMb);

// From /proc/cpuinfo: "processor : N" blocks with "cpu MHz : 2096.012". The processor's name
// is hardware::cpuModelName's.
struct CpuInfoEntry
{
    int processor = -1;
    double mhz = -1.0;
};
std::vector<CpuInfoEntry> parseCpuInfo(const std::string& text);

// Load from two samples of busy/total ticks. Counters may step backwards (seen on some
// hypervisors), so each delta is clamped at zero.
class LoadMeter
{
public:
    // Fewer ticks than this since the baseline is too short a window to mean anything.
    explicit LoadMeter(std::uint64_t minTicks = 1) : m_minTicks(minTicks) {}

    void baseline(std::uint64_t busy, std::uint64_t total);
    bool hasBaseline() const { return m_hasBaseline; }
    // Feeds a sample; true with a percent when one is known (the last one is repeated when the
    // window is still too short).
    bool sample(std::uint64_t busy, std::uint64_t total, double& percent);

private:
    std::uint64_t m_minTicks;
    std::uint64_t m_busy = 0, m_total = 0;
    bool m_hasBaseline = false;
    bool m_hasValue = false;
    double m_last = 0.0;
};

} // namespace zolven::monitor
