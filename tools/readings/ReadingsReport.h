#pragma once

// What the readings tool prints: every reading of one pass in the program's enumeration order,
// which metric the program's rules feed from it, and the eleven metrics they end up with.

#include "abi/ReadingRecord.h"
#include "sensors/MetricRules.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace zolven::readings {

struct Reading
{
    qint32 sensor = 0;
    qint32 index = 0;
    qint32 askedType = 0; // the code asked for; the record may carry another
    abi::RecordFields fields;
};

// Runs refresh passes the way the bridge does: metrics keep their value from one pass to the
// next, the GPU mark never clears.
class RulesReplay
{
public:
    explicit RulesReplay(bool discreteGpuNamed) { m_state.gpuPresent = discreteGpuNamed; }

    // One refresh pass; returns, per reading, the metrics it fed.
    QVector<QStringList> pass(const QVector<Reading>& readings);
    const sensors::MetricState& state() const { return m_state; }

private:
    sensors::MetricState m_state;
};

QString formatTable(const QVector<Reading>& readings, const QVector<QStringList>& feeds);
QString formatMetrics(const RulesReplay& rules);
// The readings file format (abi/ReadingsFile.h): sensors once, then the readings.
QString formatReadingsFile(const QVector<Reading>& readings, bool withSensors);

} // namespace zolven::readings
