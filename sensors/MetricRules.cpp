#include "MetricRules.h"

#include "abi/MonitorAbi.h"

#include <QLocale>

#include <algorithm>
#include <limits>
#include <utility>

namespace zolven::sensors {
namespace abi = zolven::abi;

qint32 toMetric(double value)
{
    // Bounds of the values whose truncation fits: (-2^31 - 1, 2^31).
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(value);
}

qint32 averageSamples(const QVector<qint32>& samples)
{
    double sum = 0.0;
    for (qint32 s : samples)
        sum += s;
    return toMetric(sum / samples.size());
}

QString formatLogValue(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

namespace {

class Walk
{
public:
    Walk(RuleMode mode, bool withLog, PassResult& result)
        : m_mode(mode), m_withLog(withLog), m_result(result)
    {}

    void item(const ReadingItem& it, int index)
    {
        m_item = &it;
        m_index = index;
        const qint32 loc = it.sensorLocation;
        switch (it.readingType) {
        case abi::TypeTemperature:
            if (loc == abi::SensorProcessor) {
                cpuTemp();
                integratedTemp();
            } else if (loc == abi::SensorDiscreteGpu) {
                markGpu();
                if (has("gpu") && has("temp"))
                    match("[GPU TEMP]", Metric::GpuTemp);
            }
            break;
        case abi::TypeUsage:
            if (loc == abi::SensorProcessor) {
                if (it.readingLocation == abi::ReadingProcessor && has("utility"))
                    match("[CPU USAGE]", Metric::CpuUsage, 100);
                if (!m_result.state.gpuPresent && has("gpu") && has("usage") && has("d3d"))
                    match("[GPU[I] USAGE]", Metric::GpuUsage);
            } else if (loc == abi::SensorDiscreteGpu) {
                markGpu();
                if (has("core") && has("load"))
                    match("[GPU USAGE]", Metric::GpuUsage);
            }
            break;
        case abi::TypeClock:
            if (loc == abi::SensorProcessor) {
                if (has("effective"))
                    break;
                if (has("clock") && has("core"))
                    sample("[CPU CLOCK]", Metric::CpuClock);
                if (!m_result.state.gpuPresent && has("clock") && has("gpu"))
                    sample("[GPU[I] CLOCK]", Metric::GpuClock);
            } else if (loc == abi::SensorDiscreteGpu) {
                markGpu();
                if (!has("effective") && has("clock"))
                    sample("[GPU CLOCK]", Metric::GpuClock);
            }
            break;
        case abi::TypeFan:
            if (loc == abi::SensorFans) {
                if (has("cpu"))
                    match("[CPU FAN]", Metric::CpuFan);
            } else if (loc == abi::SensorDiscreteGpu) {
                markGpu();
                match("[GPU FAN]", Metric::GpuFan);
            }
            break;
        case abi::TypeOther:
            if (loc == abi::SensorProcessor) {
                if (!m_result.state.gpuPresent && has("dynamic") && has("memory"))
                    match("[GPU[I] DYNAMIC MEM]", Metric::GpuRamUsed);
            } else if (loc == abi::SensorDiscreteGpu) {
                markGpu();
                gpuMemory();
            } else if (loc == abi::SensorSystemMemory) {
                if (has("physical") && has("memory") && has("load"))
                    match("[RAM USAGE]", Metric::RamUsage);
            }
            break;
        default:
            break;
        }
    }

    void write(Metric metric, qint32 value, int item)
    {
        m_result.state.values[metric] = value;
        m_result.writes.append({metric, value, item, logLines()});
    }

private:
    bool has(const char* keyword) const
    {
        return m_item->label.contains(QLatin1String(keyword), Qt::CaseInsensitive);
    }

    void cpuTemp()
    {
        if (m_item->readingLocation != abi::ReadingProcessor || !has("cpu"))
            return;
        const bool die = has("die");
        if ((die && has("average")) || has("package") || (die && !has("core")))
            match("[CPU TEMP]", Metric::CpuTemp);
    }

    void integratedTemp()
    {
        if (!m_result.state.gpuPresent && m_item->readingLocation == abi::ReadingIntegratedGpu &&
            has("graphics") && has("gt"))
            match("[GPU[I] TEMP]", Metric::GpuTemp);
    }

    void gpuMemory()
    {
        const qint32 rl = m_item->readingLocation;
        if ((rl != abi::ReadingGpuMemory && rl != abi::ReadingNone) || !has("gpu") ||
            !has("memory"))
            return;
        if (has("alloc"))
            match("[GPU MEM ALLOC]", Metric::GpuRamUsed);
        if (has("available")) {
            log("[GPU MEM AVAILABLE]");
            if (m_mode != RuleMode::Refresh)
                return;
            // Uses whatever "used" holds now: this pass's value if an allocation reading came
            // first, else the last pass's.
            const qint32 used = m_result.state.values[Metric::GpuRamUsed];
            if (used != 0)
                write(Metric::GpuRamTotal, toMetric(double(used) + m_item->value), m_index);
        }
    }

    void match(const char* tag, Metric metric, qint32 ceiling = std::numeric_limits<qint32>::max())
    {
        log(tag);
        if (m_mode == RuleMode::Refresh)
            write(metric, std::min(toMetric(m_item->value), ceiling), m_index);
    }

    void sample(const char* tag, Metric clock)
    {
        log(tag);
        if (m_mode == RuleMode::Refresh)
            m_result.samples.append({clock, toMetric(m_item->value), m_index, logLines()});
    }

    void markGpu()
    {
        if (m_result.state.gpuPresent)
            return;
        m_result.state.gpuPresent = true;
        m_result.gpuFoundAt = int(m_result.writes.size());
    }

    // The lines as the program has always written them through qDebug(), which puts a space
    // between its parts.
    void log(const char* tag)
    {
        if (!m_withLog)
            return;
        // One multi-argument arg(): a label holding "%2" must not swallow a later value.
        const ReadingItem& it = *m_item;
        if (m_mode == RuleMode::Discovery) {
            m_result.log.append(
                QStringLiteral("[Item Found]  %1 reader: %2, reader loc: [%3], sensor loc: [%4], "
                               "type: [%5], sensor index: [%6], reader index:[%7]")
                    .arg(QLatin1String(tag), it.label, QString::number(it.readingLocation),
                         QString::number(it.sensorLocation), QString::number(it.readingType),
                         QString::number(it.sensorIndex), QString::number(it.readingIndex)));
        } else {
            m_result.log.append(
                QStringLiteral("[Item Refresh]  %1 reader: [%2], value: [%3] ---- sensor: %4")
                    .arg(QLatin1String(tag), it.label, formatLogValue(it.value), it.sensorName));
        }
    }

    int logLines() const { return int(m_result.log.size()); }

    RuleMode m_mode;
    bool m_withLog;
    PassResult& m_result;
    const ReadingItem* m_item = nullptr;
    int m_index = -1;
};

} // namespace

PassResult runPass(const ReadingItems& items, RuleMode mode, const MetricState& state, bool withLog)
{
    PassResult result;
    result.state = state;
    Walk walk(mode, withLog, result);
    for (int i = 0; i < items.size(); ++i)
        walk.item(items[i], i);
    if (mode == RuleMode::Refresh)
        for (Metric clock : {Metric::CpuClock, Metric::GpuClock}) {
            QVector<qint32> samples;
            for (const MetricFeed& s : std::as_const(result.samples))
                if (s.metric == clock)
                    samples.append(s.value);
            if (!samples.isEmpty())
                walk.write(clock, averageSamples(samples), -1);
        }
    return result;
}

} // namespace zolven::sensors
