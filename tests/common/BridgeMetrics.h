#pragma once

// The bridge's eleven metric properties, in declaration order, and their values read through
// the meta-object, as QML reads them.

#include <QObject>
#include <QVariant>
#include <QVector>

inline const char* const kMetricNames[] = {"data_cpu_temp", "data_cpu_usage",   "data_cpu_clock",
                                           "data_cpu_fan",  "data_gpu_clock",   "data_gpu_usage",
                                           "data_gpu_fan",  "data_gpu_ramUsed", "data_gpu_ramTotal",
                                           "data_gpu_temp", "data_ram_usage"};

inline QVector<int> bridgeMetrics(const QObject& bridge)
{
    QVector<int> out;
    for (const char* name : kMetricNames)
        out.append(bridge.property(name).toInt());
    return out;
}
