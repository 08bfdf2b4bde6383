#pragma once

// The bridge's eleven metric properties, read through the meta-object as QML reads them, and a
// spy on each one's notify signal.

#include "sensors/Metric.h"

#include <QMetaProperty>
#include <QObject>
#include <QSignalSpy>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

inline QVector<int> bridgeMetrics(const QObject& bridge)
{
    QVector<int> out;
    for (const zolven::sensors::MetricInfo& info : zolven::sensors::kMetrics)
        out.append(bridge.property(info.property).toInt());
    return out;
}

// One spy per notify signal, in property order.
struct NotifySpies
{
    explicit NotifySpies(QObject& bridge)
    {
        const QMetaObject* mo = bridge.metaObject();
        for (const zolven::sensors::MetricInfo& info : zolven::sensors::kMetrics) {
            const QMetaProperty p = mo->property(mo->indexOfProperty(info.property));
            spies.push_back(std::make_unique<QSignalSpy>(&bridge, p.notifySignal()));
        }
    }
    int count(int metric) const { return int(spies[metric]->count()); }
    int total() const
    {
        int n = 0;
        for (const auto& s : spies)
            n += int(s->count());
        return n;
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};
