#include "SensorRoad.h"

#include "device/DeviceLink.h"
#include "sensors/hwinfoBridge.h"

#include <QMetaMethod>
#include <QMetaProperty>

namespace zolven {

SensorRoad::SensorRoad(hwinfoBridge& bridge, DeviceLink& link, QObject* parent)
    : QObject(parent), m_bridge(bridge), m_link(link)
{
    const QMetaObject& mo = hwinfoBridge::staticMetaObject;
    const QMetaMethod take = staticMetaObject.method(staticMetaObject.indexOfSlot("takeMetric()"));
    for (const sensors::MetricInfo& info : sensors::kMetrics) {
        const QMetaMethod notify = mo.property(mo.indexOfProperty(info.property)).notifySignal();
        m_signalIndex.append(notify.methodIndex());
        // Queued also when the bridge emits on this thread: the window, too, sees a change only
        // once control is back in the event loop.
        connect(&m_bridge, notify, this, take, Qt::QueuedConnection);
    }
    connect(&m_clock, &QTimer::timeout, this, &SensorRoad::check);
}

void SensorRoad::start(int intervalMs)
{
    m_clock.start(intervalMs);
}

void SensorRoad::stop()
{
    m_clock.stop();
}

void SensorRoad::check()
{
    m_link.check();
    ++m_checks;
    emit checked();
}

void SensorRoad::takeMetric()
{
    const int index = m_signalIndex.indexOf(senderSignalIndex());
    if (index < 0)
        return;
    const auto metric = sensors::Metric(index);
    m_link.setMetric(metric, m_bridge.metric(metric));
}

} // namespace zolven
