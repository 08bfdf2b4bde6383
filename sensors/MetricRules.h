#pragma once

// The keyword rules that pick the eleven metrics out of the library's readings. Pure: the walk
// writes through a RuleSink, so tests drive it without a bridge, a thread or a library.

#include "sensors/ReadingItem.h"

#include <QString>
#include <QtGlobal>

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
    RamUsage,
};
inline constexpr int kMetricCount = 11;

enum class RuleMode
{
    Discovery, // matches are only logged
    Refresh,   // matches write their metric and are logged
};

// Truncates toward zero; NaN and values whose truncation leaves the signed 32-bit range give
// INT_MIN, as the x86 conversion instruction does.
qint32 toMetric(double value);

// Where the rules write. Only the walk calls it, on the thread that runs the pass.
class RuleSink
{
public:
    virtual qint32 metric(Metric m) const = 0;
    // Stores the value and emits the metric's notify signal, changed or not.
    virtual void writeMetric(Metric m, qint32 value) = 0;
    virtual void appendCpuClockSample(qint32 value) = 0;
    virtual void appendGpuClockSample(qint32 value) = 0;
    virtual bool isGpuAvailable() const = 0;
    virtual void markGpuAvailable() = 0;

protected:
    ~RuleSink() = default;
};

// Walks the items in order and applies the rule group of each, logging every match.
void classifyReadings(const ReadingItems& items, RuleMode mode, RuleSink& sink);

// Mean of the samples, truncated; only meaningful for a non-empty list.
qint32 averageSamples(const QVector<qint32>& samples);

// The value as the refresh log prints it: shortest text that reads back to the same double.
QString formatLogValue(double value);

} // namespace zolven::sensors
