#include "ReadingsReport.h"

#include "abi/ReadingsFile.h"
#include "sensors/MonitorLibrary.h"

#include <algorithm>
#include <set>
#include <utility>

namespace zolven::readings {
namespace {

QString pad(const QString& s, int width)
{
    return s.leftJustified(width, QLatin1Char(' '));
}

} // namespace

QVector<QStringList> RulesReplay::pass(const QVector<Reading>& readings)
{
    ReadingItems items;
    for (const Reading& r : readings)
        items.append(sensors::readingItemFromFields(r.fields, r.sensor, r.index));
    const sensors::PassResult result = sensors::runPass(items, sensors::RuleMode::Refresh, m_state);
    m_state = result.state;

    // Writes and clock samples in the order the rules met them: each follows its own log line.
    QVector<sensors::MetricFeed> fed = result.writes + result.samples;
    std::stable_sort(fed.begin(), fed.end(),
                     [](const auto& a, const auto& b) { return a.logLines < b.logLines; });
    QVector<QStringList> feeds(readings.size());
    for (const sensors::MetricFeed& f : std::as_const(fed))
        if (f.item >= 0) // not a clock mean
            feeds[f.item].append(QLatin1String(sensors::metricInfo(f.metric).name));
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
    for (const sensors::MetricInfo& info : sensors::kMetrics)
        parts.append(QStringLiteral("%1 %2")
                         .arg(QLatin1String(info.name))
                         .arg(rules.state().values[info.metric]));
    return QStringLiteral("metrics: ") + parts.join(QStringLiteral(", ")) +
           QStringLiteral("\ndiscrete GPU: %1\n").arg(rules.state().gpuPresent ? "yes" : "no");
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
