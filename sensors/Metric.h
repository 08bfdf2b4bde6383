#pragma once

// The eleven metrics the program shows and sends, and what is known of each.

#include <array>
#include <cstddef>

namespace zolven::sensors {

// In the bridge's property order.
enum class Metric
{
    CpuTemp,
    CpuUsage,
    CpuClock,
    CpuFan,
    GpuClock,
    GpuUsage,
    GpuFan,
    GpuRamUsed,
    GpuRamTotal,
    GpuTemp,
    RamUsage, // the last one
};
inline constexpr int kMetricCount = int(Metric::RamUsage) + 1;

struct MetricInfo
{
    Metric metric;
    const char* property; // the bridge's property; its notify signal is "notify_" + property
    const char* name;     // as the readings tool prints it
};

// One row per metric, in enum order.
inline constexpr MetricInfo kMetrics[kMetricCount] = {
    {Metric::CpuTemp, "data_cpu_temp", "cpu temp"},
    {Metric::CpuUsage, "data_cpu_usage", "cpu usage"},
    {Metric::CpuClock, "data_cpu_clock", "cpu clock"},
    {Metric::CpuFan, "data_cpu_fan", "cpu fan"},
    {Metric::GpuClock, "data_gpu_clock", "gpu clock"},
    {Metric::GpuUsage, "data_gpu_usage", "gpu usage"},
    {Metric::GpuFan, "data_gpu_fan", "gpu fan"},
    {Metric::GpuRamUsed, "data_gpu_ramUsed", "gpu mem used"},
    {Metric::GpuRamTotal, "data_gpu_ramTotal", "gpu mem total"},
    {Metric::GpuTemp, "data_gpu_temp", "gpu temp"},
    {Metric::RamUsage, "data_ram_usage", "ram usage"},
};

constexpr bool metricsInEnumOrder()
{
    for (int i = 0; i < kMetricCount; ++i)
        if (kMetrics[i].metric != Metric(i) || !kMetrics[i].property || !kMetrics[i].name)
            return false;
    return true;
}
static_assert(metricsInEnumOrder(), "kMetrics needs one row per metric, in enum order");

constexpr const MetricInfo& metricInfo(Metric m)
{
    return kMetrics[std::size_t(m)];
}

// One T per metric.
template <typename T>
struct MetricArray
{
    std::array<T, kMetricCount> values{};

    constexpr T& operator[](Metric m) { return values[std::size_t(m)]; }
    constexpr const T& operator[](Metric m) const { return values[std::size_t(m)]; }
};

} // namespace zolven::sensors
