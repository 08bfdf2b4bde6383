#include "ReadingsReport.h"

#include "sensors/MetricRules.h"
#include "sensors/abi/ReadingsFile.h"

#include <set>

namespace zolven::readings {
namespace {

using sensors::Metric;

class Sink final : public sensors::RuleSink
{
public:
    Sink(std::array<qint32, 11>& metrics, bool& gpu) : m_metrics(metrics), m_gpu(gpu) {}

    QStringList fed;
    QVector<qint32> cpuClock, gpuClock;

    qint32 metric(Metric m) const override { return m_metrics[int(m)]; }
    void writeMetric(Metric m, qint32 value) override
    {
        m_metrics[int(m)] = value;
        fed.append(metricName(int(m)));
    }
    void appendCpuClockSample(qint32 v) override
    {
        cpuClock.append(v);
        fed.append(metricName(int(Metric::CpuClock)));
    }
    void appendGpuClockSample(qint32 v) override
    {
        gpuClock.append(v);
        fed.append(metricName(int(Metric::GpuClock)));
    }
    bool isGpuAvailable() const override { return m_gpu; }
    void markGpuAvailable() override { m_gpu = true; }

private:
    std::array<qint32, 11>& m_metrics;
    bool& m_gpu;
};

QString pad(const QString& s, int width)
{
    return s.leftJustified(width, QLatin1Char(' '));
}

} // namespace

QString metricName(int metric)
{
    static const char* const names[] = {"cpu temp",      "cpu usage", "cpu clock", "cpu fan",
                                        "gpu clock",     "gpu usage", "gpu fan",   "gpu mem used",
                                        "gpu mem total", "gpu temp",  "ram usage"};
    return QString::fromLatin1(names[metric]);
}

QVector<QStringList> RulesReplay::pass(const QVector<Reading>& readings)
{
    Sink sink(m_metrics, m_gpu);
    QVector<QStringList> feeds;
    // One item at a time, so that each match can be told apart; the rules keep no state
    // between items besides what the sink holds.
    for (const Reading& r : readings) {
        ReadingItem item;
        item.sensorName = QString::fromStdString(r.fields.sensorName);
        item.label = QString::fromStdString(r.fields.label);
        item.sensorLocation = r.fields.sensorLocation;
        item.readingLocation = r.fields.readingLocation;
        item.readingType = r.fields.type;
        item.value = r.fields.value;
        item.sensorIndex = r.sensor;
        item.readingIndex = r.index;
        sink.fed.clear();
        sensors::classifyReadings({item}, sensors::RuleMode::Refresh, sink);
        feeds.append(sink.fed);
    }
    if (!sink.cpuClock.isEmpty())
        m_metrics[int(Metric::CpuClock)] = sensors::averageSamples(sink.cpuClock);
    if (!sink.gpuClock.isEmpty())
        m_metrics[int(Metric::GpuClock)] = sensors::averageSamples(sink.gpuClock);
    return feeds;
}

QString formatTable(const QVector<Reading>& readings, const QVector<QStringList>& feeds)
{
    QString out;
    qint32 sensor = -1;
    for (int i = 0; i < readings.size(); ++i) {
        const Reading& r = readings[i];
        if (r.sensor != sensor) {
            sensor = r.sensor;
            out += QStringLiteral("\nsensor %1  %2  (location %3)\n")
                       .arg(r.sensor)
                       .arg(QString::fromStdString(r.fields.sensorName))
                       .arg(r.fields.sensorLocation);
            out += QStringLiteral("  index type rloc  value        unit  label                    "
                                  "      feeds\n");
        }
        const QString type = r.fields.type == r.askedType
                                 ? QString::number(r.fields.type)
                                 : QStringLiteral("%1/%2").arg(r.askedType).arg(r.fields.type);
        out += QStringLiteral("  %1 %2 %3 %4 %5 %6 %7\n")
                   .arg(r.index, 5)
                   .arg(pad(type, 4))
                   .arg(r.fields.readingLocation, 4)
                   .arg(pad(QString::number(r.fields.value, 'g', 10), 12))
                   .arg(pad(QString::fromStdString(r.fields.units), 5))
                   .arg(pad(QString::fromStdString(r.fields.label), 30))
                   .arg(feeds.value(i).join(QStringLiteral(", ")));
    }
    return out;
}

QString formatMetrics(const RulesReplay& rules)
{
    QStringList parts;
    for (int m = 0; m < 11; ++m)
        parts.append(QStringLiteral("%1 %2").arg(metricName(m)).arg(rules.metrics()[m]));
    return QStringLiteral("metrics: ") + parts.join(QStringLiteral(", ")) +
           QStringLiteral("\ndiscrete GPU: %1\n").arg(rules.gpuPresent() ? "yes" : "no");
}

QString formatReadingsFile(const QVector<Reading>& readings, bool withSensors)
{
    QString out;
    if (withSensors) {
        std::set<qint32> declared;
        for (const Reading& r : readings)
            if (declared.insert(r.sensor).second)
                out += QString::fromStdString(abi::formatSensor(
                           {r.sensor, r.fields.sensorLocation, r.fields.sensorName})) +
                       QLatin1Char('\n');
    }
    for (const Reading& r : readings) {
        abi::FileReading f;
        f.sensor = r.sensor;
        f.index = r.index;
        f.type = r.askedType;
        f.recordType = r.fields.type;
        f.readingLocation = r.fields.readingLocation;
        f.value = r.fields.value;
        f.unit = r.fields.units;
        f.label = r.fields.label;
        out += QString::fromStdString(abi::formatReading(f)) + QLatin1Char('\n');
    }
    return out;
}

} // namespace zolven::readings
