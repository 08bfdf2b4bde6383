#pragma once

#include "sensors/Metric.h"

#include <QObject>
#include <QTimer>
#include <QVector>

class hwinfoBridge;

namespace zolven {

class DeviceLink;

// The road from the sensors to the device, as the tray's window wires it in QML: each metric
// change the bridge announces hands the bridge's value to the link's store, and a one-second
// clock calls the link's connection check. The changes arrive queued, on this object's thread,
// as they reach the window.
class SensorRoad : public QObject
{
    Q_OBJECT

public:
    SensorRoad(hwinfoBridge& bridge, DeviceLink& link, QObject* parent = nullptr);

    // The one-second clock; the first check comes one interval after the start, as the window's.
    void start(int intervalMs = 1000);
    void stop();
    // One tick of the clock.
    void check();
    quint64 checks() const { return m_checks; }

signals:
    void checked();

private slots:
    void takeMetric();

private:
    hwinfoBridge& m_bridge;
    DeviceLink& m_link;
    QTimer m_clock;
    quint64 m_checks = 0;
    // The bridge's notify signal indices, in metric order.
    QVector<int> m_signalIndex;
};

} // namespace zolven
