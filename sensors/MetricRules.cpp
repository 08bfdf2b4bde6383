#include "MetricRules.h"

#include "abi/MonitorAbi.h"

#include <QDebug>
#include <QLocale>

#include <algorithm>
#include <limits>

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
    Walk(RuleMode mode, RuleSink& sink) : m_mode(mode), m_sink(sink) {}

    void item(const ReadingItem& it)
    {
        m_item = &it;
        const qint32 loc = it.sensorLocation;
        switch (it.readingType) {
        case abi::TypeTemperature:
            if (loc == abi::SensorProcessor) {
                cpuTemp();
                integratedTemp();
            } else if (loc == abi::SensorDiscreteGpu) {
                m_sink.markGpuAvailable();
                if (has("gpu") && has("temp"))
                    match("[GPU TEMP]", Metric::GpuTemp);
            }
            break;
        case abi::TypeUsage:
            if (loc == abi::SensorProcessor) {
                if (it.readingLocation == abi::ReadingProcessor && has("utility"))
                    match("[CPU USAGE]", Metric::CpuUsage, 100);
                if (!m_sink.isGpuAvailable() && has("gpu") && has("usage") && has("d3d"))
                    match("[GPU[I] USAGE]", Metric::GpuUsage);
            } else if (loc == abi::SensorDiscreteGpu) {
                m_sink.markGpuAvailable();
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
                if (!m_sink.isGpuAvailable() && has("clock") && has("gpu"))
                    sample("[GPU[I] CLOCK]", Metric::GpuClock);
            } else if (loc == abi::SensorDiscreteGpu) {
                m_sink.markGpuAvailable();
                if (!has("effective") && has("clock"))
                    sample("[GPU CLOCK]", Metric::GpuClock);
            }
            break;
        case abi::TypeFan:
            if (loc == abi::SensorFans) {
                if (has("cpu"))
                    match("[CPU FAN]", Metric::CpuFan);
            } else if (loc == abi::SensorDiscreteGpu) {
                m_sink.markGpuAvailable();
                match("[GPU FAN]", Metric::GpuFan);
            }
            break;
        case abi::TypeOther:
            if (loc == abi::SensorProcessor) {
                if (!m_sink.isGpuAvailable() && has("dynamic") && has("memory"))
                    match("[GPU[I] DYNAMIC MEM]", Metric::GpuRamUsed);
            } else if (loc == abi::SensorDiscreteGpu) {
                m_sink.markGpuAvailable();
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
        if (!m_sink.isGpuAvailable() && m_item->readingLocation == abi::ReadingIntegratedGpu &&
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
            const qint32 used = m_sink.metric(Metric::GpuRamUsed);
            if (used != 0)
                m_sink.writeMetric(Metric::GpuRamTotal, toMetric(double(used) + m_item->value));
        }
    }

    void match(const char* tag, Metric metric, qint32 ceiling = std::numeric_limits<qint32>::max())
    {
        log(tag);
        if (m_mode == RuleMode::Refresh)
            m_sink.writeMetric(metric, std::min(toMetric(m_item->value), ceiling));
    }

    void sample(const char* tag, Metric clock)
    {
        log(tag);
        if (m_mode != RuleMode::Refresh)
            return;
        if (clock == Metric::CpuClock)
            m_sink.appendCpuClockSample(toMetric(m_item->value));
        else
            m_sink.appendGpuClockSample(toMetric(m_item->value));
    }

    void log(const char* tag) const
    {
        // One multi-argument arg(): a label holding "%2" must not swallow a later value.
        const ReadingItem& it = *m_item;
        if (m_mode == RuleMode::Discovery) {
            qDebug().noquote() << "[Item Found] " << tag
                               << QStringLiteral(
                                      "reader: %1, reader loc: [%2], sensor loc: [%3], type: [%4], "
                                      "sensor index: [%5], reader index:[%6]")
                                      .arg(it.label, QString::number(it.readingLocation),
                                           QString::number(it.sensorLocation),
                                           QString::number(it.readingType),
                                           QString::number(it.sensorIndex),
                                           QString::number(it.readingIndex));
        } else {
            qDebug().noquote() << "[Item Refresh] " << tag
                               << QStringLiteral("reader: [%1], value: [%2] ---- sensor: %3")
                                      .arg(it.label, formatLogValue(it.value), it.sensorName);
        }
    }

    RuleMode m_mode;
    RuleSink& m_sink;
    const ReadingItem* m_item = nullptr;
};

} // namespace

void classifyReadings(const ReadingItems& items, RuleMode mode, RuleSink& sink)
{
    Walk walk(mode, sink);
    for (const ReadingItem& it : items)
        walk.item(it);
}

} // namespace zolven::sensors
