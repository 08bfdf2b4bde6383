#pragma once

// What the readings tool prints: every reading of one pass in the program's enumeration order,
// which metric the program's rules feed from it, and the eleven metrics they end up with.

#include "sensors/ReadingItem.h"
#include "sensors/abi/ReadingRecord.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

namespace zolven::readings {

struct Reading
{
    qint32 sensor = 0;
    qint32 index = 0;
    qint32 askedType = 0; // the code asked for; the record may carry another
    abi::RecordFields fields;
};

// Runs the rules over passes the way the bridge does: clock samples are averaged per pass,
// metrics keep their value from one pass to the next, the GPU mark never clears.
class RulesReplay
{
public:
    explicit RulesReplay(bool discreteGpuNamed) : m_gpu(discreteGpuNamed) {}

    // One refresh pass; returns, per reading, the metrics it fed.
    QVector<QStringList> pass(const QVector<Reading>& readings);
    const std::array<qint32, 11>& metrics() const { return m_metrics; }
    bool gpuPresent() const { return m_gpu; }

private:
    std::array<qint32, 11> m_metrics{};
    bool m_gpu;
};

QString metricName(int metric);
QString formatTable(const QVector<Reading>& readings, const QVector<QStringList>& feeds);
QString formatMetrics(const RulesReplay& rules);
// The readings file format (sensors/abi/ReadingsFile.h): sensors once, then the readings.
QString formatReadingsFile(const QVector<Reading>& readings, bool withSensors);

} // namespace zolven::readings
